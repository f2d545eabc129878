MACRO #M
PARAMS (#A,
 #B)
BEGIN
K #B #A;
END
#M(1,2)
#M('x, y', "q;")
