--
-- Definitions created {{*}}
--

CREATE TABLE ITEMS
(
-- 01 ITEM
   ITEM_NO                        NUMERIC      (4,0)      NULL      
,  ITEM_TEXT                      CHAR         (12)       NULL      
);

CREATE TABLE STOCKS
(
-- 01 STOCK
   STOCK_ITEM                     NUMERIC      (4,0)      NULL      
,  STOCK_QTY                      INTEGER                 NULL      
);

