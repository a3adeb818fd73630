#ifndef TESSELLUNE_IO_H
#define TESSELLUNE_IO_H

// Whole-file reading: the one path by which the engine reads a file into memory.

#include <cstddef>
#include <cstdio>

// The file's bytes exactly as stored, followed by one zero byte; null for a
// null name, a file that cannot be opened or read, or an empty file. The
// caller frees the buffer.
char* ioReadFileToBuffer(const char* file);
// The same, also telling how many bytes were read (binary data, such as a
// drawing file, may hold zero bytes of its own).
char* ioReadFileWithSize(const char* file, size_t* size);

// Opens a regular file without ever waiting: a FIFO or a device named where
// a file was expected would hold open() until a writer appears, so the
// open does not wait and anything but a regular file is refused. `mode` is
// "rb" or "wb" (created or truncated). -1 (an fd) or null (a FILE*) on
// failure, with `why` (when not null) set to a short reason such as
// "not a regular file" or the system's text.
int ioOpenRegular(const char* file, const char* mode, const char** why);
FILE* ioOpenRegularFile(const char* file, const char* mode, const char** why);

#endif
