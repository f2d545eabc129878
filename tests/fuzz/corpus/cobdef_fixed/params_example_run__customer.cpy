      * Customer master record.
       01  CUSTOMER-RECORD.
           05  CUST-ID                 PIC 9(8).
           05  CUST-NAME.
               10  CUST-FIRST-NAME     PIC X(20).
               10  CUST-LAST-NAME      PIC X(30).
           05  CUST-BALANCE            PIC S9(7)V99 COMP-3.
           05  CUST-CREDIT-LIMIT       PIC S9(9) COMP.
           05  CUST-PHONE              PIC X(12) OCCURS 2 TIMES.
           05  CUST-OPENED             PIC 9(8).
           05  CUST-OPENED-PARTS REDEFINES CUST-OPENED.
               10  CUST-OPENED-YEAR    PIC 9(4).
               10  CUST-OPENED-MONTH   PIC 99.
               10  CUST-OPENED-DAY     PIC 99.
           05  FILLER                  PIC X(10).
