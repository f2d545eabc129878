--
-- Definitions created {{*}}
--

CREATE TABLE ACCOUNTS
(
   ACCT_BRANCH                    CHAR         (2)        NOT NULL  
,  ACCT_NO                        NUMERIC      (4,0)      NOT NULL  
, PRIMARY KEY (
   ACCT_BRANCH
,  ACCT_NO
)
);

CREATE TABLE ACCOUNTS_BALANCE
(
   ACCT_BRANCH                    CHAR         (2)        NOT NULL  
,  ACCT_NO                        NUMERIC      (4,0)      NOT NULL  
,  BALANCE_OCCURRENCE             INTEGER                 NOT NULL  
,  BALANCE                        NUMERIC      (3,0)      NULL      
, PRIMARY KEY (
   ACCT_BRANCH
,  ACCT_NO
,  BALANCE_OCCURRENCE
)
, FOREIGN KEY (ACCT_BRANCH, ACCT_NO) REFERENCES ACCOUNTS (ACCT_BRANCH, ACCT_NO)
);

