--
-- Definitions created {{*}}
--

-- names:      CODES CODES CODES CODES_X ?TABLE-X
-- numbers:    101 202 50 1 101*x 101
-- pages:      48829 12207 101
-- catalog:    ******** ********
-- escapes:    ? % 50% ?NOSUCH %NOSUCH
   CODE                           CHAR         (4)        NULL       / 2

