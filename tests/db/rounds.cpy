      * The data round trips (db_lib.sh, write_rounds): a field of each
      * kind the data path decodes, read back from the databases.
      * GROUP is a reserved word, quoted in every database.
       01  ROUND-REC.
           05  R-ID             PIC 9(4).
           05  R-NAME           PIC X(8).
           05  GROUP            PIC X(3).
           05  R-ZONED          PIC S9(3)V99.
           05  R-PACKED         PIC S9(5)V99 COMP-3.
           05  R-BIG            PIC S9(15)V99 COMP-3.
           05  R-HALF           PIC S9(4) COMP.
           05  R-FULL           PIC S9(7)V99 COMP.
           05  R-SHORT          COMP-1.
           05  R-LONG           COMP-2.
           05  R-QTY            PIC 9(2) OCCURS 3.
           05  R-NOTE           PIC X(4).
