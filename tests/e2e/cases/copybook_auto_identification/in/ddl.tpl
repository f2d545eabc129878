# Table Creation Section
CREATE TABLE ?TABLE
(
?COLUMNS
);

# Column Type Mapping Section
# type     SQL type   size  scale  precision-limit  scale-limit
CHAR       CHAR       Y     N      N                N
SMALLINT   SMALLINT   N     N      N                N
INTEGER    INTEGER    N     N      N                N
DECIMAL    DECIMAL    Y     Y      N                N
UDECIMAL   NUMERIC    Y     Y      N                N
