--
-- Definitions created {{*}}
--

CREATE TABLE AREAS
(
-- 01 COMM_AREA
   CA_REQUEST_ID                  CHAR         (6)        NULL      
,  CA_REQUEST_SPECIFIC            CHAR         (32482)    NULL      
,  CA_HUGE                        CHAR         (134217727) NULL      
);

