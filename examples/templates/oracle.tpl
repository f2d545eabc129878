# tabcopy DDL template for Oracle Database (12.2 and later, for names of
# up to 128 bytes), run with SQL*Plus or SQLcl: @<ddl file>.
#
# One CREATE TABLE per FILE command. The key columns form the primary
# key, in record order: those of the FILE command's KEYCOLS list and, since
# the FILE commands of one record share its key columns, those of the
# others made from the same record. A table gets no primary key only when
# none of them has KEYCOLS.
#
# Limits (MAX_STRING_SIZE = STANDARD): CHAR 2000 bytes, VARCHAR2 4000,
# beyond that CLOB; NUMBER 38 digits. A decimal of more than 38 digits has
# no exact Oracle type: tabcopy stops with a message naming the type
# rather than write a lossy one. Binary integers get the NUMBER precision
# that holds every value of their size. Floating-point fields are REAL and
# DOUBLE PRECISION (Oracle's FLOAT(63) and FLOAT(126)): the names
# BINARY_FLOAT and BINARY_DOUBLE cannot be written, since a type-map row
# turns every underscore into a blank.

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
CHAR       CHAR              Y     N      2000             N
CHAR       VARCHAR2          Y     N      4000             N
CHAR       CLOB              N     N      N                N
VARCHAR    VARCHAR2          Y     N      4000             N
VARCHAR    CLOB              N     N      N                N
# National and DBCS text (PIC N, PIC G), sized in characters of the
# national character set AL16UTF16: NCHAR 1000, NVARCHAR2 2000, beyond
# that NCLOB.
NCHAR      NCHAR             Y     N      1000             N
NCHAR      NVARCHAR2         Y     N      2000             N
NCHAR      NCLOB             N     N      N                N
SMALLINT   NUMBER            5     N      N                N
INTEGER    NUMBER            10    N      N                N
LARGEINT   NUMBER            19    N      N                N
# NUMERIC is a binary field with decimal places; its precision is 4, 9 or
# 18 whatever its picture says. NUMBER allows a scale above the precision
# (up to 127), so one row serves them all.
NUMERIC    NUMBER            Y     Y      N                127
REAL       REAL              N     N      N                N
DOUBLE     DOUBLE_PRECISION  N     N      N                N
UDECIMAL   NUMBER            Y     Y      38               N
DECIMAL    NUMBER            Y     Y      38               N

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
# Oracle Database Reference, "Logical Database Limits": 1000 columns per table.
MAXCOLUMNS 1000
# Oracle Database Reference, "Logical Database Limits": names of at most
# 128 bytes (12.2 and later).
MAXNAMELENGTH 128

# Reserved Words Section
# A column or table name that is one of these words is written quoted.
# Source: Oracle Database SQL Language Reference, "Oracle SQL Reserved Words".
ACCESS ADD ALL ALTER AND ANY AS ASC AUDIT BETWEEN BY CHAR CHECK CLUSTER
COLUMN COLUMN_VALUE COMMENT COMPRESS CONNECT CREATE CURRENT DATE DECIMAL
DEFAULT DELETE DESC DISTINCT DROP ELSE EXCLUSIVE EXISTS FILE FLOAT FOR FROM
GRANT GROUP HAVING IDENTIFIED IMMEDIATE IN INCREMENT INDEX INITIAL INSERT
INTEGER INTERSECT INTO IS LEVEL LIKE LOCK LONG MAXEXTENTS MINUS MLSLABEL
MODE MODIFY NESTED_TABLE_ID NOAUDIT NOCOMPRESS NOT NOWAIT NULL NUMBER OF
OFFLINE ON ONLINE OPTION OR ORDER PCTFREE PRIOR PUBLIC RAW RENAME RESOURCE
REVOKE ROW ROWID ROWNUM ROWS SELECT SESSION SET SHARE SIZE SMALLINT START
SUCCESSFUL SYNONYM SYSDATE TABLE THEN TO TRIGGER UID UNION UNIQUE UPDATE
USER VALIDATE VALUES VARCHAR VARCHAR2 VIEW WHENEVER WHERE WITH
# Miscellaneous Parameters Section
# Rows of DATAFILE commands as CSV; NULL an empty field (Oracle stores an
# empty string as NULL in any case). The load script is a shell script
# that writes a SQL*Loader control file for each table and runs sqlldr
# with the connection in ORACLE_USERID.
ROWFORMAT CSV
LOADSUFFIX .load.sh
# Data Load Section
cat > ?ROWSFILE.ctl <<'END_OF_CONTROL'
LOAD DATA
CHARACTERSET AL32UTF8
INFILE '?ROWSFILE'
APPEND INTO TABLE ?TABLE
FIELDS CSV WITH EMBEDDED
TRAILING NULLCOLS
(?COLUMNLIST)
END_OF_CONTROL
sqlldr userid="$ORACLE_USERID" control=?ROWSFILE.ctl
