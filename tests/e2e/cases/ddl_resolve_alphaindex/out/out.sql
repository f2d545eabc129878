--
-- Definitions created {{*}}
--

CREATE TABLE PARTS (
   X_1                            CHAR         (2)        NULL      
,  X_B                            CHAR         (2)        NULL      
,  X_C                            CHAR         (2)        NULL      
);
