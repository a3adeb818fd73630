[playlist]
File1=file:///home/me/M%C3%BCsik/a%20b.ogg
Title1=FÃ¼r Elise
Length1=3
File2=C:\Music\x.mp3
Title2=Café
Length2=9
file3=lower.ogg
File4=http://example.com:8000/live
Title4=Radio
Length4=-1
