* Order record, in free format: a header, five order lines kept as an
* array of groups, packed amounts, and a status read two ways.
01  ORDER-RECORD.
    05  ORDER-NO                PIC 9(10).
    05  ORDER-CUST-ID           PIC 9(8).
    05  ORDER-DATE              PIC 9(8).
    05  ORDER-LINE-COUNT        PIC S9(4) COMP.
    05  ORDER-LINE OCCURS 5 TIMES.
        10  LINE-ITEM-CODE      PIC X(10).
        10  LINE-QUANTITY       PIC S9(5) COMP-3.
        10  LINE-UNIT-PRICE     PIC S9(7)V99 COMP-3.
    05  ORDER-TOTAL             PIC S9(11)V99 COMP-3.
    05  ORDER-STATUS            PIC X(12).
    05  ORDER-STATUS-PARTS REDEFINES ORDER-STATUS.
        10  ORDER-STATUS-CODE   PIC XX.
        10  ORDER-STATUS-DATE   PIC 9(8).
        10  FILLER              PIC XX.
    05  ORDER-NOTE              PIC X(60) DISPLAY-2.
