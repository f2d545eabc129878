# tabcopy DDL template for PostgreSQL (12 and later).
#
# One CREATE TABLE per FILE command. The key columns named by the FILE
# command's KEYCOLS list form the primary key, so every FILE command needs
# a KEYCOLS list (without one the PRIMARY KEY clause would be empty).
# Unquoted names fold to lower case in PostgreSQL: CUST_ID becomes cust_id.
#
# Types keep every value of the COBOL field exactly. Character fields
# longer than 32767 (the largest limit a type-map row can state) become
# TEXT; decimals beyond NUMERIC's declared limit of 1000 digits become
# NUMERIC without a precision, which has no such limit.

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
CHAR       CHAR              Y     N      32767            N
CHAR       TEXT              N     N      N                N
VARCHAR    VARCHAR           Y     N      32767            N
VARCHAR    TEXT              N     N      N                N
SMALLINT   SMALLINT          N     N      N                N
INTEGER    INTEGER           N     N      N                N
LARGEINT   BIGINT            N     N      N                N
# NUMERIC is a binary field with decimal places; its precision is 4, 9 or
# 18 whatever its picture says, so its scale may exceed it (PIC V9(6)
# COMP-4). The rows keep the scale within the declared precision.
NUMERIC    NUMERIC           Y     Y      N                4
NUMERIC    NUMERIC           9     Y      4                9
NUMERIC    NUMERIC           Y     Y      N                9
NUMERIC    NUMERIC           18    Y      9                18
NUMERIC    NUMERIC           Y     Y      N                18
NUMERIC    NUMERIC           N     N      N                N
REAL       REAL              N     N      N                N
DOUBLE     DOUBLE_PRECISION  N     N      N                N
UDECIMAL   NUMERIC           Y     Y      1000             N
UDECIMAL   NUMERIC           N     N      N                N
DECIMAL    NUMERIC           Y     Y      1000             N
DECIMAL    NUMERIC           N     N      N                N

# Miscellaneous Parameters Section
# Comment lines describe the record's groups, arrays and redefinitions.
INCLUDECOMMENTS
# Repeated field names are numbered (NAME_1, NAME_2) so that every column
# name is unique; redefining fields are then left out, since the storage
# they overlay is already a column. The order matters: RESOLVEDUPCOLUMNS
# turns redefinitions back on.
RESOLVEDUPCOLUMNS INDEX
OMITREDEFS
