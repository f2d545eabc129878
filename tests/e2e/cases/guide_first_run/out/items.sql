--
-- Definitions created {{*}}
--

CREATE TABLE ITEMS
(
-- 01 ITEM_REC
   ITEM_NO                        NUMERIC      (6,0)      NOT NULL  
,  ITEM_NAME                      CHAR         (30)       NULL      
,  ITEM_PRICE                     DECIMAL      (7,2)      NULL      
,  ITEM_STOCK                     SMALLINT                NULL      
, PRIMARY KEY
(
   ITEM_NO
)
);

