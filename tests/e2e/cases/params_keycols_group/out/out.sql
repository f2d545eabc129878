{{...}}
CREATE TABLE ACCOUNTS
(
   ACCT_BRANCH                    CHAR         (2)        NULL      
,  ACCT_NO                        NUMERIC      (4,0)      NULL      
,  BALANCE                        NUMERIC      (3,0)      NOT NULL  
, PRIMARY KEY (
   BALANCE
)
);

