# tabcopy DDL template for MySQL (8.0 and later), run with
# mysql <database> < <ddl file>.
#
# One CREATE TABLE per FILE command. The key columns form the primary
# key, in record order: those of the FILE command's KEYCOLS list and, since
# the FILE commands of one record share its key columns, those of the
# others made from the same record. A table gets no primary key only when
# none of them has KEYCOLS.
#
# Limits: CHAR 255 characters and VARCHAR kept to the same, beyond that
# TEXT (16383 characters of utf8mb4) and LONGTEXT; DECIMAL 65 digits with
# at most 30 decimal places. A decimal beyond those has no exact MySQL
# type: tabcopy stops with a message naming the type rather than write a
# lossy one.
#
# Row size: InnoDB keeps a row in half a 16 KB page, 8126 bytes, of which
# the row's header and null flags take up to 153 (1017 columns); a TEXT
# column keeps a 20-byte pointer there. MAXROWSIZE below gives the rest,
# and the seventh word of a type-map row the bytes a column of that row
# takes in the row (without one, as many as its field takes in the
# record): tabcopy moves the longest character columns to the TEXT rows
# until the row fits, or stops with a message when it cannot. The sizes
# count a byte a character, as a single-byte character set stores them
# (latin1, MariaDB's default); under utf8mb4, MySQL's default, a CHAR
# position of a short column counts 4 bytes: give wide tables a
# single-byte character set (add CHARACTER SET latin1 after the closing
# parenthesis below).

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
CHAR       CHAR              Y     N      255              N
CHAR       TEXT              N     N      16383            N            20
CHAR       LONGTEXT          N     N      N                N            20
VARCHAR    VARCHAR           Y     N      255              N
VARCHAR    TEXT              N     N      16383            N            20
VARCHAR    LONGTEXT          N     N      N                N            20
# National and DBCS text (PIC N, PIC G), sized in characters: NCHAR is
# utf8mb3, three bytes a character, and kept to 255 bytes; longer text is
# TEXT in utf8mb4.
NCHAR      NCHAR             Y     N      85               N            Y*3
NCHAR      TEXT_CHARSET_utf8mb4     N  N  16383            N            20
NCHAR      LONGTEXT_CHARSET_utf8mb4 N  N  N                N            20
# Character columns moved off the row to make it fit (MAXROWSIZE).
TEXT       TEXT              N     N      16383            N            20
TEXT       LONGTEXT          N     N      N                N            20
NTEXT      TEXT_CHARSET_utf8mb4     N  N  16383            N            20
NTEXT      LONGTEXT_CHARSET_utf8mb4 N  N  N                N            20
SMALLINT   SMALLINT          N     N      N                N
INTEGER    INT               N     N      N                N
LARGEINT   BIGINT            N     N      N                N
# NUMERIC is a binary field with decimal places; its precision is 4, 9 or
# 18 whatever its picture says, so its scale may exceed it (PIC V9(6)
# COMP-4). The rows keep the scale within the declared precision. DECIMAL
# stores 4 bytes for each 9 digits on either side of the point, and up to
# 4 for the digits left: 5 bytes for 9 digits, 9 for 18, 30 for 65.
NUMERIC    DECIMAL           Y     Y      N                4            9
NUMERIC    DECIMAL           9     Y      4                9            5
NUMERIC    DECIMAL           Y     Y      N                9            9
NUMERIC    DECIMAL           18    Y      9                18           9
NUMERIC    DECIMAL           Y     Y      N                18           9
NUMERIC    DECIMAL           65    Y      N                30           30
REAL       FLOAT             N     N      N                N
DOUBLE     DOUBLE            N     N      N                N
UDECIMAL   DECIMAL           Y     Y      9                30           5
UDECIMAL   DECIMAL           Y     Y      18               30           9
UDECIMAL   DECIMAL           Y     Y      65               30           30
DECIMAL    DECIMAL           Y     Y      9                30           5
DECIMAL    DECIMAL           Y     Y      18               30           9
DECIMAL    DECIMAL           Y     Y      65               30           30

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
# written in backquotes. Every other name is written as it is.
QUOTENAMES `
# MySQL 8.0 Reference Manual and MariaDB documentation, InnoDB limits: 1017
# columns per table.
MAXCOLUMNS 1017
# Names of at most 64 characters (MySQL and MariaDB, "Identifier Length
# Limits"); COBOL names are single-byte, a byte a character.
MAXNAMELENGTH 64
# 8126 bytes less a row's header and null flags; see the comment at the top.
MAXROWSIZE 7973

# Reserved Words Section
# A column or table name that is one of these words is written quoted.
# Source: MySQL 8.0 Reference Manual, "Keywords and Reserved Words" (the
# words marked R), and MariaDB "Reserved Words" (MariaDB 10.11): both lists.
ACCESSIBLE ADD ALL ALTER ANALYZE AND AS ASC ASENSITIVE BEFORE BETWEEN BIGINT
BINARY BLOB BOTH BY CALL CASCADE CASE CHANGE CHAR CHARACTER CHECK COLLATE
COLUMN CONDITION CONSTRAINT CONTINUE CONVERT CREATE CROSS CUBE CUME_DIST
CURRENT_DATE CURRENT_ROLE CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER CURSOR
DATABASE DATABASES DAY_HOUR DAY_MICROSECOND DAY_MINUTE DAY_SECOND DEC
DECIMAL DECLARE DEFAULT DELAYED DELETE DELETE_DOMAIN_ID DENSE_RANK DESC
DESCRIBE DETERMINISTIC DISTINCT DISTINCTROW DIV DOUBLE DO_DOMAIN_IDS DROP
DUAL EACH ELSE ELSEIF EMPTY ENCLOSED ESCAPED EXCEPT EXISTS EXIT EXPLAIN
FALSE FETCH FIRST_VALUE FLOAT FLOAT4 FLOAT8 FOR FORCE FOREIGN FROM FULLTEXT
FUNCTION GENERAL GENERATED GET GRANT GROUP GROUPING GROUPS HAVING
HIGH_PRIORITY HOUR_MICROSECOND HOUR_MINUTE HOUR_SECOND IF IGNORE
IGNORE_DOMAIN_IDS IGNORE_SERVER_IDS IN INDEX INFILE INNER INOUT INSENSITIVE
INSERT INT INT1 INT2 INT3 INT4 INT8 INTEGER INTERSECT INTERVAL INTO
IO_AFTER_GTIDS IO_BEFORE_GTIDS IS ITERATE JOIN JSON_TABLE KEY KEYS KILL LAG
LAST_VALUE LATERAL LEAD LEADING LEAVE LEFT LIKE LIMIT LINEAR LINES LOAD
LOCALTIME LOCALTIMESTAMP LOCK LONG LONGBLOB LONGTEXT LOOP LOW_PRIORITY
MASTER_BIND MASTER_HEARTBEAT_PERIOD MASTER_SSL_VERIFY_SERVER_CERT MATCH
MAXVALUE MEDIUMBLOB MEDIUMINT MEDIUMTEXT MIDDLEINT MINUTE_MICROSECOND
MINUTE_SECOND MOD MODIFIES NATURAL NOT NO_WRITE_TO_BINLOG NTH_VALUE NTILE
NULL NUMERIC OF OFFSET ON OPTIMIZE OPTIMIZER_COSTS OPTION OPTIONALLY OR
ORDER OUT OUTER OUTFILE OVER PAGE_CHECKSUM PARSE_VCOL_EXPR PARTITION
PERCENT_RANK PRECISION PRIMARY PROCEDURE PURGE RANGE RANK READ READS
READ_WRITE REAL RECURSIVE REFERENCES REF_SYSTEM_ID REGEXP RELEASE RENAME
REPEAT REPLACE REQUIRE RESIGNAL RESTRICT RETURN RETURNING REVOKE RIGHT RLIKE
ROW ROWS ROW_NUMBER SCHEMA SCHEMAS SECOND_MICROSECOND SELECT SENSITIVE
SEPARATOR SET SHOW SIGNAL SLOW SMALLINT SPATIAL SPECIFIC SQL SQLEXCEPTION
SQLSTATE SQLWARNING SQL_BIG_RESULT SQL_CALC_FOUND_ROWS SQL_SMALL_RESULT SSL
STARTING STATS_AUTO_RECALC STATS_PERSISTENT STATS_SAMPLE_PAGES STORED
STRAIGHT_JOIN SYSTEM TABLE TERMINATED THEN TINYBLOB TINYINT TINYTEXT TO
TRAILING TRIGGER TRUE UNDO UNION UNIQUE UNLOCK UNSIGNED UPDATE USAGE USE
USING UTC_DATE UTC_TIME UTC_TIMESTAMP VALUES VARBINARY VARCHAR VARCHARACTER
VARYING VIRTUAL WHEN WHERE WHILE WINDOW WITH WRITE XOR YEAR_MONTH ZEROFILL
_FILENAME
# Miscellaneous Parameters Section
# Rows of DATAFILE commands in the format LOAD DATA reads by default:
# tab-separated, \N for NULL, backslash escapes (\0 for NUL).
ROWFORMAT MYSQL
# Data Load Section
# The client must allow local files: mariadb --local-infile=1 (mysql
# --local-infile=1), run from the folder tabcopy ran in. MariaDB servers
# allow them by default; a MySQL 8 server only after
# SET GLOBAL local_infile = ON. A local LOAD DATA turns a row the server
# refuses (a foreign key that fails, a value cut) into a warning and goes
# on, so each load shows its warnings: a load that kept every row prints
# nothing.
LOAD DATA LOCAL INFILE '?ROWSFILE' INTO TABLE ?TABLE CHARACTER SET utf8mb4 FIELDS TERMINATED BY '\t' ESCAPED BY '\\' LINES TERMINATED BY '\n' (?COLUMNLIST);
SHOW WARNINGS;
