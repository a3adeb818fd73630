#ifndef TESSELLUNE_IMAGE_H
#define TESSELLUNE_IMAGE_H

// PNG files and blank squares turned into OpenGL textures with a placement.

#include <cstdint>

// Decoded pixels: always four bytes per pixel, R, G, B, A, rows of w pixels
// without gaps, bottom row first. The record and its buffer belong to whoever
// asked for them (free both); the two names are borrowed from that caller.
struct imageData_t {
    const char* name;
    const char* filename;
    uint32_t w;
    uint32_t h;
    uint32_t channels; // of the source after expansion: 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    uintptr_t pixels;  // address of the pixel buffer
};

// An OpenGL texture plus where and how large showImage draws it.
struct texture_t {
    const char* name;
    uint32_t w; // image size in pixels
    uint32_t h;
    uint32_t x; // last pixel position set, informational
    uint32_t y;
    uint32_t center; // alignment mode 0-3
    uint32_t id;     // OpenGL texture name, 0 when there is none
    uint32_t hasAlpha;
    uint32_t hasCustomDimensions;
    uint32_t customWidth; // display size in virtual screen pixels before scaling
    uint32_t customHeight;
    float percentX; // position as a fraction of the virtual screen
    float percentY;
    float scaleW;
    float scaleH;
    float angle; // degrees, counter-clockwise
};

// Largest side, in pixels, the PNG loader accepts: nothing larger can become
// a texture, and a tiny file must not make the loader ask for gigabytes.
#define IMAGE_MAX_SIDE 16384
// Largest block libpng may allocate during a load (a text chunk or colour
// profile, a row buffer), in bytes.
#define IMAGE_MAX_CHUNK (8 * 1024 * 1024)

// Any valid PNG, interlaced or not. 8-bit grey, grey+alpha, RGB and RGBA
// keep the file's channel count (a transparency chunk is not applied); palette,
// 16-bit and sub-8-bit images are expanded to 8-bit grey, grey+alpha, RGB or
// RGBA, their transparency chunk to alpha. Null, printing nothing, when the
// file cannot be opened, is corrupt or truncated, or memory runs out.
imageData_t* imageLoadPNG(const char* filename);
// Writes the record as an 8-bit PNG, the buffer's last row at the top of the
// file: channels 1 grey (the R bytes), 2 grey and alpha (R and A), 3 RGB,
// 4 RGBA. Compressed for speed, since the frame capture writes one file a
// frame; the same record gives the same bytes. Keeps no state, so a worker
// thread may save while the main thread loads. 0 when the file cannot be
// created or written.
int imageSavePNG(const char* filename, const imageData_t* image);
// For every caller of imageLoadPNG (tests, benchmarks, the fuzz target):
// releases the record and its pixel buffer; null is allowed.
void imageDataFree(imageData_t* imageData);
// Linear filtering, repeat wrapping, a mipmap chain; channels 1 and 3 upload
// without alpha. The record stays with the caller.
texture_t imageCreateTextureByImageData(imageData_t* _imageData);
// PNG file to texture in one step; a record with id 0 when the file does not load.
texture_t imageLoadImage(const char* filename);
// A black RGB size x size texture without mipmaps. filter 0 linear, 1 nearest,
// anything else leaves the OpenGL defaults. filename is not read.
texture_t imageCreateTexture(int filter, int size, const char* filename);
// As imageCreateTexture, but transparent black RGBA with a mipmap chain.
texture_t imageCreateTextureWithAlpha(int filter, int size, const char* filename);

#endif
