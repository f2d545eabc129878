--
-- Definitions created {{*}}
--

CREATE TABLE T
{{...}}
