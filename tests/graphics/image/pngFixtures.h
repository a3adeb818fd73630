#ifndef TESSELLUNE_TEST_PNG_FIXTURES_H
#define TESSELLUNE_TEST_PNG_FIXTURES_H

// PNG files written and decoded for the loader's tests, independently of the
// loader itself.

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit samples, top row first, in the given libpng colour type
// (PNG_COLOR_TYPE_GRAY, _GRAY_ALPHA, _RGB, _RGB_ALPHA), with a transparency
// chunk naming that grey level when it is 0 or more; false on failure.
bool writeTestPng(const std::string& path, int w, int h, int colorType, const std::vector<uint8_t>& samples,
                  int transparentGrey = -1);

// A decode through libpng's transform interface from memory: expand palette,
// 16-bit and sub-8-bit images, strip 16 bits to 8, interlace handling; rows
// top first, `channels` bytes per pixel.
struct referenceImage_t {
    bool ok;
    uint32_t w, h, channels;
    std::vector<uint8_t> samples;
};
referenceImage_t referenceDecode(const std::string& path);

// A fresh directory under /tmp for this process; removed by the caller.
std::string makeScratchDir(void);
void removeScratchDir(const std::string& dir);

// Open file descriptors of this process, to see that nothing stays open.
int countOpenFiles(void);

#endif
