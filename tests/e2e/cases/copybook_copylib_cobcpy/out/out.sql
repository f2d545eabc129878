--
-- Definitions created {{*}}
--

CREATE TABLE CONTACTS
(
-- 01 CONTACT
   CONTACT_PHONE                  CHAR         (15)       NULL      
,  CONTACT_MAIL                   CHAR         (40)       NULL      
,  CONTACT_WEB                    CHAR         (60)       NULL      
,  CONTACT_NOTE                   CHAR         (4)        NULL      
);

