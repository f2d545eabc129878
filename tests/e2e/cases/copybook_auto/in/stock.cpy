*> Code from column 1: free format.
01 STOCK.
   05 STOCK-ITEM PIC 9(4).
   05 STOCK-QTY PIC S9(5) COMP.
