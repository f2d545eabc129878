01 R.
   05 A.
      10 X PIC X(2).
   05 B.
      10 X PIC X(2).
   05 C.
      10 X PIC X(2).
