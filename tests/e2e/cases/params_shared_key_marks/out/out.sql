--
-- Definitions created {{*}}
--

CREATE TABLE ACCOUNTS (
   ACCT_BRANCH                    NUMERIC      (4,0)      NOT NULL  
,  ACCT_NO                        NUMERIC      (8,0)      NOT NULL  
,  ACCT_NAME                      CHAR         (20)       NULL      
, PRIMARY KEY (
   ACCT_BRANCH
,  ACCT_NO
)
);
CREATE TABLE BRANCHES (
   ACCT_BRANCH                    NUMERIC      (4,0)      NOT NULL  
,  ACCT_NO                        NUMERIC      (8,0)      NOT NULL  
,  ACCT_NAME                      CHAR         (20)       NULL      
, PRIMARY KEY (
   ACCT_BRANCH
,  ACCT_NO
)
);
CREATE TABLE NAMES (
   ACCT_BRANCH                    NUMERIC      (4,0)      NOT NULL  
,  ACCT_NO                        NUMERIC      (8,0)      NOT NULL  
,  ACCT_NAME                      CHAR         (20)       NULL      
, PRIMARY KEY (
   ACCT_BRANCH
,  ACCT_NO
)
);
