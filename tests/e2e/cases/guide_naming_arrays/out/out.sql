--
-- Definitions created {{*}}
--

-- table DASH
-- 01 REC_DASH
-- 02 PHONE
   PHONE_1                        CHAR         (10)                 
,  PHONE_2                        CHAR         (10)                 
-- 02 LINES
-- 02 LINES_1
,  QTY                            NUMERIC      (3,0)                
-- End of group LINES_1
-- 02 LINES_2
-- FIX NEEDED: Column QTY was already specified
,  QTY                            NUMERIC      (3,0)                

-- table UNDERSCORE
-- 01 REC_UNDERSCORE
-- 02 PHONE
   PHONE_1                        CHAR         (10)                 
,  PHONE_2                        CHAR         (10)                 
-- 02 LINES
-- 02 LINES_1
,  QTY                            NUMERIC      (3,0)                
-- End of group LINES_1
-- 02 LINES_2
-- FIX NEEDED: Column QTY was already specified
,  QTY                            NUMERIC      (3,0)                

-- table TWO
-- 01 REC_TWO
-- 02 PHONE
   PHONE__1                       CHAR         (10)                 
,  PHONE__2                       CHAR         (10)                 
-- 02 LINES
-- 02 LINES__1
,  QTY                            NUMERIC      (3,0)                
-- End of group LINES__1
-- 02 LINES__2
-- FIX NEEDED: Column QTY was already specified
,  QTY                            NUMERIC      (3,0)                

-- table BRACKETS
-- 01 REC_BRACKETS
-- 02 PHONE
   PHONE[1]                       CHAR         (10)                 
,  PHONE[2]                       CHAR         (10)                 
-- 02 LINES
-- 02 LINES[1]
,  QTY                            NUMERIC      (3,0)                
-- End of group LINES[1]
-- 02 LINES[2]
-- FIX NEEDED: Column QTY was already specified
,  QTY                            NUMERIC      (3,0)                

-- table NONE
-- 01 REC_NONE
-- Enscribe field occurs 2 times
   PHONE                          CHAR         (10)                 
-- 02 LINES, occurs 2 times
,  QTY                            NUMERIC      (3,0)                

-- table ZERO
-- 01 REC_ZERO
-- 02 PHONE
   PHONE_001                      CHAR         (10)                 
,  PHONE_002                      CHAR         (10)                 
-- 02 LINES
-- 02 LINES_001
,  QTY                            NUMERIC      (3,0)                
-- End of group LINES_001
-- 02 LINES_002
-- FIX NEEDED: Column QTY was already specified
,  QTY                            NUMERIC      (3,0)                

-- table WIDTH
-- 01 REC_WIDTH
-- 02 MONTH_SALES
   MONTH_SALES_01                 NUMERIC      (7,0)                
,  MONTH_SALES_02                 NUMERIC      (7,0)                
,  MONTH_SALES_03                 NUMERIC      (7,0)                
,  MONTH_SALES_04                 NUMERIC      (7,0)                
,  MONTH_SALES_05                 NUMERIC      (7,0)                
,  MONTH_SALES_06                 NUMERIC      (7,0)                
,  MONTH_SALES_07                 NUMERIC      (7,0)                
,  MONTH_SALES_08                 NUMERIC      (7,0)                
,  MONTH_SALES_09                 NUMERIC      (7,0)                
,  MONTH_SALES_10                 NUMERIC      (7,0)                

-- table GRP
-- 01 REC_GROUP
-- 02 PHONE
   PHONE_1                        CHAR         (10)                 
,  PHONE_2                        CHAR         (10)                 
-- 02 LINES
-- 02 LINES_1
,  QTY_1                          NUMERIC      (3,0)                
-- End of group LINES_1
-- 02 LINES_2
,  QTY_2                          NUMERIC      (3,0)                

