// Feeds arbitrary bytes to the PNG loader through a file, the only way in.
// Any crash, sanitizer report or leak is a fault; null is a fine answer.
//   tools/build.sh fuzz && build-fuzz/fuzz_png fuzz/corpus/png
// Further seeds: the PngSuite and the corrupt-file collection the tests use
// (tests/data/pngsuite, tests/data/png-corrupt).

#include "system/graphics/image/image.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static const std::string& scratchFile(void)
{
    static const std::string path = "/tmp/fuzz_png_" + std::to_string(getpid()) + ".png";
    return path;
}

static void removeScratch(void) { unlink(scratchFile().c_str()); }

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* out = fopen(scratchFile().c_str(), "wb");
    if (!out)
        return 0;
    fwrite(data, 1, size, out);
    fclose(out);
    imageData_t* image = imageLoadPNG(scratchFile().c_str());
    if (image) {
        // Touch every byte, so a buffer shorter than w x h x 4 shows.
        const uint8_t* pixels = reinterpret_cast<const uint8_t*>(image->pixels);
        unsigned sum = 0;
        for (size_t i = 0; i < size_t(image->w) * image->h * 4; i++)
            sum += pixels[i];
        if (image->channels < 1 || image->channels > 4 || sum == 0xffffffffu)
            abort();
        imageDataFree(image);
    }
    return 0;
}
