      * Names the databases reserve or take only quoted: SQL reserved
      * words, and a name that starts with a digit. Two records, one
      * for a table with key columns and one for a table without.
       01  NAMES-REC.
           05  ORDER               PIC X(4).
           05  USER                PIC X(4).
           05  GROUP               PIC X(4).
           05  DESC                PIC X(4).
           05  CHECK               PIC X(4).
           05  SELECT              PIC X(4).
           05  FLOAT               PIC 9(4).
           05  DOUBLE              PIC 9(4).
           05  RANGE               PIC X(4).
           05  LIMIT               PIC X(4).
           05  1ST-LINE            PIC X(4).
       01  MASTER-REC.
           05  ORDER               PIC X(4).
           05  USER                PIC X(4).
           05  GROUP               PIC X(4).
           05  DESC                PIC X(4).
           05  CHECK               PIC X(4).
           05  SELECT              PIC X(4).
           05  FLOAT               PIC 9(4).
           05  DOUBLE              PIC 9(4).
           05  RANGE               PIC X(4).
           05  LIMIT               PIC X(4).
           05  1ST-LINE            PIC X(4).
