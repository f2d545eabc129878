01 KIND-HDR.
   05 H-TYPE      PIC X.
   05 H-NAME      PIC X(9).
01 KIND-DTL.
   05 D-TYPE      PIC X.
   05 D-QTY       PIC 9(4).
