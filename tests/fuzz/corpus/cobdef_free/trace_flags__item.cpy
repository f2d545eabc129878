01 ITEM-REC.
   05 ITEM-ID        PIC 9(6).
   05 ITEM-NAME      PIC X(20).
   05 PRICE          PIC S9(5)V99 COMP-3.
