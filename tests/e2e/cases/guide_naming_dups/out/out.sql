--
-- Definitions created {{*}}
--

-- table NONE
-- 01 PAY_NONE
-- 02 EMP
   ID                             NUMERIC      (5,0)                
,  NAME                           CHAR         (20)                 
-- End of group EMP
-- 02 MGR
-- FIX NEEDED: Column ID was already specified
,  ID                             NUMERIC      (5,0)                
-- FIX NEEDED: Column NAME was already specified
,  NAME                           CHAR         (20)                 

-- table INDEXED
-- 01 PAY_INDEX
-- 02 EMP
   ID_1                           NUMERIC      (5,0)                
,  NAME_1                         CHAR         (20)                 
-- End of group EMP
-- 02 MGR
,  ID_2                           NUMERIC      (5,0)                
,  NAME_2                         CHAR         (20)                 

-- table ALPHA
-- 01 PAY_ALPHA
-- 02 EMP
   ID_A                           NUMERIC      (5,0)                
,  NAME_A                         CHAR         (20)                 
-- End of group EMP
-- 02 MGR
,  ID_B                           NUMERIC      (5,0)                
,  NAME_B                         CHAR         (20)                 

-- table GRP
-- 01 PAY_GROUP
-- 02 EMP
   EMP_ID                         NUMERIC      (5,0)                
,  EMP_NAME                       CHAR         (20)                 
-- End of group EMP
-- 02 MGR
,  MGR_ID                         NUMERIC      (5,0)                
,  MGR_NAME                       CHAR         (20)                 

-- table LONG
-- 01 PAY_LONG
-- 02 EMP
   EMP_ID                         NUMERIC      (5,0)                
,  EMP_NAME                       CHAR         (20)                 
-- End of group EMP
-- 02 MGR
,  MGR_ID                         NUMERIC      (5,0)                
,  MGR_NAME                       CHAR         (20)                 

