01 R.
   05 A PIC X.
   05 B
      PIC X
