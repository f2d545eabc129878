--
-- Definitions created {{*}}
--

CREATE TABLE PEOPLE (
   P_ID                           NUMERIC      (6,0)      NULL      
,  P_NAME                         NVARCHAR     (20)       NULL      
,  P_CITY                         NVARCHAR     (12)       NULL      
,  P_KANJI                        NCHAR        (8)        NULL      
,  P_KANA                         NCHAR        (4)        NULL      
,  P_NOTE                         CHAR         (10)       NULL      
);
