      * ORDERS: NESTED GROUPS, OCCURS, REDEFINES AND EVERY USAGE.
       01  ORDER-REC.
           05  ORD-KEY.
               10  ORD-BRANCH        PIC X(3).
               10  ORD-NUMBER        PIC 9(7) COMP-3.
           05  ORD-DATE              PIC 9(8).
           05  ORD-DATE-R REDEFINES ORD-DATE.
               10  ORD-YEAR          PIC 9(4).
               10  ORD-MONTH         PIC 99.
               10  ORD-DAY           PIC 99.
           05  ORD-LINE-COUNT        PIC S9(4) COMP.
           05  ORD-LINES OCCURS 12 TIMES INDEXED BY ORD-IX.
               10  LINE-ITEM         PIC X(10).
               10  LINE-QTY          PIC S9(5) BINARY.
               10  LINE-PRICE        PIC S9(7)V99 PACKED-DECIMAL.
               10  LINE-TAXES OCCURS 3.
                   15  TAX-CODE      PIC XX.
                   15  TAX-RATE      PIC SV9(4) COMP-3.
               10  LINE-WEIGHT       COMP-1.
               10  LINE-SMALL        PIC 9(2) USAGE IS BINARY.
           05  ORD-TOTAL             PIC S9(11)V99 COMP-3.
           05  ORD-RATIO             COMP-2.
           05  ORD-BIG               PIC S9(18) COMP.
           05  ORD-MID               PIC 9(9) COMPUTATIONAL.
           05  ORD-SIGNED-L          PIC S9(5)
                                     SIGN LEADING SEPARATE.
           05  ORD-SIGNED-T          PIC S9(3)V99
                                     SIGN IS TRAILING SEPARATE
                                     CHARACTER.
           05  ORD-SIGNED-E          PIC S9(5) SIGN TRAILING.
           05  ORD-NOTE              PIC X(20) VALUE 'SEE. ALSO'.
           05  ORD-CODES REDEFINES ORD-NOTE.
               10  ORD-CODE          PIC X(4) OCCURS 5.
           05  FILLER                PIC X(3).
           05  ORD-LAST              PIC X.
