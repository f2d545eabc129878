* Stock item record.
01  ITEM-REC.
    05  ITEM-NO          PIC 9(6).
    05  ITEM-NAME        PIC X(30).
    05  ITEM-PRICE       PIC S9(5)V99 COMP-3.
    05  ITEM-STOCK       PIC S9(4) COMP.
