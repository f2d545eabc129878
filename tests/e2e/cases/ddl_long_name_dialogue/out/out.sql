--
-- Definitions created {{*}}
--

CREATE TABLE DATES (
-- 01 REC
-- 02 HEADER_PART
   HDR_DATE                       DECIMAL      (8,0)      NULL      
-- End of group HEADER_PART
-- 02 TRL
,  TRL_SHIP_DATE                  DECIMAL      (8,0)      NULL      
);
