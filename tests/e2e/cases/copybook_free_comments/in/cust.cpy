*> Free format: comments, directives and separators.
>>SOURCE FORMAT IS FREE
$SET NOTRUNC
01 CUSTOMER. *> the customer's record
   05 CUST-ID PIC 9(5).	05 CUST-NAME PIC X(20).
      * an indented comment line
   05 CUST-NOTE PIC X(8) VALUE '*> kept'. *> 'a quote in a comment
   .
>>SOURCE FORMAT IS FIXED
000900     05  CUST-CODE           PIC X(3).                            IDENT. X
