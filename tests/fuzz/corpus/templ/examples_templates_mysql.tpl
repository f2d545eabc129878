# tabcopy DDL template for MySQL (8.0 and later), run with
# mysql <database> < <ddl file>.
#
# One CREATE TABLE per FILE command. The key columns named by the FILE
# command's KEYCOLS list form the primary key, so every FILE command needs
# a KEYCOLS list (without one the PRIMARY KEY clause would be empty).
#
# Limits: CHAR 255 characters and VARCHAR kept to the same, beyond that
# TEXT (16383 characters of utf8mb4) and LONGTEXT; DECIMAL 65 digits with
# at most 30 decimal places. A decimal beyond those has no exact MySQL
# type: tabcopy stops with a message naming the type rather than write a
# lossy one. The columns of a row may take 65535 bytes at most, and with
# utf8mb4 each CHAR position counts 4 bytes: for wide records give the
# table a single-byte character set (add CHARACTER SET latin1 after the
# closing parenthesis below).

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
CHAR       CHAR              Y     N      255              N
CHAR       TEXT              N     N      16383            N
CHAR       LONGTEXT          N     N      N                N
VARCHAR    VARCHAR           Y     N      255              N
VARCHAR    TEXT              N     N      16383            N
VARCHAR    LONGTEXT          N     N      N                N
SMALLINT   SMALLINT          N     N      N                N
INTEGER    INT               N     N      N                N
LARGEINT   BIGINT            N     N      N                N
# NUMERIC is a binary field with decimal places; its precision is 4, 9 or
# 18 whatever its picture says, so its scale may exceed it (PIC V9(6)
# COMP-4). The rows keep the scale within the declared precision.
NUMERIC    DECIMAL           Y     Y      N                4
NUMERIC    DECIMAL           9     Y      4                9
NUMERIC    DECIMAL           Y     Y      N                9
NUMERIC    DECIMAL           18    Y      9                18
NUMERIC    DECIMAL           Y     Y      N                18
NUMERIC    DECIMAL           65    Y      N                30
REAL       FLOAT             N     N      N                N
DOUBLE     DOUBLE            N     N      N                N
UDECIMAL   DECIMAL           Y     Y      65               30
DECIMAL    DECIMAL           Y     Y      65               30

# Miscellaneous Parameters Section
# Comment lines describe the record's groups, arrays and redefinitions.
INCLUDECOMMENTS
# Repeated field names are numbered (NAME_1, NAME_2) so that every column
# name is unique; redefining fields are then left out, since the storage
# they overlay is already a column. The order matters: RESOLVEDUPCOLUMNS
# turns redefinitions back on.
RESOLVEDUPCOLUMNS INDEX
OMITREDEFS
