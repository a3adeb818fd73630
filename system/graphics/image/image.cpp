#include "system/graphics/image/image.h"

#include "system/graphics/image/deflate.h"

#include "system/debug/debugMisuse.h"
#include "system/io/io.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <png.h>

namespace {
// The file of the load in progress; libpng's read function takes its bytes
// from here. Open only inside imageLoadPNG, so only one load runs at a time.
FILE* f = nullptr;
}

// A short read must stop the decoder: carrying on would hand libpng whatever
// the buffer held before.
static void loadPNG_read_data(png_structp png_ptr, png_bytep data, png_size_t length)
{
    if (length > 0 && fread(data, length, 1, f) != 1)
        png_error(png_ptr, "Read Error");
}

// A failed load is reported by its null result alone; libpng's own handlers
// would print a line for every corrupt file as well.
static void quietError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

static void quietWarning(png_structp, png_const_charp) {}

// Asks libpng for 8-bit samples, laid out directly as the record's R, G, B, A
// bytes; returns the channel count of the source (grey stays 1 or 2 even
// though the buffer gets it three times).
static uint32_t requestRgba(png_structp png, png_infop info)
{
    png_byte sourceType = png_get_color_type(png, info);
    // 8-bit grey and RGB are taken as stored, with the file's channel count:
    // a transparency chunk gives them no alpha. Only what has no 8-bit
    // samples of its own (palette, sub-8-bit, 16-bit) is expanded, and its
    // transparency chunk becomes alpha on the way.
    if (sourceType == PNG_COLOR_TYPE_PALETTE || png_get_bit_depth(png, info) != 8)
        png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    // Images without alpha get a zero fourth byte; they upload without alpha.
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    // The filler does not count as alpha, so the alpha bit says whether the
    // source, an expanded transparency chunk included, really had one.
    uint32_t alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) ? 1 : 0;
    uint32_t grey = !(sourceType & PNG_COLOR_MASK_COLOR) && sourceType != PNG_COLOR_TYPE_PALETTE;
    return (grey ? 1 : 3) + alpha;
}

// libpng only warns about an ancillary chunk longer than its limit and then
// allocates and clears whatever length the file claims (up to 2 GiB, seconds
// of work for a 57-byte file). Its own buffers stay far below this cap for
// any image within the side limit, so refusing more costs nothing real.
static png_voidp boundedMalloc(png_structp png, png_alloc_size_t size)
{
    (void)png;
    return size <= IMAGE_MAX_CHUNK ? malloc(size) : nullptr;
}

static void plainFree(png_structp png, png_voidp memory)
{
    (void)png;
    free(memory);
}

static void* allocateOrFail(png_structp png, size_t size)
{
    void* memory = malloc(size);
    if (!memory)
        png_error(png, "out of memory");
    return memory;
}

static imageData_t* decode(png_structp png, png_infop info, png_infop endInfo, const char* filename)
{
    // Everything assigned after setjmp and needed after a longjmp is volatile,
    // or the recovery path could see a stale register copy and leak it.
    imageData_t* volatile image = nullptr;
    unsigned char* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        free(rows);
        free(pixels);
        free(image);
        return nullptr;
    }
    png_set_read_fn(png, nullptr, loadPNG_read_data);
    png_set_mem_fn(png, nullptr, boundedMalloc, plainFree);
    png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
    png_read_info(png, info);
    uint32_t channels = requestRgba(png, info);
    uint32_t w = png_get_image_width(png, info);
    uint32_t h = png_get_image_height(png, info);
    size_t stride = size_t(w) * 4;
    if (png_get_rowbytes(png, info) != stride)
        png_error(png, "unexpected row layout");
    image = static_cast<imageData_t*>(allocateOrFail(png, sizeof(imageData_t)));
    pixels = static_cast<unsigned char*>(allocateOrFail(png, stride * h));
    rows = static_cast<png_bytep*>(allocateOrFail(png, sizeof(png_bytep) * h));
    // File row i (0 = top) lands in buffer row h - 1 - i: bottom row first.
    for (uint32_t i = 0; i < h; i++)
        rows[i] = pixels + stride * (h - 1 - i);
    png_read_image(png, rows);
    png_read_end(png, endInfo);
    free(rows);
    *image = imageData_t{filename, filename, w, h, channels, reinterpret_cast<uintptr_t>(pixels)};
    return image;
}

imageData_t* imageLoadPNG(const char* filename)
{
    if (debugMisuseIfNull(filename, __func__, "the file name"))
        return nullptr;
    f = ioOpenRegularFile(filename, "rb", nullptr); // never waits on a FIFO
    if (!f)
        return nullptr;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_infop endInfo = info ? png_create_info_struct(png) : nullptr;
    imageData_t* image = endInfo ? decode(png, info, endInfo, filename) : nullptr;
    png_destroy_read_struct(&png, &info, &endInfo);
    fclose(f);
    f = nullptr;
    return image;
}

