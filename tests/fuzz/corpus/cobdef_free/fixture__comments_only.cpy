* only comments

   
*another
