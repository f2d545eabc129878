--
-- Definitions created {{*}}
--

CREATE TABLE EMP (
   EMPNO                          CHAR         (6)        NOT NULL  
,  LASTNAME                       VARCHAR      (15)       NULL      
,  WORKDEPT                       CHAR         (3)        NULL      
,  RESUME                         VARCHAR      (40)       NULL      
,  SALARY                         DECIMAL      (9,2)      NULL      
,  SKILL_CODE_1                   CHAR         (2)        NULL      
,  SKILL_NAME_1                   VARCHAR      (10)       NULL      
,  SKILL_CODE_2                   CHAR         (2)        NULL      
,  SKILL_NAME_2                   VARCHAR      (10)       NULL      
,  NICKNAME_1                     VARCHAR      (8)        NULL      
,  NICKNAME_2                     VARCHAR      (8)        NULL      
,  BADGE_LEN                      SMALLINT                NULL      
,  BADGE_NUM                      NUMERIC      (6,0)      NULL      
);
