# tabcopy DDL template for SQLite 3.
#
# One CREATE TABLE per FILE command. The key columns named by the FILE
# command's KEYCOLS list form the primary key, so every FILE command needs
# a KEYCOLS list (without one the PRIMARY KEY clause would be empty).
#
# SQLite does not enforce lengths or precisions; the declared types record
# them and choose each column's affinity. A decimal column has NUMERIC
# affinity, which stores integers of up to 18 digits exactly but keeps only
# 15 significant digits of a value with decimal places. Decimals that could
# lose digits are therefore declared DECIMAL TEXT (TEXT affinity, the
# precision still shown): load them as text and every digit is kept.

# Table Creation Section
CREATE TABLE ?TABLE
(
?COLUMNS
, PRIMARY KEY
(
?KEYCOLUMNS
)
);

# Column Type Mapping Section
# type     SQL type          size  scale  precision-limit  scale-limit
CHAR       CHAR              Y     N      N                N
VARCHAR    VARCHAR           Y     N      N                N
SMALLINT   SMALLINT          N     N      N                N
INTEGER    INTEGER           N     N      N                N
LARGEINT   BIGINT            N     N      N                N
# A binary field with decimal places has a precision of 4, 9 or 18.
NUMERIC    NUMERIC           Y     Y      15               N
NUMERIC    DECIMAL_TEXT      Y     Y      N                N
REAL       REAL              N     N      N                N
DOUBLE     DOUBLE            N     N      N                N
UDECIMAL   DECIMAL           Y     Y      18               0
UDECIMAL   DECIMAL           Y     Y      15               N
UDECIMAL   DECIMAL_TEXT      Y     Y      N                N
DECIMAL    DECIMAL           Y     Y      18               0
DECIMAL    DECIMAL           Y     Y      15               N
DECIMAL    DECIMAL_TEXT      Y     Y      N                N

# Miscellaneous Parameters Section
# Comment lines describe the record's groups, arrays and redefinitions.
INCLUDECOMMENTS
# Repeated field names are numbered (NAME_1, NAME_2) so that every column
# name is unique; redefining fields are then left out, since the storage
# they overlay is already a column. The order matters: RESOLVEDUPCOLUMNS
# turns redefinitions back on.
RESOLVEDUPCOLUMNS INDEX
OMITREDEFS
