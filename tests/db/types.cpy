* Every type name the column resolution derives (national and DBCS text
* among them), at the edges of the templates' type-map rows: lengths and
* precisions on both sides of each database's limits, binary fields whose
* scale exceeds their precision, a repeated name, FILLER and a
* redefinition. Every template has a type for each of these fields.
01 TYPES-REC.
   05 T-KEY              PIC 9(6).
   05 T-CHAR             PIC X(10).
   05 T-CHAR-255         PIC X(255).
   05 T-CHAR-256         PIC X(256).
   05 T-CHAR-2000        PIC X(2000).
   05 T-CHAR-2001        PIC X(2001).
   05 T-CHAR-4000        PIC X(3999)X(1).
   05 T-CHAR-4001        PIC X(3999)X(2).
   05 T-CHAR-8000        PIC X(3999)X(3999)X(2).
   05 T-CHAR-8001        PIC X(3999)X(3999)X(3).
   05 T-CHAR-16383       PIC X(3999)X(3999)X(3999)X(3999)X(387).
   05 T-CHAR-16384       PIC X(3999)X(3999)X(3999)X(3999)X(388).
   05 T-CHAR-32672       PIC X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(680).
   05 T-CHAR-32673       PIC X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(681).
   05 T-CHAR-32767       PIC X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(775).
   05 T-CHAR-32768       PIC X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(776).
   05 T-VARCHAR          PIC X(40) DISPLAY-2.
   05 T-VARCHAR-255      PIC X(255) DISPLAY-2.
   05 T-VARCHAR-256      PIC X(256) DISPLAY-2.
   05 T-VARCHAR-4000     PIC X(3999)X(1) DISPLAY-2.
   05 T-VARCHAR-4001     PIC X(3999)X(2) DISPLAY-2.
   05 T-VARCHAR-8000     PIC X(3999)X(3999)X(2) DISPLAY-2.
   05 T-VARCHAR-8001     PIC X(3999)X(3999)X(3) DISPLAY-2.
   05 T-VARCHAR-16383    PIC X(3999)X(3999)X(3999)X(3999)X(387) DISPLAY-2.
   05 T-VARCHAR-16384    PIC X(3999)X(3999)X(3999)X(3999)X(388) DISPLAY-2.
   05 T-VARCHAR-32672    PIC X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(680) DISPLAY-2.
   05 T-VARCHAR-32673    PIC X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(681) DISPLAY-2.
   05 T-VARCHAR-32767    PIC X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(775) DISPLAY-2.
   05 T-VARCHAR-32768    PIC X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(3999)X(776) DISPLAY-2.
   05 T-NCHAR            PIC N(10).
   05 T-NCHAR-85         PIC N(85).
   05 T-NCHAR-86         PIC N(86).
   05 T-NCHAR-127        PIC N(127).
   05 T-NCHAR-128        PIC N(128).
   05 T-NCHAR-1000       PIC N(1000).
   05 T-NCHAR-1001       PIC N(1001).
   05 T-NCHAR-2000       PIC N(2000).
   05 T-NCHAR-2001       PIC N(2001).
   05 T-NCHAR-4000       PIC N(4000).
   05 T-NCHAR-4001       PIC N(4001).
   05 T-NCHAR-16336      PIC N(16336).
   05 T-NCHAR-16337      PIC N(16337).
   05 T-NCHAR-16383      PIC N(16383).
   05 T-NCHAR-16384      PIC N(16384).
   05 T-NCHAR-32767      PIC N(32767).
   05 T-NCHAR-32768      PIC N(32768).
   05 T-NATIONAL         PIC N(3) USAGE NATIONAL.
   05 T-DBCS             PIC G(6) DISPLAY-1.
   05 T-SMALL            PIC S9(4) COMP.
   05 T-INT              PIC S9(9) COMP.
   05 T-BIG              PIC S9(18) COMP.
   05 T-NUM-4-2          PIC S99V99 COMP.
   05 T-NUM-4-6          PIC SV9(6) COMP-4.
   05 T-NUM-9-7          PIC S99V9(7) COMP.
   05 T-NUM-9-12         PIC V9(12) COMP-5.
   05 T-NUM-18-15        PIC S9(3)V9(15) COMP.
   05 T-NUM-18-20        PIC V9(20) COMP.
   05 T-NUM-18-30        PIC V9(30) COMP.
   05 T-FLOAT            COMP-1.
   05 T-DOUBLE           COMP-2.
   05 T-UDEC             PIC 9(5)V99.
   05 T-UDEC-16-2        PIC 9(14)V99.
   05 T-UDEC-31          PIC 9(31).
   05 T-UDEC-32          PIC 9(31)V9.
   05 T-DEC              PIC S9(7)V99.
   05 T-DEC-SEP          PIC S9(5) SIGN LEADING SEPARATE.
   05 T-DEC-15-2         PIC S9(13)V99.
   05 T-DEC-18           PIC S9(18).
   05 T-DEC-19           PIC S9(19).
   05 T-DEC-34-30        PIC S9(4)V9(30).
   05 T-PACKED           PIC S9(13)V99 COMP-3.
   05 T-PACKED-31        PIC S9(29)V99 COMP-3.
   05 T-PACKED-32        PIC S9(30)V99 COMP-3.
   05 T-PACKED-34        PIC S9(34) COMP-3.
   05 FILLER             PIC X(4).
   05 T-PAIR.
      10 T-CODE          PIC X(2).
   05 T-CODE             PIC X(3).
   05 T-CODE-PARTS REDEFINES T-CODE.
      10 T-CODE-A        PIC X.
      10 T-CODE-B        PIC XX.
