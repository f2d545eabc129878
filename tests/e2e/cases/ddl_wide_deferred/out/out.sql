--
-- Definitions created {{*}}
--

CREATE TABLE FLAGS (
   F_KEY                          CHAR         (4)        NOT NULL  
,  F_BIT_1                        CHAR         (1)        NULL      
{{...}}
,  F_BIT_39999                    CHAR         (1)        NULL      
,  F_BIT_40000                    CHAR         (1)        NOT NULL  
, PRIMARY KEY (
   F_KEY
,  F_BIT_40000
)
);
CREATE TABLE BITS (
{{...}}
