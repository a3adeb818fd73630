#ifndef TESSELLUNE_IO_H
#define TESSELLUNE_IO_H

// Whole-file reading: the one path by which the engine reads a file into memory.

#include <cstddef>

// The file's bytes exactly as stored, followed by one zero byte; null for a
// null name, a file that cannot be opened or read, or an empty file. The
// caller frees the buffer.
char* ioReadFileToBuffer(const char* file);
// The same, also telling how many bytes were read (binary data, such as a
// drawing file, may hold zero bytes of its own).
char* ioReadFileWithSize(const char* file, size_t* size);

#endif
