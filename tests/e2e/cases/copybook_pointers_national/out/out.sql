--
-- Definitions created {{*}}
--

CREATE TABLE BLOCKS
(
-- 01 CONTROL_BLOCK
   CB_NEXT                        INTEGER                 NULL      
,  CB_PREV                        INTEGER                 NULL      
,  CB_WIDE                        BIGINT                  NULL      
,  CB_EXIT                        BIGINT                  NULL      
,  CB_FUNC                        INTEGER                 NULL      
,  CB_IX                          INTEGER                 NULL      
,  CB_NAME                        CHAR         (10)       NULL      
,  CB_KANJI                       CHAR         (8)        NULL      
,  CB_TEXT                        CHAR         (12)       NULL      
);

