# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS
);
# Column Type Mapping Section
CHAR       CHAR       Y N N N
VARCHAR    VARCHAR    Y N N N
SMALLINT   SMALLINT   N N N N
DECIMAL    DECIMAL    Y Y N N
UDECIMAL   NUMERIC    Y Y N N
# Miscellaneous Parameters Section
OMITCOMMENTS
