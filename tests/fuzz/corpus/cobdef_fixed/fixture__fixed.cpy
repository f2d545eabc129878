000100* COMMENT WITH A PERIOD. 05 NOT-A-FIELD PIC X.
000200 01  CUSTOMER-REC.                                                IDENT001
000300     05  CUST-ID            PIC 9(6).                             IDENT002
000400/    PAGE EJECT COMMENT
000500D    05  DEBUG-FIELD        PIC X(9).
000600     05  CUST-NAME          PIC X(30) VALUE 'SMITH AND SONS. LTD
000700-        '. INC'.
000800     05  CUST-BAL           PIC S9(7)V99
000900                            COMP-3.
001000     05  CUST-CO
001100-        DE                 PIC X(2).
		05  TABBED PIC X(3).
      05 COL7-START PIC X(2).
001300     05  LAST-ONE           PIC X.                                99999999 PIC X(50).
000001
