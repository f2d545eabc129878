# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS
);
# Column Type Mapping Section
CHAR CHAR Y N N N
# Miscellaneous Parameters Section
OMITCOMMENTS
QUOTENAME "
