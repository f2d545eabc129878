--
-- Definitions created {{*}}
--

