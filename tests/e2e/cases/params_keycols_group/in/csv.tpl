# Table Creation Section
CREATE TABLE ?TABLE
(
?COLUMNS
?{KEYCOLUMNS
, PRIMARY KEY (
?KEYCOLUMNS
)
?}
?{PARENTTABLE
, FOREIGN KEY (?PARENTKEYS) REFERENCES ?PARENTTABLE (?PARENTKEYS)
?}
);

# Column Type Mapping Section
# type     SQL type   size  scale  precision-limit  scale-limit
CHAR       CHAR       Y     N      N                N
SMALLINT   SMALLINT   N     N      N                N
INTEGER    INTEGER    N     N      N                N
NUMERIC    NUMERIC    Y     Y      N                N
REAL       REAL       N     N      N                N
DOUBLE     DOUBLE     N     N      N                N
DECIMAL    DECIMAL    Y     Y      N                N
UDECIMAL   NUMERIC    Y     Y      N                N
# Miscellaneous Parameters Section
OMITCOMMENTS
ROWFORMAT CSV
ROWHEADER
# Data Load Section
.import --csv --skip 1 ?ROWSFILE ?TABLE
