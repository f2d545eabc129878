--
-- Definitions created {{*}}
--

CREATE TABLE PAYMENTS
(
-- 01 PAYMENT
   PAY_ID                         NUMERIC      (6,0)      NULL      
,  PAY_AMOUNT                     DECIMAL      (9,2)      NULL      
,  PAY_NOTE                       CHAR         (10)       NULL      
,  PAY_CODE                       CHAR         (2)        NULL      
);

