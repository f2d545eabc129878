--
-- Definitions created {{*}}-{{*}}-{{*}} {{*}}:{{*}}:{{*}}
--

CREATE TABLE CUSTOMER
{{...}}
CREATE TABLE SALES.CUSTOMERS
{{...}}
, PRIMARY KEY
(
   CUST_ID
)
);
{{...}}