#ifndef TESSELLUNE_CAPTUREWRITER_H
#define TESSELLUNE_CAPTUREWRITER_H

// Inside the capture module: the ring of frame buffers between the read-back
// (main thread) and the worker that writes them (captureWriter.cpp).

#include <cstdint>

// A buffer of w x h RGBA pixels, bottom row first, to fill for `path`; waits
// while the ring is full. Null when the worker is not running, a slot is
// already being filled, or memory runs out. captureWriterQueue hands the
// filled buffer to the worker.
unsigned char* captureWriterSlot(uint32_t w, uint32_t h, const char* path);
void captureWriterQueue(void);

#endif
