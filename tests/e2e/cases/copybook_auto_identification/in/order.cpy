       01  ORDER-LINE.                                                  ORDL0010
           05  LINE-NO             PIC 9(4).                            ORDL0020
           05  LINE-TEXT           PIC X(20).                           ORDL0030
