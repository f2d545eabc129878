--
-- Definitions created {{*}}
--

CREATE TABLE CUSTOMERS
(
   CUST_ID                        DECIMAL      (6,0)      NULL      
,  CUST_NAME                      CHAR         (20)       NULL      
);
