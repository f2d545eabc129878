01 PAY-INDEX.
   05 EMP.
      10 ID       PIC 9(5).
      10 NAME     PIC X(20).
   05 MGR.
      10 ID       PIC 9(5).
      10 NAME     PIC X(20).
