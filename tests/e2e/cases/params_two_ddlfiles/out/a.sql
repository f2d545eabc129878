--
-- Definitions created {{*}}-{{*}}-{{*}} {{*}}:{{*}}:{{*}}
--

