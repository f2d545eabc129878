# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS
);
# Column Type Mapping Section
# type     SQL type   size  scale  precision-limit  scale-limit  row bytes
CHAR       CHAR       Y     N      N                N
SMALLINT   SMALLINT   N     N      N                N            2
# Kept off the row: a pointer of 10 bytes stays in it.
TEXT       TEXT       N     N      N                N            10
# Miscellaneous Parameters Section
OMITCOMMENTS
MAXROWSIZE 120
