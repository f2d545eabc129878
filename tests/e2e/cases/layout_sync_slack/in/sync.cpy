01 SYNC-REC.
   05 S-CODE       PIC X.
   05 S-HALF       PIC S9(4) COMP SYNC.
   05 S-NAME       PIC X(3).
   05 S-FULL       PIC S9(9) COMP SYNC.
   05 S-FLAG       PIC X.
   05 S-DOUBLE     COMP-2 SYNC.
   05 S-TAG        PIC XX.
   05 S-GRP.
      10 S-INNER   PIC S9(6) COMP SYNC.
   05 S-TABLE OCCURS 2 TIMES.
      10 S-T1      PIC X.
      10 S-T2      PIC S9(4)V99 COMP SYNC.
      10 S-T3      PIC S9(3) COMP SYNC.
      10 S-T4      PIC X(5).
   05 S-END        PIC X.
