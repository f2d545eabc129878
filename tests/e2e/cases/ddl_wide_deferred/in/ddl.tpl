# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS
?{KEYCOLUMNS
, PRIMARY KEY (
?KEYCOLUMNS
)
?}
);
# Column Type Mapping Section
CHAR CHAR Y N N N
# Miscellaneous Parameters Section
OMITCOMMENTS
