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
# a message naming the type rather than write a lossy one. The fixed-size
# columns of a row (CHAR, numbers) must fit in 8060 bytes.

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
CHAR       CHAR              Y     N      8000             N
CHAR       VARCHAR(MAX)      N     N      N                N
VARCHAR    VARCHAR           Y     N      8000             N
VARCHAR    VARCHAR(MAX)      N     N      N                N
# National and DBCS text (PIC N, PIC G), sized in characters: NCHAR 4000,
# beyond that NVARCHAR(MAX).
NCHAR      NCHAR             Y     N      4000             N
NCHAR      NVARCHAR(MAX)     N     N      N                N
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
