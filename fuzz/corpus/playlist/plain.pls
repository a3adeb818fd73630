[playlist]
File1=a.ogg
Title1=A
Length1=100
NumberOfEntries=1
Version=2
