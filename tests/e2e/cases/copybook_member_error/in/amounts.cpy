   05 B PIC X.
   05 C PIC 9(0).
