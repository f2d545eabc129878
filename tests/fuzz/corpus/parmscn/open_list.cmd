MACRO #M
PARAMS (#A)
BEGIN
K #A
END
#M(1,
 2
)
#M
(x)
#M("(")
