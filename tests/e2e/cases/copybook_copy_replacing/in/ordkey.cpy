000100*  The key of an order, in fixed format.
000200     05  ORDER-NO            PIC 9(8).
