# Template for tabcopy's example: one CREATE TABLE per definition.
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
# type      SQL type          size  scale  precision-limit  scale-limit
CHAR        CHAR              Y     N      N                N
VARCHAR     VARCHAR           Y     N      N                N
SMALLINT    SMALLINT          N     N      N                N
INTEGER     INTEGER           N     N      N                N
LARGEINT    BIGINT            N     N      N                N
NUMERIC     NUMERIC           Y     Y      N                N
REAL        REAL              N     N      N                N
DOUBLE      DOUBLE_PRECISION  N     N      N                N
UDECIMAL    DECIMAL           Y     Y      18               N
DECIMAL     DECIMAL           Y     Y      18               N
DECIMAL     NUMERIC           Y     Y      N                N
# Miscellaneous Parameters Section
OMITREDEFS
INCLUDECOMMENTS
