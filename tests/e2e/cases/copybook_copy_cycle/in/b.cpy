   05 X PIC X.
   COPY A.
