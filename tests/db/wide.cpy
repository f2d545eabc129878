* A record wider than MariaDB keeps in a row: 34 fields of 250 characters
* (8500 bytes), of which the MySQL template moves the longest to TEXT.
01 WIDE-REC.
   05 W-01 PIC X(250).
   05 W-02 PIC X(250).
   05 W-03 PIC X(250).
   05 W-04 PIC X(250).
   05 W-05 PIC X(250).
   05 W-06 PIC X(250).
   05 W-07 PIC X(250).
   05 W-08 PIC X(250).
   05 W-09 PIC X(250).
   05 W-10 PIC X(250).
   05 W-11 PIC X(250).
   05 W-12 PIC X(250).
   05 W-13 PIC X(250).
   05 W-14 PIC X(250).
   05 W-15 PIC X(250).
   05 W-16 PIC X(250).
   05 W-17 PIC X(250).
   05 W-18 PIC X(250).
   05 W-19 PIC X(250).
   05 W-20 PIC X(250).
   05 W-21 PIC X(250).
   05 W-22 PIC X(250).
   05 W-23 PIC X(250).
   05 W-24 PIC X(250).
   05 W-25 PIC X(250).
   05 W-26 PIC X(250).
   05 W-27 PIC X(250).
   05 W-28 PIC X(250).
   05 W-29 PIC X(250).
   05 W-30 PIC X(250).
   05 W-31 PIC X(250).
   05 W-32 PIC X(250).
   05 W-33 PIC X(250).
   05 W-34 PIC X(250).
