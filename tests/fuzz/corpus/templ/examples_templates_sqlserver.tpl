# tabcopy DDL template for Microsoft SQL Server (2016 and later) and Azure
# SQL, run with sqlcmd -i <ddl file> or any client that runs a script.
#
# One CREATE TABLE per FILE command. The key columns named by the FILE
# command's KEYCOLS list form the primary key, so every FILE command needs
# a KEYCOLS list (without one the PRIMARY KEY clause would be empty).
# Every column states NULL or NOT NULL, so the session's ANSI_NULL_DFLT
# setting does not matter.
#
# Limits: CHAR and VARCHAR 8000 bytes, beyond that VARCHAR(MAX); DECIMAL
# 38 digits. A decimal of more than 38 digits, or a binary field with more
# than 38 decimal places, has no exact SQL Server type: tabcopy stops with
# a message naming the type rather than write a lossy one. The fixed-size
# columns of a row (CHAR, numbers) must fit in 8060 bytes.

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
CHAR       CHAR              Y     N      8000             N
CHAR       VARCHAR(MAX)      N     N      N                N
VARCHAR    VARCHAR           Y     N      8000             N
VARCHAR    VARCHAR(MAX)      N     N      N                N
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
NUMERIC    DECIMAL           38    Y      N                38
REAL       REAL              N     N      N                N
DOUBLE     FLOAT             N     N      N                N
UDECIMAL   DECIMAL           Y     Y      38               N
DECIMAL    DECIMAL           Y     Y      38               N

# Miscellaneous Parameters Section
# Comment lines describe the record's groups, arrays and redefinitions.
INCLUDECOMMENTS
# Repeated field names are numbered (NAME_1, NAME_2) so that every column
# name is unique; redefining fields are then left out, since the storage
# they overlay is already a column. The order matters: RESOLVEDUPCOLUMNS
# turns redefinitions back on.
RESOLVEDUPCOLUMNS INDEX
OMITREDEFS
