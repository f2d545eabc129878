# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS
);
# Column Type Mapping Section
UDECIMAL NUMERIC Y Y N N
# Miscellaneous Parameters Section
# PostgreSQL cuts longer names to 63 bytes.
MAXNAMELENGTH 63
