-- comment
A 1; B 2 -- tail
FILE X
  DEF Y;
C 'it''s -- not' &
  continued
COMMENT dropped
SEMICOLONTERMINATE
D "a
  " ?FZ_A ?FZ_NONE ?PASSWORD;
NOLIST
E;
LIST
