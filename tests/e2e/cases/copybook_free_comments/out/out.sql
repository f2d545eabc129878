--
-- Definitions created {{*}}
--

CREATE TABLE CUSTOMERS
(
-- 01 CUSTOMER
   CUST_ID                        NUMERIC      (5,0)      NULL      
,  CUST_NAME                      CHAR         (20)       NULL      
,  CUST_NOTE                      CHAR         (8)        NULL      
,  CUST_CODE                      CHAR         (3)        NULL      
);

