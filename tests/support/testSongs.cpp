#include "tests/support/testSongs.h"

#include <sndfile.h>

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void putBigEndian16(std::vector<unsigned char>* out, unsigned value)
{
    out->push_back((unsigned char)(value >> 8));
    out->push_back((unsigned char)(value & 0xFF));
}

} // namespace

bool writeTone(const std::string& path, int format, int rate, int channels, double frequency,
               double seconds, double amplitude)
{
    SF_INFO info;
    memset(&info, 0, sizeof info);
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    size_t frames = size_t(seconds * rate);
    std::vector<float> samples(frames * size_t(channels));
    for (size_t i = 0; i < frames; i++)
        for (int c = 0; c < channels; c++)
            samples[i * size_t(channels) + size_t(c)] =
                float(amplitude * sin(2.0 * M_PI * frequency * double(i) / rate));
    bool ok = sf_writef_float(file, samples.data(), sf_count_t(frames)) == sf_count_t(frames);
    return sf_close(file) == 0 && ok;
}

bool writeTestModule(const std::string& path, int orders, int rows)
{
    assert(orders >= 1 && orders <= 128 && rows >= 1 && rows <= 64);
    std::vector<unsigned char> mod(20, 0);
    memcpy(mod.data(), "tessellune test", 15);
    const unsigned sampleWords = 16; // one 32-byte cycle, looped
    for (int s = 0; s < 31; s++) {
        mod.insert(mod.end(), 22, 0);
        putBigEndian16(&mod, s == 0 ? sampleWords : 0);
        mod.push_back(0);                // finetune
        mod.push_back(s == 0 ? 64 : 0);  // volume
        putBigEndian16(&mod, 0);         // loop start
        putBigEndian16(&mod, s == 0 ? sampleWords : 1);
    }
    mod.push_back((unsigned char)orders);
    mod.push_back(127);
    for (int i = 0; i < 128; i++)
        mod.push_back(0); // every order plays pattern 0
    mod.insert(mod.end(), {'M', '.', 'K', '.'});
    std::vector<unsigned char> pattern(64 * 4 * 4, 0);
    const unsigned period = 428; // C-3
    pattern[0] = (unsigned char)(period >> 8);
    pattern[1] = (unsigned char)(period & 0xFF);
    pattern[2] = 1 << 4; // sample 1
    if (rows < 64) {
        // D00 on the second channel of the last row: on to the next order.
        size_t cell = (size_t(rows - 1) * 4 + 1) * 4;
        pattern[cell + 2] = 0x0D;
        pattern[cell + 3] = 0x00;
    }
    mod.insert(mod.end(), pattern.begin(), pattern.end());
    for (unsigned i = 0; i < sampleWords * 2; i++)
        mod.push_back((unsigned char)(signed char)(100 * sin(2 * M_PI * i / (sampleWords * 2))));
    return writeBytes(path, mod.data(), mod.size());
}

bool writeBytes(const std::string& path, const void* data, size_t size)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

std::vector<unsigned char> readBytes(const std::string& path)
{
    std::vector<unsigned char> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(file);
    return bytes;
}
