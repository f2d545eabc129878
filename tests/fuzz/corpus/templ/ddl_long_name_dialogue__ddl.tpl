# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS
);
# Column Type Mapping Section
DECIMAL DECIMAL Y Y N N
