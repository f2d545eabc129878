01 ORDER-REC.
   05 ORDER-NO       PIC 9(8).
   05 CUST-ID        PIC 9(6).
   05 LINES OCCURS 2.
      10 ITEM-CODE   PIC X(4).
      10 QTY         PIC S9(4) COMP.
   05 ORDER-DATE     PIC 9(8).
   05 DATE-PARTS REDEFINES ORDER-DATE.
      10 YYYY        PIC 9(4).
      10 MM          PIC 99.
      10 DD          PIC 99.
