000100* Indicators in column 7, and what lies outside columns 8-72.
000200 01  PAYMENT.                                                     PAYM0001
000300$SET SOURCEFORMAT"FIXED"
000400d    05  DEBUG-ONLY          PIC X.
000500D    05  DEBUG-TOO           PIC X.
00060
000700     05  PAY-ID              PIC 9(6).  *> the payment's number
000800/
000900     05  PAY-AMOUNT          PIC S9(7)V99 COMP-3.                 05 X. Y
001000	  05  PAY-NOTE            PIC X(10).
SEQ011     05  PAY-CODE            PIC X(2).
