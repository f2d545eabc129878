* Decimals beyond every limit but PostgreSQL's and SQLite's: precisions
* on both sides of PostgreSQL's 1000 digits, scales beyond 30 and 38.
01 HUGE-REC.
   05 H-KEY              PIC X(8).
   05 H-UDEC-1000        PIC 9(998)V99.
   05 H-UDEC-1001        PIC 9(999)V99.
   05 H-DEC-35           PIC S9(35).
   05 H-PACKED-1000      PIC S9(1000) COMP-3.
   05 H-PACKED-1001      PIC S9(1001) COMP-3.
   05 H-NUM-18-40        PIC V9(40) COMP.
