01 USAGE-REC.
   05 U-CODE   PIC X(2).
   05 U-COUNT  PIC 9(5) COMP-3
               COMP.
