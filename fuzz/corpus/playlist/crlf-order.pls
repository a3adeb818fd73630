[playlist]
Length1=245
Title1=A=B
File1=sub/b.flac
File2=c.mod
Title2=C
Length2=0
Length2=-1