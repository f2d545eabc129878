# tabcopy DDL template for SQLite 3.
#
# One CREATE TABLE per FILE command. The key columns form the primary
# key, in record order: those of the FILE command's KEYCOLS list and, since
# the FILE commands of one record share its key columns, those of the
# others made from the same record. A table gets no primary key only when
# none of them has KEYCOLS.
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
CHAR       CHAR              Y     N      N                N
VARCHAR    VARCHAR           Y     N      N                N
# National and DBCS text (PIC N, PIC G), sized in characters.
NCHAR      NCHAR             Y     N      N                N
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
# A name the database would not take as it is (a reserved word below,
# a name that starts with a digit or holds a character other than a
# letter, digit or underscore, such as a table name with a hyphen) is
# written in double quotes. Every other name is written as it is.
QUOTENAMES "
# SQLite documentation, "Limits In SQLite": SQLITE_MAX_COLUMN, 2000 by default.
MAXCOLUMNS 2000
# SQLite sets no limit on the length of a name, so there is no MAXNAMELENGTH.

# Reserved Words Section
# A column or table name that is one of these words is written quoted.
# Source: SQLite documentation, "SQLite Keywords" (lang_keywords.html,
# SQLite 3.40): the whole list.
ABORT ACTION ADD AFTER ALL ALTER ALWAYS ANALYZE AND AS ASC ATTACH
AUTOINCREMENT BEFORE BEGIN BETWEEN BY CASCADE CASE CAST CHECK COLLATE COLUMN
COMMIT CONFLICT CONSTRAINT CREATE CROSS CURRENT CURRENT_DATE CURRENT_TIME
CURRENT_TIMESTAMP DATABASE DEFAULT DEFERRABLE DEFERRED DELETE DESC DETACH
DISTINCT DO DROP EACH ELSE END ESCAPE EXCEPT EXCLUDE EXCLUSIVE EXISTS
EXPLAIN FAIL FILTER FIRST FOLLOWING FOR FOREIGN FROM FULL GENERATED GLOB
GROUP GROUPS HAVING IF IGNORE IMMEDIATE IN INDEX INDEXED INITIALLY INNER
INSERT INSTEAD INTERSECT INTO IS ISNULL JOIN KEY LAST LEFT LIKE LIMIT MATCH
MATERIALIZED NATURAL NO NOT NOTHING NOTNULL NULL NULLS OF OFFSET ON OR ORDER
OTHERS OUTER OVER PARTITION PLAN PRAGMA PRECEDING PRIMARY QUERY RAISE RANGE
RECURSIVE REFERENCES REGEXP REINDEX RELEASE RENAME REPLACE RESTRICT
RETURNING RIGHT ROLLBACK ROW ROWS SAVEPOINT SELECT SET TABLE TEMP TEMPORARY
THEN TIES TO TRANSACTION TRIGGER UNBOUNDED UNION UNIQUE UPDATE USING VACUUM
VALUES VIEW VIRTUAL WHEN WHERE WINDOW WITH WITHOUT
# Miscellaneous Parameters Section
# Rows of DATAFILE commands as CSV with a header line. SQLite's .import
# reads an empty field as an empty string, so NULL is written as the byte
# FF, which no UTF-8 text holds, and set to NULL after the import.
ROWFORMAT CSV
ROWHEADER
ROWNULL \xFF
# .import ends a value at a NUL character and loads the rest of it as
# nothing: a field that holds one is a field error, never cut short.
REFUSENUL
# Data Load Section
.import --csv --skip ?HEADERLINES ?ROWSFILE ?TABLE
?EACHNULLABLE UPDATE ?TABLE SET ?COLUMN = NULL WHERE ?COLUMN = CAST(X'FF' AS TEXT);
