--
-- Definitions created {{*}}
--

CREATE TABLE DTAR
(
-- 01 DTAR_REC
-- 02 DTAR_KEY
   DTAR_KEYCODE_NO                CHAR         (8)        NOT NULL  
,  DTAR_STORE_NO                  DECIMAL      (3,0)      NULL      
-- End of group DTAR_KEY
,  DTAR_DATE                      DECIMAL      (7,0)      NULL      
-- Enscribe field redefines DTAR_DATE
,  DTAR_DATE_X                    CHAR         (4)        NULL      
,  DTAR_QTY                       DECIMAL      (9,0)      NULL      
,  DTAR_COUNT                     NUMERIC      (4,0)      NULL      
);

