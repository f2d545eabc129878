01 SALE-HDR.
   05 H-TYPE      PIC X.
      88 IS-HEADER VALUE 'H'.
   05 H-STORE     PIC 9(3).
   05 H-DATE      PIC X(8).
   05 FILLER      PIC X(8).
01 SALE-DTL.
   05 D-TYPE      PIC X.
   05 D-ITEM      PIC X(6).
   05 D-QTY       PIC S9(3) COMP-3.
   05 D-PRICE     PIC S9(5)V99 COMP-3.
   05 FILLER      PIC X(7).
01 SALE-TRL.
   05 T-TYPE      PIC X.
   05 T-COUNT     PIC 9(4).
   05 FILLER      PIC X(15).
