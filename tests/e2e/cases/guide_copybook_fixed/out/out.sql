--
-- Definitions created {{*}}
--

CREATE TABLE ACCOUNTS
(
-- 01 ACCOUNT_RECORD
   ACCT_NO                        NUMERIC      (10,0)     NOT NULL  
,  ACCT_BALANCE                   DECIMAL      (13,2)     NULL      
,  ACCT_HOLDER_NAME_AND_ADDRESS   CHAR         (60)       NULL      
, PRIMARY KEY
(
   ACCT_NO
)
);

