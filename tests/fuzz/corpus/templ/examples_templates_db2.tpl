# tabcopy DDL template for IBM Db2 for Linux, UNIX and Windows (11.1 and
# later), run with the command line processor: db2 -tvf <ddl file>.
#
# One CREATE TABLE per FILE command. The key columns named by the FILE
# command's KEYCOLS list form the primary key, so every FILE command needs
# a KEYCOLS list (without one the PRIMARY KEY clause would be empty).
# Nullable is Db2's default, so only key columns carry NOT NULL.
#
# Limits: CHAR 255 bytes, VARCHAR 32672, beyond that CLOB; DECIMAL 31
# digits, beyond that DECFLOAT(34), which holds 34 significant digits
# exactly. A decimal of more than 34 digits has no exact Db2 type: tabcopy
# stops with a message naming the type rather than write a lossy one.
# A row must fit the table space's page: 4005 bytes on 4 KB pages, 32677
# on 32 KB pages; give wide records a table space with large pages.

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
CHAR       VARCHAR           Y     N      32672            N
CHAR       CLOB              Y     N      N                N
VARCHAR    VARCHAR           Y     N      32672            N
VARCHAR    CLOB              Y     N      N                N
SMALLINT   SMALLINT          N     N      N                N
INTEGER    INTEGER           N     N      N                N
LARGEINT   BIGINT            N     N      N                N
# NUMERIC is a binary field with decimal places; its precision is 4, 9 or
# 18 whatever its picture says, so its scale may exceed it (PIC V9(6)
# COMP-4). The rows keep the scale within the declared precision.
NUMERIC    DECIMAL           Y     Y      N                4
NUMERIC    DECIMAL           9     Y      4                9
NUMERIC    DECIMAL           Y     Y      N                9
NUMERIC    DECIMAL           18    Y      9                18
NUMERIC    DECIMAL           Y     Y      N                18
NUMERIC    DECIMAL           31    Y      N                31
NUMERIC    DECFLOAT          34    N      N                N
REAL       REAL              N     N      N                N
DOUBLE     DOUBLE            N     N      N                N
UDECIMAL   DECIMAL           Y     Y      31               N
UDECIMAL   DECFLOAT          34    N      34               N
DECIMAL    DECIMAL           Y     Y      31               N
DECIMAL    DECFLOAT          34    N      34               N

# Miscellaneous Parameters Section
OMITNULL
# Comment lines describe the record's groups, arrays and redefinitions.
INCLUDECOMMENTS
# Repeated field names are numbered (NAME_1, NAME_2) so that every column
# name is unique; redefining fields are then left out, since the storage
# they overlay is already a column. The order matters: RESOLVEDUPCOLUMNS
# turns redefinitions back on.
RESOLVEDUPCOLUMNS INDEX
OMITREDEFS
