# tabcopy DDL template for Microsoft SQL Server (2016 and later) and Azure
# SQL, run with sqlcmd -i <ddl file> or any client that runs a script.
#
# One CREATE TABLE per FILE command. The key columns form the primary
# key, in record order: those of the FILE command's KEYCOLS list and, since
# the FILE commands of one record share its key columns, those of the
# others made from the same record. A table gets no primary key only when
# none of them has KEYCOLS.
# Every column states NULL or NOT NULL, so the session's ANSI_NULL_DFLT
# setting does not matter.
#
# Limits: CHAR and VARCHAR 8000 bytes, beyond that VARCHAR(MAX); DECIMAL
# 38 digits. A decimal of more than 38 digits, or a binary field with more
# than 38 decimal places, has no exact SQL Server type: tabcopy stops with
# a message naming the type rather than write a lossy one.
#
# Row size: a CREATE TABLE whose fixed-size columns (CHAR, NCHAR, numbers)
# could need more than a row's 8060 bytes is refused; variable-size ones
# (VARCHAR, NVARCHAR, the MAX types) move to overflow pages as needed and
# count nothing. MAXROWSIZE below gives what is left of the 8060, and the
# seventh word of a type-map row the bytes a column of that row takes:
# tabcopy makes the longest character columns VARCHAR (NVARCHAR) until
# the row fits, or stops with a message when it cannot.

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
# type     SQL type          size  scale  precision-limit  scale-limit  row bytes
CHAR       CHAR              Y     N      8000             N            Y
CHAR       VARCHAR(MAX)      N     N      N                N            0
VARCHAR    VARCHAR           Y     N      8000             N            0
VARCHAR    VARCHAR(MAX)      N     N      N                N            0
# National and DBCS text (PIC N, PIC G), sized in characters of two
# bytes: NCHAR 4000, beyond that NVARCHAR(MAX).
NCHAR      NCHAR             Y     N      4000             N            Y*2
NCHAR      NVARCHAR(MAX)     N     N      N                N            0
# Character columns made variable to make the row fit (MAXROWSIZE).
TEXT       VARCHAR           Y     N      8000             N            0
TEXT       VARCHAR(MAX)      N     N      N                N            0
NTEXT      NVARCHAR          Y     N      4000             N            0
NTEXT      NVARCHAR(MAX)     N     N      N                N            0
SMALLINT   SMALLINT          N     N      N                N            2
INTEGER    INT               N     N      N                N            4
LARGEINT   BIGINT            N     N      N                N            8
# NUMERIC is a binary field with decimal places; its precision is 4, 9 or
# 18 whatever its picture says, so its scale may exceed it (PIC V9(6)
# COMP-4). The rows keep the scale within the declared precision. DECIMAL
# stores 5 bytes up to 9 digits, 9 up to 19, 13 up to 28, 17 up to 38;
# rows are split where that changes.
NUMERIC    DECIMAL           Y     Y      9                4            5
NUMERIC    DECIMAL           Y     Y      N                4            9
NUMERIC    DECIMAL           9     Y      4                9            5
NUMERIC    DECIMAL           Y     Y      9                9            5
NUMERIC    DECIMAL           Y     Y      N                9            9
NUMERIC    DECIMAL           18    Y      9                18           9
NUMERIC    DECIMAL           Y     Y      N                18           9
NUMERIC    DECIMAL           38    Y      N                38           17
REAL       REAL              N     N      N                N            4
DOUBLE     FLOAT             N     N      N                N            8
UDECIMAL   DECIMAL           Y     Y      9                N            5
UDECIMAL   DECIMAL           Y     Y      19               N            9
UDECIMAL   DECIMAL           Y     Y      28               N            13
UDECIMAL   DECIMAL           Y     Y      38               N            17
DECIMAL    DECIMAL           Y     Y      9                N            5
DECIMAL    DECIMAL           Y     Y      19               N            9
DECIMAL    DECIMAL           Y     Y      28               N            13
DECIMAL    DECIMAL           Y     Y      38               N            17

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
# written in brackets. Every other name is written as it is.
QUOTENAMES []
# Microsoft SQL Server documentation, "Maximum capacity specifications":
# 1024 columns per nonwide table.
MAXCOLUMNS 1024
# Microsoft SQL Server documentation, "Database identifiers": names of at
# most 128 characters.
MAXNAMELENGTH 128
# Microsoft SQL Server documentation, "Maximum capacity specifications"
# and error 1701: 8060 bytes a row, less a header of 4 bytes, the column
# count (2) and the null bitmap (a bit a column: 1 byte up to 8 columns).
# A table of more columns has a byte less for each further 8; the limit
# leaves those out (it never makes a table SQL Server takes change), so a
# wide table within those few bytes of it may still be refused.
MAXROWSIZE 8053

