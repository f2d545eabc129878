      * PRINT LINES: EDITED PICTURES AND WIDE RECORDS.
       01  PRINT-LINE.
           05  PL-AMOUNT        PIC ZZ,ZZZ,ZZ9.99.
           05  PL-CREDIT        PIC $$$,$$9.99CR.
           05  PL-DEBIT         PIC ***,**9.99DB.
           05  PL-DATE          PIC 99/99/9999.
           05  PL-SPACED        PIC XXBXXB00.
           05  PL-PLUS          PIC +(5)9.
           05  PL-MINUS         PIC -9(4).99.
           05  PL-ZERO-FILL     PIC 9(3)000.
           05  PL-BLANKS        PIC 9(4)B(2)9.
           05  PL-PIC-IS        PIC IS X(6).
           05  PL-PICTURE-IS    PICTURE IS S9(3)V9
                                SIGN LEADING SEPARATE.
       01  PRINT-LINE-2 REDEFINES PRINT-LINE.
           05  PL2-ALL          PIC X(120).
       01  WIDE-REC.
           05  W-HEAD           PIC X(2).
           05  W-BLOCK OCCURS 50.
               10  W-CELL OCCURS 40 PIC X(20).
               10  W-FLAG       PIC X.
           05  W-TAIL           PIC X(5).
           05  W-TAIL-R REDEFINES W-TAIL PIC X(8).
           05  W-END            PIC X.
