#include "tests/graphics/image/pngFixtures.h"

#include "system/graphics/image/image.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <png.h>
#include <unistd.h>

bool writeTestPng(const std::string& path, int w, int h, int colorType, const std::vector<uint8_t>& samples,
                  int transparentGrey)
{
    FILE* out = fopen(path.c_str(), "wb");
    if (!out)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    if (!setjmp(png_jmpbuf(png))) {
        png_init_io(png, out);
        png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, colorType, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_color_16 transparent = {0, 0, 0, 0, png_uint_16(transparentGrey)};
        if (transparentGrey >= 0)
            png_set_tRNS(png, info, nullptr, 0, &transparent);
        png_write_info(png, info);
        size_t stride = samples.size() / size_t(h);
        for (int y = 0; y < h; y++)
            png_write_row(png, samples.data() + stride * size_t(y));
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    fclose(out);
    return ok;
}

namespace {
struct memoryReader_t {
    const std::vector<uint8_t>* bytes;
    size_t at;
};
}

static void readFromMemory(png_structp png, png_bytep data, png_size_t length)
{
    auto* reader = static_cast<memoryReader_t*>(png_get_io_ptr(png));
    if (reader->bytes->size() - reader->at < length)
        png_error(png, "short read");
    memcpy(data, reader->bytes->data() + reader->at, length);
    reader->at += length;
}

static void quietError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

static void quietWarning(png_structp, png_const_charp) {}

static png_voidp boundedMalloc(png_structp, png_alloc_size_t size)
{
    return size <= IMAGE_MAX_CHUNK ? malloc(size) : nullptr;
}

static void plainFree(png_structp, png_voidp memory)
{
    free(memory);
}

// Everything the decode fills lives on the heap, so neither a longjmp out of
// libpng skips a destructor nor the recovery path reads a clobbered local.
namespace {
struct referenceDecode_t {
    referenceImage_t image;
    std::vector<png_bytep> rows;
};
}

static void decodeRows(png_structp png, png_infop info, referenceDecode_t* decode)
{
    referenceImage_t* image = &decode->image;
    png_read_info(png, info);
    // 8-bit grey and RGB stay as stored, a transparency chunk unapplied.
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE || png_get_bit_depth(png, info) != 8)
        png_set_expand(png);
    png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    image->w = png_get_image_width(png, info);
    image->h = png_get_image_height(png, info);
    image->channels = png_get_channels(png, info);
    size_t stride = png_get_rowbytes(png, info);
    image->samples.assign(stride * image->h, 0);
    decode->rows.resize(image->h);
    for (uint32_t y = 0; y < image->h; y++)
        decode->rows[y] = image->samples.data() + stride * y;
    png_read_image(png, decode->rows.data());
    png_read_end(png, nullptr);
    image->ok = true;
}

referenceImage_t referenceDecode(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    memoryReader_t reader{&bytes, 0};
    std::unique_ptr<referenceDecode_t> decode(new referenceDecode_t{{false, 0, 0, 0, {}}, {}});
    // Quiet, so that any line in a test's output comes from the loader.
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &reader, readFromMemory);
    // The loader's own limits, so both judge a chunk claiming gigabytes alike
    // (and quickly).
    png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
    png_set_mem_fn(png, nullptr, boundedMalloc, plainFree);
    if (!setjmp(png_jmpbuf(png)))
        decodeRows(png, info, decode.get());
    png_destroy_read_struct(&png, &info, nullptr);
    return decode->image;
}

std::string makeScratchDir(void)
{
    char pattern[] = "/tmp/tessellune-png-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "";
}

void removeScratchDir(const std::string& dir)
{
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

int countOpenFiles(void)
{
    int count = 0;
    DIR* fds = opendir("/proc/self/fd");
    if (!fds)
        return -1;
    while (readdir(fds))
        count++;
    closedir(fds);
    return count;
}
