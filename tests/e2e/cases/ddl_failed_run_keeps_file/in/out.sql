-- The DDL of an earlier run, which a failed run must not touch.
CREATE TABLE KEPT (K CHAR(1));
