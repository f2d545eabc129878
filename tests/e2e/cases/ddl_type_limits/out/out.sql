--
-- Definitions created {{*}}
--

CREATE TABLE ACCOUNTS (
   ACCT_NO                        DEC          (10,0)     NOT NULL  
,  ACCT_TYPE                      CHAR         (1)        NOT NULL  
,  AMOUNT                         DEC          (15,2)               
,  RATE                           WIDEDEC      (6,3)                
,  BRANCH                         UNUM         (3)                  
,  FACTOR                         FLOAT8                            
,  CNT                            INT                               
,  SCALED                         NUM          (9,2)                
,  TINY                           SMALLDEC     (3,0)                ,
  PRIMARY KEY (
   ACCT_NO
,  ACCT_TYPE
  )
);
