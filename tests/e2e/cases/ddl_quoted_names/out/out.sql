--
-- Definitions created {{*}}
--

CREATE TABLE "ORDER"
(
-- 01 NAMES_REC
   "ORDER"                        CHAR         (4)        NOT NULL  
,  "USER"                         CHAR         (4)        NULL      
,  "DESC"                         CHAR         (4)        NULL      
,  "1ST_LINE"                     CHAR         (4)        NOT NULL  
,  PLAIN_NAME                     CHAR         (4)        NULL      
, PRIMARY KEY
(
   "ORDER"
,  "1ST_LINE"
)
);

CREATE TABLE "CUST-MASTER"
(
-- 01 MASTER_REC
   "ORDER"                        CHAR         (4)        NULL      
,  "USER"                         CHAR         (4)        NULL      
,  "DESC"                         CHAR         (4)        NULL      
,  "1ST_LINE"                     CHAR         (4)        NULL      
,  PLAIN_NAME                     CHAR         (4)        NULL      
);

