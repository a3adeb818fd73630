#ifndef TESSELLUNE_IMAGE_DEFLATE_H
#define TESSELLUNE_IMAGE_DEFLATE_H

// The zlib stream of a PNG's filtered rows, made for speed over size: the
// capture writes a file a frame while the next frame is drawn.

#include <cstddef>

// The most bytes imageDeflateRows can write for `size` bytes of rows.
size_t imageDeflateBound(size_t size);

// Compresses `size` bytes of filtered rows, `stride` bytes each with a pixel
// of `pixelBytes` (1 to 4), into `out`, which holds imageDeflateBound(size)
// bytes. The rows must be followed by 8 readable bytes: the search reads a
// word at a time. Gives the length of the zlib stream.
size_t imageDeflateRows(const unsigned char* rows, size_t size, size_t stride, unsigned pixelBytes,
                        unsigned char* out);

#endif
