{{...}}
CREATE TABLE ORDERS_ORDER_LINE
(
   ORDER_ID                       NUMERIC      (6,0)      NOT NULL  
,  ORDER_LINE_OCCURRENCE          INTEGER                 NOT NULL  
,  ITEM_CODE                      CHAR         (4)        NULL      
,  ITEM_QTY                       DECIMAL      (5,0)      NULL      
, PRIMARY KEY (
   ORDER_ID
,  ORDER_LINE_OCCURRENCE
)
, FOREIGN KEY (ORDER_ID) REFERENCES ORDERS (ORDER_ID)
);
{{...}}
