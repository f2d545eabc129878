--
-- Definitions created {{*}}
--

CREATE TABLE KEYS
(
-- 01 DTAR_KEY
   DTAR_KEYCODE_NO                CHAR         (8)        NULL      
,  DTAR_STORE_NO                  DECIMAL      (3,0)      NULL      
);

