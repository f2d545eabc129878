# Column Name Mapping Section
ship-date SHIPPED_ON
# Table Creation Section
-- catalog ?CATALOG, %CATALOG
CREATE TABLE ?TABLE (
?COLUMNS
);
# Column Type Mapping Section
CHAR    CHAR    Y N N N
DECIMAL DECIMAL Y Y N N
# Miscellaneous Parameters Section
USESAMENULLS
