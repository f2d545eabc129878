--
-- Definitions created {{*}}
--

CREATE TABLE TYPES (
   T_CHAR                         CHAR         (10)       NULL      
,  T_VARCHAR                      VARCHAR      (40)       NULL      
,  T_SMALL                        SMALLINT                NULL      
,  T_INT                          INTEGER                 NULL      
,  T_BIG                          BIGINT                  NULL      
,  T_SCALED                       NUMERIC      (9,2)      NULL      
,  T_FLOAT                        REAL                    NULL      
,  T_DOUBLE                       DOUBLE PRECISION            NULL      
,  T_UNSIGNED                     NUMERIC      (5,0)      NULL      
,  T_SIGNED                       DECIMAL      (7,2)      NULL      
,  T_PACKED                       NUMERIC      (15,2)     NULL      
);

