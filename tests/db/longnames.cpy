* Names of 63 characters, the longest PostgreSQL keeps whole (it cuts
* longer ones), for a column and, in the FILE command, for the table.
01 LONG-NAMES-REC.
   05 LONG-NAME-XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX-1 PIC X(4).
   05 LONG-NAME-XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX-2 PIC 9(4).
