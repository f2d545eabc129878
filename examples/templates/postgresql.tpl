# tabcopy DDL template for PostgreSQL (12 and later).
#
# One CREATE TABLE per FILE command. The key columns form the primary
# key, in record order: those of the FILE command's KEYCOLS list and, since
# the FILE commands of one record share its key columns, those of the
# others made from the same record. A table gets no primary key only when
# none of them has KEYCOLS.
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
?{KEYCOLUMNS
, PRIMARY KEY
(
?KEYCOLUMNS
)
?}
?{PARENTTABLE
, FOREIGN KEY (?PARENTKEYS) REFERENCES ?PARENTTABLE (?PARENTKEYS)
?}
);

# Column Type Mapping Section
# type     SQL type          size  scale  precision-limit  scale-limit
CHAR       CHAR              Y     N      32767            N
CHAR       TEXT              N     N      N                N
VARCHAR    VARCHAR           Y     N      32767            N
VARCHAR    TEXT              N     N      N                N
# National and DBCS text (PIC N, PIC G), sized in characters.
NCHAR      NCHAR             Y     N      32767            N
NCHAR      TEXT              N     N      N                N
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
# A name the database would not take as it is (a reserved word below,
# a name that starts with a digit or holds a character other than a
# letter, digit or underscore, such as a table name with a hyphen) is
# written in double quotes. Every other name is written as it is.
QUOTENAMES "
# PostgreSQL 15 documentation, Appendix K "PostgreSQL Limits": 1600 columns
# per table.
MAXCOLUMNS 1600
# PostgreSQL 15 documentation, 4.1.1 "Identifiers and Key Words": names
# longer than 63 bytes are cut to 63, so that two long names can become one.
MAXNAMELENGTH 63

# Reserved Words Section
# A column or table name that is one of these words is written quoted.
# Source: PostgreSQL 15 documentation, Appendix C "SQL Key Words" (Table
# C.1): the words marked reserved in the PostgreSQL column.
ALL ANALYSE ANALYZE AND ANY ARRAY AS ASC ASYMMETRIC AUTHORIZATION BINARY
BOTH CASE CAST CHECK COLLATE COLLATION COLUMN CONCURRENTLY CONSTRAINT CREATE
CROSS CURRENT_CATALOG CURRENT_DATE CURRENT_ROLE CURRENT_SCHEMA CURRENT_TIME
CURRENT_TIMESTAMP CURRENT_USER DEFAULT DEFERRABLE DESC DISTINCT DO ELSE END
EXCEPT FALSE FETCH FOR FOREIGN FREEZE FROM FULL GRANT GROUP HAVING ILIKE IN
INITIALLY INNER INTERSECT INTO IS ISNULL JOIN LATERAL LEADING LEFT LIKE
LIMIT LOCALTIME LOCALTIMESTAMP NATURAL NOT NOTNULL NULL OFFSET ON ONLY OR
ORDER OUTER OVERLAPS PLACING PRIMARY REFERENCES RETURNING RIGHT SELECT
SESSION_USER SIMILAR SOME SYMMETRIC TABLE TABLESAMPLE THEN TO TRAILING TRUE
UNION UNIQUE USER USING VARIADIC VERBOSE WHEN WHERE WINDOW WITH
# Miscellaneous Parameters Section
# Rows of DATAFILE commands in the text format of COPY: tab-separated,
# \N for NULL, backslash escapes. PostgreSQL cannot store a NUL character
# in text: a field holding one is a field error.
ROWFORMAT PGTEXT
# Data Load Section
# psql -f runs the load script from the folder tabcopy ran in.
\copy ?TABLE (?COLUMNLIST) FROM '?ROWSFILE' WITH (FORMAT text, ENCODING 'UTF8')
