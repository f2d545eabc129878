01 R.
   05 R-NAME PIC X(6).
   05 R-QTY  PIC 9(4).
