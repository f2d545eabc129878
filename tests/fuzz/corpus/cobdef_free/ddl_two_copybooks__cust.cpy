01 CUST-REC.
   05 CUST-ID        PIC 9(6).
   05 CUST-NAME      PIC X(20).
   05 ADDR.
      10 STREET      PIC X(30).
      10 CITY        PIC X(20).
   05 PHONE          PIC X(10) OCCURS 2.
   05 BALANCE        PIC S9(7)V99 COMP-3.
