      * members beside the input
       01 R.
           05 A PIC X. COPY SELF.
