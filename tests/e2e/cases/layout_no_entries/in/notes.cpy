      * Only comments here.
      * Nothing else.
