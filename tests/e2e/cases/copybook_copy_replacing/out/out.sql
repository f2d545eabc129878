--
-- Definitions created {{*}}
--

CREATE TABLE ORDERS
(
-- 01 ORDER_REC
   ORDER_NO                       NUMERIC      (8,0)      NULL      
-- 02 BUYER_PARTY
,  BUYER_ID                       NUMERIC      (6,0)      NULL      
,  BUYER_NAME                     CHAR         (20)       NULL      
-- End of group BUYER_PARTY
-- 02 SELLER_PARTY
,  SELLER_ID                      NUMERIC      (6,0)      NULL      
,  SELLER_NAME                    CHAR         (20)       NULL      
-- End of group SELLER_PARTY
,  ORDER_TOTAL                    DECIMAL      (9,2)      NULL      
,  ORDER_CURRENCY                 CHAR         (3)        NULL      
,  ORDER_NOTE                     CHAR         (10)       NULL      
);

