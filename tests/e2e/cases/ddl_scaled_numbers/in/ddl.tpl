# Table Creation Section
CREATE TABLE ?TABLE
(
?COLUMNS
);

# Column Type Mapping Section
# type     SQL type   size  scale  precision-limit  scale-limit
SMALLINT   SMALLINT   N     N      N                N
NUMERIC    NUMERIC    Y     Y      N                N
DECIMAL    DECIMAL    Y     Y      N                N
UDECIMAL   NUMERIC    Y     Y      N                N
