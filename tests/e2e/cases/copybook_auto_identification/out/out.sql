--
-- Definitions created {{*}}
--

CREATE TABLE LINES
(
-- 01 ORDER_LINE
   LINE_NO                        NUMERIC      (4,0)      NULL      
,  LINE_TEXT                      CHAR         (20)       NULL      
);

