01  ORDER-REC.
    05  ORDER-NO        PIC 9(8).
    05  ORDER-AMOUNT
            PIC S9(7)Q99 COMP-3.
