--
-- Definitions created {{*}}
--

CREATE TABLE SCALED
(
-- 01 SCALED_REC
   S_THOUSANDS                    NUMERIC      (6,0)      NULL      
,  S_PACKED_K                     DECIMAL      (8,0)      NULL      
,  S_SMALL                        DECIMAL      (5,5)      NULL      
,  S_LEADING_P                    NUMERIC      (4,4)      NULL      
,  S_BINARY_K                     NUMERIC      (6,0)      NULL      
,  S_SEPARATE                     DECIMAL      (9,2)      NULL      
,  S_LEAD_SEP                     DECIMAL      (3,0)      NULL      
);

