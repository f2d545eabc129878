# Table Creation Section
CREATE TABLE ?TABLE
(
?COLUMNS
);

# Column Type Mapping Section
CHAR       CHAR       Y     N      N                N
UDECIMAL   NUMERIC    Y     Y      N                N
