old content
--
-- Definitions created {{*}}-{{*}}-{{*}} {{*}}:{{*}}:{{*}}
--

CREATE TABLE T
{{...}}