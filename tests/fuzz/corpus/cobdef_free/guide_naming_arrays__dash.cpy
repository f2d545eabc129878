01 REC-DASH.
   05 PHONE       PIC X(10) OCCURS 2.
   05 LINES       OCCURS 2.
      10 QTY      PIC 9(3).
