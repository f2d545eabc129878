01 ACCT-REC.
   05 ACCT-KEY.
      10 ACCT-BRANCH PIC X(2).
      10 ACCT-NO     PIC 9(4).
   05 FILLER         PIC X(2).
   05 BALANCE        PIC 9(3).
