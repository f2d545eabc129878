# Table Creation Section
CREATE TABLE ?TABLE (?COLUMNS);
# Column Type Mapping Section
CHAR CHAR Y N N N
UDECIMAL NUMERIC Y Y 3 N
