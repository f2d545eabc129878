CMDTRACE DETAIL
INCLUDE nest.cmd
#M(a, b)
#S(z)
INCLUDE self.cmd
INCLUDE loop1.cmd
INCLUDE input.cmd
OBEY a b
OBEY
