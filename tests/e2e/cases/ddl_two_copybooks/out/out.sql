--
-- Definitions created {{*}}
--

CREATE TABLE CUSTOMERS
(
-- 01 CUST_REC
   CUST_ID                        DECIMAL      (6,0)      NOT NULL  
,  CUST_NAME                      CHAR         (20)       NULL      
-- 02 ADDR
,  STREET                         CHAR         (30)       NULL      
,  CITY                           CHAR         (20)       NULL      
-- End of group ADDR
-- 02 PHONE
,  PHONE_01                       CHAR         (10)       NULL      
,  PHONE_02                       CHAR         (10)       NULL      
,  BALANCE                        DECIMAL      (9,2)      NULL      
, PRIMARY KEY
(
   CUST_ID
)
);
-- CUSTOMERS: 48829 pages, 202 MB, 50 used, 50% full

CREATE TABLE ORDERS
(
-- 01 ORDER_REC
   ORDER_NO                       DECIMAL      (8,0)      NOT NULL  
,  CUST_ID                        DECIMAL      (6,0)      NOT NULL  
-- 02 LINES
-- 02 LINES_1
,  ITEM_CODE_1                    CHAR         (4)        NULL      
,  QTY_1                          SMALLINT                NULL      
-- End of group LINES_1
-- 02 LINES_2
,  ITEM_CODE_2                    CHAR         (4)        NULL      
,  QTY_2                          SMALLINT                NULL      
-- End of group LINES_2
,  ORDER_DATE                     DECIMAL      (8,0)      NULL      
-- 02 DATE_PARTS, redefine of ORDER_DATE
,  YYYY                           DECIMAL      (4,0)      NULL      
,  MM                             DECIMAL      (2,0)      NULL      
,  DD                             DECIMAL      (2,0)      NULL      
, PRIMARY KEY
(
   ORDER_NO
,  CUST_ID
)
);
-- ORDERS: 48829 pages, 202 MB, 50 used, 50% full

