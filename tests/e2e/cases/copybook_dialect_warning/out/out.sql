--
-- Definitions created {{*}}
--

CREATE TABLE FIXED
(
-- 01 IBM_REC
   R_TYPE                         CHAR         (1)        NULL      
,  R_HALF                         SMALLINT                NULL      
,  R_FULL                         SMALLINT                NULL      
,  R_DOUBLE                       INTEGER                 NULL      
,  R_SMALL5                       INTEGER                 NULL      
,  R_UPACKED                      BIGINT                  NULL      
,  R_AMOUNT                       DECIMAL      (9,2)      NULL      
,  R_COUNT                        NUMERIC      (2,0)      NULL      
-- 02 R_ITEM
,  R_ITEM_1                       CHAR         (3)        NULL      
,  R_ITEM_2                       CHAR         (3)        NULL      
,  R_ITEM_3                       CHAR         (3)        NULL      
,  R_ITEM_4                       CHAR         (3)        NULL      
,  R_ITEM_5                       CHAR         (3)        NULL      
);

CREATE TABLE IBM
(
-- 01 IBM2_REC
   R_TYPE                         CHAR         (1)        NULL      
,  R_HALF                         SMALLINT                NULL      
,  R_FULL                         INTEGER                 NULL      
,  R_DOUBLE                       BIGINT                  NULL      
,  R_SMALL5                       SMALLINT                NULL      
,  R_UPACKED                      DECIMAL      (5,0)      NULL      
,  R_AMOUNT                       DECIMAL      (9,2)      NULL      
,  R_COUNT                        NUMERIC      (2,0)      NULL      
-- 02 R_ITEM
,  R_ITEM_1                       CHAR         (3)        NULL      
,  R_ITEM_2                       CHAR         (3)        NULL      
,  R_ITEM_3                       CHAR         (3)        NULL      
,  R_ITEM_4                       CHAR         (3)        NULL      
,  R_ITEM_5                       CHAR         (3)        NULL      
);

