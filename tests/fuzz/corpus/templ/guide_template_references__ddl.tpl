# Table Creation Section
-- names:      ?TABLE %table ?define ?TABLE_X ?TABLE-X
-- numbers:    ?MAXMEGS ?MAXMEGS*2 ?MAXMEGS / 2 ?MAXMEGS/1000 ?MAXMEGS*x ?MAXMEGS/0
-- pages:      ?MAXPAGES ?CURPAGES/4 ?CURMEGS
-- catalog:    ?CATALOG %CATALOG
-- escapes:    ?? %% 50%% ?NOSUCH %NOSUCH
?COLUMNS / 2

# Column Type Mapping Section
CHAR CHAR Y N N N
# Miscellaneous Parameters Section
OMITCOMMENTS
