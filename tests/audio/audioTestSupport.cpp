#include "tests/audio/audioTestSupport.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string tempDir;

void removeTempDir(void)
{
    if (!tempDir.empty()) {
        std::string command = "rm -rf '" + tempDir + "'";
        if (system(command.c_str()) != 0)
            fprintf(stderr, "could not remove %s\n", tempDir.c_str());
    }
}

} // namespace

// libsndfile 1.2.0 leaks the Vorbis decoder's set-up (5.7 KB) when an Ogg
// file's headers are damaged; nothing outside the library can free it.
extern "C" const char* __lsan_default_suppressions(void)
{
    return "leak:vorbis_info_init\n";
}

std::string testTempDir(void)
{
    if (tempDir.empty()) {
        char pattern[] = "/tmp/tessellune-audio-XXXXXX";
        if (mkdtemp(pattern)) {
            tempDir = pattern;
            atexit(removeTempDir);
        }
    }
    return tempDir;
}

double crossingFrequency(const float* samples, size_t frames, int stride, double rate)
{
    double first = -1, last = -1;
    long count = 0;
    for (size_t i = 1; i < frames; i++) {
        float a = samples[(i - 1) * size_t(stride)], b = samples[i * size_t(stride)];
        if (a < 0 && b >= 0) {
            double t = double(i - 1) + double(a) / double(a - b);
            if (first < 0)
                first = t;
            last = t;
            count++;
        }
    }
    return count < 2 ? 0 : double(count - 1) * rate / (last - first);
}

double rootMeanSquare(const float* samples, size_t count)
{
    double sum = 0;
    for (size_t i = 0; i < count; i++)
        sum += double(samples[i]) * samples[i];
    return count ? sqrt(sum / double(count)) : 0;
}

float peak(const float* samples, size_t count)
{
    float most = 0;
    for (size_t i = 0; i < count; i++)
        most = fabsf(samples[i]) > most ? fabsf(samples[i]) : most;
    return most;
}
