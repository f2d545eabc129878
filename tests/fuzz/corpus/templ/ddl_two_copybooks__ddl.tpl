# One table per definition.
# Table Creation Section
CREATE TABLE ?TABLE
(
?COLUMNS
, PRIMARY KEY
(
?KEYCOLUMNS
)
);
# this comment is not written
-- %DEFINE: ?MAXPAGES pages, ?MAXMEGS*2 MB, ?CURMEGS / 2 used, 50%% full

# Column Type Mapping Section
CHAR      CHAR              Y N N  N
VARCHAR   VARCHAR           Y N N  N
SMALLINT  SMALLINT          N N N  N
INTEGER   INTEGER           N N N  N
LARGEINT  BIGINT            N N N  N
NUMERIC   NUMERIC           Y Y N  N
REAL      REAL              N N N  N
DOUBLE    DOUBLE_PRECISION  N N N  N
DECIMAL   DECIMAL           Y Y 18 N
DECIMAL   NUMERIC           Y Y N  N
# Miscellaneous Parameters Section
INCLUDECOMMENTS
