01 PAY-REC.
   05 EMP.
      10 EMP-ID   PIC 9(5).
      10 NAME     PIC X(10).
   05 MGR.
      10 EMP-ID   PIC 9(5).
      10 NAME     PIC X(10).
   05 NAME-X REDEFINES MGR PIC X(15).
   05 EMP-ID-2   PIC X(3).
