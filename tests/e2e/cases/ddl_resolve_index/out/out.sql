--
-- Definitions created {{*}}
--

CREATE TABLE PAY (
-- 01 PAY_REC
-- 02 EMP
   EMP_ID_1                       DECIMAL      (5,0)                
,  NAME_1                         CHAR         (10)       NULL      
-- End of group EMP
-- 02 MGR
,  EMP_ID_2_1                     DECIMAL      (5,0)      NULL      
,  NAME_2                         CHAR         (10)       NULL      
-- End of group MGR
-- Enscribe field redefines MGR
,  NAME_X                         CHAR         (15)       NULL      
,  EMP_ID_2_2                     CHAR         (3)        NULL      ,
  PRIMARY KEY (   EMP_ID_1)
);