// The record's four bytes a pixel packed into the file's samples, one row,
// behind its filter byte. The filter is Sub, each sample less the one a pixel
// to its left: on rendered frames (gradients, fog, magnified pictures) it
// leaves the compressor the smallest numbers of the cheap filters, and unlike
// the adaptive choice it costs one subtraction a byte. RGB, what the capture
// saves, has a loop of its own: the general one takes three times as long.
static void packRow(const unsigned char* in, unsigned char* out, uint32_t w, uint32_t channels)
{
    *out++ = 1; // Sub
    if (channels == 3) {
        unsigned char r = 0, g = 0, b = 0;
        for (uint32_t x = 0; x < w; x++, in += 4, out += 3) {
            out[0] = static_cast<unsigned char>(in[0] - r);
            out[1] = static_cast<unsigned char>(in[1] - g);
            out[2] = static_cast<unsigned char>(in[2] - b);
            r = in[0];
            g = in[1];
            b = in[2];
        }
        return;
    }
    unsigned char* samples = out;
    for (uint32_t x = 0; x < w; x++, in += 4) {
        switch (channels) {
        case 1: *out++ = in[0]; break;
        case 2: *out++ = in[0]; *out++ = in[3]; break;
        default: *out++ = in[0]; *out++ = in[1]; *out++ = in[2]; *out++ = in[3]; break;
        }
    }
    for (size_t i = size_t(w) * channels; i-- > channels;)
        samples[i] = static_cast<unsigned char>(samples[i] - samples[i - channels]);
}

