      * The record-type round trips (db_lib.sh, write_orders): orders,
      * whose lines become a child table and the lines' marks a grandchild
      * table, and a trailer, told apart by their first byte. O-TOTAL and
      * O-NOTE lie after the OCCURS DEPENDING ON array, so they move with
      * O-COUNT.
       01  ORD-REC.
           05  O-TYPE           PIC X.
               88  IS-ORDER     VALUE 'O'.
           05  O-ID             PIC 9(4).
           05  O-COUNT          PIC 9.
           05  O-LINE OCCURS 1 TO 3 DEPENDING ON O-COUNT.
               10  L-ITEM       PIC X(3).
               10  L-QTY        PIC S9(3) COMP-3.
               10  L-MARK       PIC X OCCURS 2.
           05  O-TOTAL          PIC S9(5)V99 COMP-3.
           05  O-NOTE.
               49  O-NOTE-LEN   PIC S9(4) COMP.
               49  O-NOTE-TEXT  PIC X(10).
       01  ORD-TRL.
           05  T-TYPE           PIC X.
           05  T-COUNT          PIC 9(4).
