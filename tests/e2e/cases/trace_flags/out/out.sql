--
-- Definitions created {{*}}
--

CREATE TABLE ITEMS
(
-- 01 ITEM_REC
   ITEM_ID                        DECIMAL      (6,0)      NOT NULL  
,  ITEM_NAME                      CHAR         (20)       NULL      
,  PRICE                          DECIMAL      (7,2)      NULL      
, PRIMARY KEY
(
   ITEM_ID
)
);