static void putBig(unsigned char* at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        at[i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

// One chunk: length, type, data and the CRC over type and data.
static bool writeChunk(FILE* out, const char* type, const unsigned char* data, uint32_t length)
{
    unsigned char head[8], tail[4];
    putBig(head, length);
    memcpy(head + 4, type, 4);
    uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    if (length > 0) // a null buffer restarts the sum instead of adding nothing
        crc = libdeflate_crc32(crc, data, length);
    putBig(tail, crc);
    return fwrite(head, 1, 8, out) == 8 && (length == 0 || fwrite(data, 1, length, out) == length) &&
           fwrite(tail, 1, 4, out) == 4;
}

namespace {

// What a save needs besides the file, kept by each thread that saves (the
// capture's writer, which ends with the capture): frame after frame of one
// size, a fresh compressor and fresh buffers of megabytes each would be
// faulted in page by page every time, a quarter of the save.
struct pngBuffer_t {
    std::unique_ptr<unsigned char, void (*)(void*)> data{nullptr, free};
    size_t capacity = 0;
};

struct pngScratch_t {
    pngBuffer_t raw, packed;
};

thread_local pngScratch_t pngScratch;

// Room for `size` bytes; null when it cannot be had.
unsigned char* reserve(pngBuffer_t* buffer, size_t size)
{
    if (buffer->capacity < size) {
        buffer->data.reset(static_cast<unsigned char*>(malloc(size)));
        buffer->capacity = buffer->data ? size : 0;
    }
    return buffer->data.get();
}

} // namespace

// The whole image is filtered into one buffer and compressed in one call,
// by the image rows' own compressor: at a general compressor's fastest level
// the capture spent a third of its time there.
static int encode(FILE* out, const imageData_t* image)
{
    static const unsigned char colorTypes[] = {0, 4, 2, 6}; // grey, grey+alpha, RGB, RGBA
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const size_t PADDING = 8; // the compressor reads ahead by a word
    size_t stride = 1 + size_t(image->w) * image->channels;
    size_t rawSize = stride * image->h;
    pngScratch_t* scratch = &pngScratch;
    unsigned char* raw = reserve(&scratch->raw, rawSize + PADDING);
    unsigned char* packed = raw ? reserve(&scratch->packed, imageDeflateBound(rawSize)) : nullptr;
    // The side limit keeps the compressed size far below the chunk length's 2^31.
    if (!packed)
        return 0;
    const unsigned char* pixels = reinterpret_cast<const unsigned char*>(image->pixels);
    for (uint32_t y = 0; y < image->h; y++) // the buffer's last row is the file's first
        packRow(pixels + size_t(image->h - 1 - y) * image->w * 4, raw + stride * y, image->w, image->channels);
    memset(raw + rawSize, 0, PADDING);
    size_t size = imageDeflateRows(raw, rawSize, stride, image->channels, packed);
    unsigned char header[13];
    putBig(header, image->w);
    putBig(header + 4, image->h);
    header[8] = 8; // bits a sample
    header[9] = colorTypes[image->channels - 1];
    header[10] = header[11] = header[12] = 0; // deflate, a filter type a row, not interlaced
    return size > 0 && fwrite(signature, 1, 8, out) == 8 && writeChunk(out, "IHDR", header, 13) &&
           writeChunk(out, "IDAT", packed, uint32_t(size)) && writeChunk(out, "IEND", nullptr, 0);
}

// The record describes its own buffer, so every field that sizes a read of it
// is checked before the file is even created.
static bool isSavable(const char* filename, const imageData_t* image)
{
    if (debugMisuseIfNull(filename, "imageSavePNG", "the file name") ||
        debugMisuseIfNull(image, "imageSavePNG", "the image") ||
        debugMisuseIfNull(reinterpret_cast<const void*>(image->pixels), "imageSavePNG", "the pixel buffer"))
        return false;
    if (image->channels < 1 || image->channels > 4) {
        debugMisuse("imageSavePNG", "%u channels, not 1 to 4; nothing written", image->channels);
        return false;
    }
    if (image->w == 0 || image->h == 0 || image->w > IMAGE_MAX_SIDE || image->h > IMAGE_MAX_SIDE) {
        debugMisuse("imageSavePNG", "%u x %u pixels, not 1 to %d a side; nothing written", image->w, image->h,
                    IMAGE_MAX_SIDE);
        return false;
    }
    return true;
}

int imageSavePNG(const char* filename, const imageData_t* image)
{
    if (!isSavable(filename, image))
        return 0;
    FILE* out = fopen(filename, "wb");
    if (!out)
        return 0;
    int written = encode(out, image);
    // A full disk shows at the flush, not at the writes before it.
    if (fclose(out) != 0)
        written = 0;
    if (!written)
        remove(filename);
    return written;
}

void imageDataFree(imageData_t* imageData)
{
    if (!imageData)
        return;
    free(reinterpret_cast<void*>(imageData->pixels));
    free(imageData);
}

// The fields every creating operation sets; the placement starts neutral.
static texture_t newTextureRecord(GLuint id, uint32_t w, uint32_t h, uint32_t hasAlpha)
{
    texture_t texture = {};
    texture.w = texture.customWidth = w;
    texture.h = texture.customHeight = h;
    texture.id = id;
    texture.hasAlpha = hasAlpha;
    texture.scaleW = texture.scaleH = 1.0f;
    return texture;
}

texture_t imageCreateTextureByImageData(imageData_t* _imageData)
{
    if (debugMisuseIfNull(_imageData, __func__, "the image") ||
        debugMisuseIfNull(reinterpret_cast<const void*>(_imageData->pixels), __func__, "the pixel buffer"))
        return texture_t{};
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    uint32_t hasAlpha = 0;
    GLint internalFormat = 0;
    switch (_imageData->channels) {
    case 1:
    case 3: internalFormat = 3; break;
    case 2:
    case 4: internalFormat = 4; hasAlpha = 1; break;
    default: break;
    }
    // GLU rescales sides that are not powers of two; the record keeps the
    // image's own size, which is what placement and text layout use.
    if (internalFormat)
        gluBuild2DMipmaps(GL_TEXTURE_2D, internalFormat, GLsizei(_imageData->w), GLsizei(_imageData->h), GL_RGBA,
                          GL_UNSIGNED_BYTE, reinterpret_cast<const void*>(_imageData->pixels));
    glBindTexture(GL_TEXTURE_2D, 0);
    return newTextureRecord(id, _imageData->w, _imageData->h, hasAlpha);
}

texture_t imageLoadImage(const char* filename)
{
    texture_t texture = {};
    imageData_t* image = imageLoadPNG(filename);
    if (image) {
        texture = imageCreateTextureByImageData(image);
        imageDataFree(image);
    }
    return texture;
}

static void setFilter(int filter)
{
    GLint mode = filter == 0 ? GL_LINEAR : GL_NEAREST;
    if (filter != 0 && filter != 1)
        return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mode);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mode);
}

// OpenGL reads rows padded to its unpack alignment (4 by default); three-byte
// rows of an odd size would otherwise be read past the buffer's end.
static size_t paddedRow(int size, int bytesPerPixel)
{
    return (size_t(size) * size_t(bytesPerPixel) + 3) & ~size_t(3);
}

texture_t imageCreateTexture(int filter, int size, const char* filename)
{
    (void)filename;
    if (size <= 0) {
        debugMisuse(__func__, "size %d; no texture made", size);
        return texture_t{};
    }
    void* black = calloc(paddedRow(size, 3), size_t(size));
    if (!black)
        return texture_t{};
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, black);
    setFilter(filter);
    free(black);
    glBindTexture(GL_TEXTURE_2D, 0);
    return newTextureRecord(id, uint32_t(size), uint32_t(size), 0);
}

texture_t imageCreateTextureWithAlpha(int filter, int size, const char* filename)
{
    (void)filename;
    if (size <= 0) {
        debugMisuse(__func__, "size %d; no texture made", size);
        return texture_t{};
    }
    void* clear = calloc(paddedRow(size, 4), size_t(size));
    if (!clear)
        return texture_t{};
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, size, size, GL_RGBA, GL_UNSIGNED_BYTE, clear);
    setFilter(filter);
    free(clear);
    glBindTexture(GL_TEXTURE_2D, 0);
    return newTextureRecord(id, uint32_t(size), uint32_t(size), 1);
}
