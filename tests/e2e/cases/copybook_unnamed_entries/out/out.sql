--
-- Definitions created {{*}}
--

CREATE TABLE SCREENS
(
-- 01 SCREEN_REC
   SCR_TITLE                      CHAR         (40)       NULL      
,  SCR_CODE                       CHAR         (4)        NULL      
-- End of group FILLER
,  SCR_FLAG                       CHAR         (1)        NULL      
);

