#ifndef TESSELLUNE_IO_H
#define TESSELLUNE_IO_H

// Whole-file reading: the one path by which the engine reads a file into memory.

// The file's bytes exactly as stored, followed by one zero byte; null for a
// null name, a file that cannot be opened or read, or an empty file. The
// caller frees the buffer.
char* ioReadFileToBuffer(const char* file);

#endif
