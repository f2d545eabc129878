000100*Account record in fixed reference format.
000200 01  ACCOUNT-RECORD.                                              ACCT0001
000300     05  ACCT-NO             PIC 9(10).                           ACCT0002
000400/    Amounts
000500     05  ACCT-BALANCE        PIC S9(11)V99 COMP-3.                ACCT0003
000600D    05  ACCT-DEBUG-FLAG     PIC X.
000700     05  ACCT-HOLDER-NAME-AND-ADDRE                               ACCT0004
000800-        SS                  PIC X(60).                           ACCT0005
