# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS
);

# Column Type Mapping Section
# type     SQL type          size  scale  precision-limit  scale-limit
CHAR       CHAR              Y     N      N                N
VARCHAR    VARCHAR           Y     N      N                N
SMALLINT   SMALLINT          N     N      N                N
INTEGER    INTEGER           N     N      N                N
LARGEINT   BIGINT            N     N      N                N
NUMERIC    NUMERIC           Y     Y      N                N
REAL       REAL              N     N      N                N
DOUBLE     DOUBLE_PRECISION  N     N      N                N
UDECIMAL   NUMERIC           Y     Y      N                N
DECIMAL    DECIMAL           Y     Y      9                N
DECIMAL    NUMERIC           Y     Y      N                N
# Miscellaneous Parameters Section
OMITCOMMENTS
