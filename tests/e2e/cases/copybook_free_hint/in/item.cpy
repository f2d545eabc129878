000100*  Sequence numbers and comments in column 7: fixed format.
000200 01  ITEM.                                                        ITEM0001
000300     05  ITEM-NO             PIC 9(4).                            ITEM0002
000400     05  ITEM-TEXT           PIC X(12).                           ITEM0003
