# Table Creation Section
CREATE TABLE ?TABLE (
?COLUMNS,
  PRIMARY KEY (
?KEYCOLUMNS
  )
);
# Column Type Mapping Section
# key      SQL type  size scale precision-limit scale-limit
CHAR       CHAR      Y    N     N   N
DECIMAL    SMALLDEC  Y    Y     4   N
DECIMAL    DEC       Y    Y     15  2
DECIMAL    WIDEDEC   Y    Y     N   N
UDECIMAL   UNUM      Y    N     9   N
INTEGER    INT       N    N     N   N
NUMERIC    NUM       Y    Y     N   N
DOUBLE     FLOAT8    N    N     N   N
# Miscellaneous Parameters Section
OMITREDEFS
omitnull
OMITCOMMENTS
