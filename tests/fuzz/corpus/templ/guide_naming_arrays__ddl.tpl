# Table Creation Section
-- table ?TABLE
?COLUMNS

# Column Type Mapping Section
CHAR     CHAR     Y N N N
UDECIMAL NUMERIC  Y Y N N
# Miscellaneous Parameters Section
OMITNULL
