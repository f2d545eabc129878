# Table Creation Section
-- table ?TABLE
?COLUMNS

# Column Type Mapping Section
DECIMAL  DECIMAL  Y Y N N
UDECIMAL NUMERIC  Y Y N N
# Miscellaneous Parameters Section
OMITREDEFS
OMITNULL