# Reserved Words Section
# A column or table name that is one of these words is written quoted.
# Source: Microsoft SQL Server documentation, "Reserved Keywords (Transact-
# SQL)": the SQL Server reserved keywords.
ADD ALL ALTER AND ANY AS ASC AUTHORIZATION BACKUP BEGIN BETWEEN BREAK BROWSE
BULK BY CASCADE CASE CHECK CHECKPOINT CLOSE CLUSTERED COALESCE COLLATE
COLUMN COMMIT COMPUTE CONSTRAINT CONTAINS CONTAINSTABLE CONTINUE CONVERT
CREATE CROSS CURRENT CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP
CURRENT_USER CURSOR DATABASE DBCC DEALLOCATE DECLARE DEFAULT DELETE DENY
DESC DISK DISTINCT DISTRIBUTED DOUBLE DROP DUMP ELSE END ERRLVL ESCAPE
EXCEPT EXEC EXECUTE EXISTS EXIT EXTERNAL FETCH FILE FILLFACTOR FOR FOREIGN
FREETEXT FREETEXTTABLE FROM FULL FUNCTION GOTO GRANT GROUP HAVING HOLDLOCK
IDENTITY IDENTITYCOL IDENTITY_INSERT IF IN INDEX INNER INSERT INTERSECT INTO
IS JOIN KEY KILL LEFT LIKE LINENO LOAD MERGE NATIONAL NOCHECK NONCLUSTERED
NOT NULL NULLIF OF OFF OFFSETS ON OPEN OPENDATASOURCE OPENQUERY OPENROWSET
OPENXML OPTION OR ORDER OUTER OVER PERCENT PIVOT PLAN PRECISION PRIMARY
PRINT PROC PROCEDURE PUBLIC RAISERROR READ READTEXT RECONFIGURE REFERENCES
REPLICATION RESTORE RESTRICT RETURN REVERT REVOKE RIGHT ROLLBACK ROWCOUNT
ROWGUIDCOL RULE SAVE SCHEMA SECURITYAUDIT SELECT SEMANTICKEYPHRASETABLE
SEMANTICSIMILARITYDETAILSTABLE SEMANTICSIMILARITYTABLE SESSION_USER SET
SETUSER SHUTDOWN SOME STATISTICS SYSTEM_USER TABLE TABLESAMPLE TEXTSIZE THEN
TO TOP TRAN TRANSACTION TRIGGER TRUNCATE TRY_CONVERT TSEQUAL UNION UNIQUE
UNPIVOT UPDATE UPDATETEXT USE USER VALUES VARYING VIEW WAITFOR WHEN WHERE
WHILE WITH WRITETEXT
# Miscellaneous Parameters Section
# Rows of DATAFILE commands as CSV with a header line; NULL an empty field.
ROWFORMAT CSV
ROWHEADER
# Data Load Section
# BULK INSERT reads the file on the server, and a relative name from the
# server's own folder, not from where sqlcmd runs: give ROWS a full path
# that the server can read. The field terminator is named, since BULK
# INSERT documents a tab as its default.
BULK INSERT ?TABLE FROM '?ROWSFILE' WITH (FORMAT = 'CSV', CODEPAGE = '65001', FIRSTROW = ?FIRSTROW, FIELDTERMINATOR = ',', FIELDQUOTE = '"', ROWTERMINATOR = '0x0a', KEEPNULLS);
GO
