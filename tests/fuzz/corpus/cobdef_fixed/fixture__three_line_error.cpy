* a statement over three lines
01 REC.
05 AMOUNT
PIC
X(0).
