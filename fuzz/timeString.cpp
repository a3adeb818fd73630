// Time texts come from the command line and from scene definitions.
#include "system/player/timeString.h"

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    float seconds = convertTimeToSeconds(text.c_str());
    char plain[16], absolute[16];
    convertSecondsToTime(seconds, plain);
    convertSecondsToAbsoluteTime(seconds, absolute);
    assert(memchr(plain, 0, sizeof plain) && memchr(absolute, 0, sizeof absolute));
    return 0;
}
