INCLUDE fifo
OBEY dir
K
