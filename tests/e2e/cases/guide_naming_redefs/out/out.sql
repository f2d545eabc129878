--
-- Definitions created {{*}}
--

-- table BY_TEMPLATE
-- 01 ORD_TEMPLATE
   ORDER_DATE                     NUMERIC      (8,0)                
-- 02 DATE_PARTS, redefine of ORDER_DATE
-- 03 YYYY
-- 03 MM
-- 03 DD
-- End of group DATE_PARTS
,  AMOUNT                         DECIMAL      (9,2)                

-- table BY_EXPANDDDL
-- 01 ORD_EXPAND
   ORDER_DATE                     NUMERIC      (8,0)                
,  AMOUNT                         DECIMAL      (9,2)                

