--
-- Definitions created {{*}}
--

CREATE TABLE NOTES (
   NOTE_ID                        SMALLINT                NULL      
,  NOTE_LINE_1                    TEXT                    NULL      
,  NOTE_LINE_2                    TEXT                    NULL      
,  NOTE_LINE_3                    CHAR         (30)       NULL      
,  NOTE_LINE_4                    CHAR         (30)       NULL      
,  NOTE_TAG                       CHAR         (30)       NULL      
,  NOTE_CODE                      CHAR         (6)        NULL      
);
