01 ORD-EXPAND.
   05 ORDER-DATE      PIC 9(8).
   05 DATE-PARTS REDEFINES ORDER-DATE.
      10 YYYY         PIC 9(4).
      10 MM           PIC 99.
      10 DD           PIC 99.
   05 AMOUNT          PIC S9(7)V99 COMP-3.
