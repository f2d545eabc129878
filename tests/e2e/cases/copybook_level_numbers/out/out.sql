--
-- Definitions created {{*}}
--

CREATE TABLE CUSTOMERS
(
-- 01 CUST
-- 02 NAME_GROUP
   FIRST_NAME                     CHAR         (10)       NULL      
,  LAST_NAME                      CHAR         (20)       NULL      
-- End of group NAME_GROUP
,  CUST_ID                        NUMERIC      (6,0)      NULL      
,  CODE_A                         CHAR         (4)        NULL      
-- Enscribe field redefines CODE_A
,  CODE_N                         NUMERIC      (4,0)      NULL      
-- Enscribe field redefines CODE_A
,  CODE_P                         DECIMAL      (7,0)      NULL      
);

CREATE TABLE RAW
(
   CUST_RAW                       CHAR         (44)       NULL      
);

