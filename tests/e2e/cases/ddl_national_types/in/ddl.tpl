# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS
);
# Column Type Mapping Section
# National and DBCS text is sized in characters.
NCHAR      NCHAR      Y     N      10               N
NCHAR      NVARCHAR   Y     N      N                N
CHAR       CHAR       Y     N      N                N
UDECIMAL   NUMERIC    Y     Y      N                N
# Miscellaneous Parameters Section
OMITCOMMENTS
