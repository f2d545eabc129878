      ******************************************************************
      * DCLGEN TABLE(DSN8C10.EMP)                                      *
      *        LIBRARY(TABCOPY.DCLGEN(DCLEMP))                         *
      *        LANGUAGE(COBOL)                                         *
      ******************************************************************
       01  DCLEMP.
           10 EMPNO                PIC X(6).
           10 LASTNAME.
              49 LASTNAME-LEN      PIC S9(4) USAGE COMP.
              49 LASTNAME-TEXT     PIC X(15).
           10 WORKDEPT             PIC X(3).
           10 RESUME.
              49 RESUME-LEN        PIC S9(4) USAGE COMP-5.
              49 RESUME-TEXT       PIC X(40).
           10 SALARY               PIC S9(7)V9(2) USAGE COMP-3.
      * Added by hand: a pair in each occurrence of a table, a pair
      * group that repeats, and 49-level items that are no pair.
           10 SKILLS OCCURS 2.
              15 SKILL-CODE        PIC X(2).
              15 SKILL-NAME.
                 49 SKILL-NAME-LEN    PIC S9(4) COMP.
                 49 SKILL-NAME-TEXT   PIC X(10).
           10 NICKNAME OCCURS 2.
              49 NICKNAME-LEN      PIC S9(4) COMP.
              49 NICKNAME-TEXT     PIC X(8).
           10 BADGE.
              49 BADGE-LEN         PIC S9(4) COMP.
              49 BADGE-NUM         PIC 9(6).
