01  REC.
05  A              PIC X(4).
05  B PIC 9(0).
