#ifndef TESSELLUNE_AUDIOFILE_H
#define TESSELLUNE_AUDIOFILE_H

// Inside the audio layer: a music file's bytes, whole, in memory: large files are mapped, small ones
// read into a buffer that the next small file reuses.

#include <cstddef>

struct audioBytes_t {
    unsigned char* data;
    size_t size;
    size_t capacity; // of a read buffer; 0 when mapped
    int mapped;
};

// 1 on success; 0 with a one-line reason (and `bytes` empty) otherwise.
int audioFileLoad(const char* path, audioBytes_t* bytes, char* reason, size_t reasonSize);
// The same, always mapped: only the pages a reader touches are read, so a
// look at a file's header costs a few pages whatever the file's size.
int audioFileMap(const char* path, audioBytes_t* bytes, char* reason, size_t reasonSize);
// Copies bytes that are already in memory (a read buffer, never mapped).
int audioFileCopy(const void* data, size_t size, audioBytes_t* bytes);
void audioFileRelease(audioBytes_t* bytes); // unmaps, or keeps the buffer for reuse
void audioFileFreeSpare(void); // frees the kept buffer (end of the run, tests)

#endif
