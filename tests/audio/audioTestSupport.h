#ifndef TESSELLUNE_TEST_AUDIOTESTSUPPORT_H
#define TESSELLUNE_TEST_AUDIOTESTSUPPORT_H

// Shared by the audio tests: sound files made on the spot, the shared test
// data folders, and measurements of rendered sound.

#include <cstddef>
#include <string>
#include <vector>

// The folder under the shared test data, "" when it is not there.
std::string testDataDir(const char* name);
#define REQUIRE_TEST_DATA(variable, name)                                        \
    std::string variable = testDataDir(name);                                    \
    if (variable.empty())                                                        \
        GTEST_SKIP() << "shared test data folder " << (name) << " is absent"

// A fresh folder for this process's files, removed at exit.
std::string testTempDir(void);

// A sine tone through libsndfile; `format` is an SF_FORMAT_* combination.
bool writeTone(const std::string& path, int format, int rate, int channels, double frequency,
               double seconds, double amplitude = 0.5);
// A ProTracker module of `orders` orders (every order plays the same
// pattern: a note at row 0), speed 6 at 125 BPM, so row r of order o starts
// at o * 7.68 + r * 0.12 seconds.
bool writeTestModule(const std::string& path, int orders);
bool writeBytes(const std::string& path, const void* data, size_t size);
std::vector<unsigned char> readBytes(const std::string& path);

// Frequency of a sine from its rising zero crossings, interpolated between
// samples; `stride` steps over interleaved channels. 0 when fewer than two.
double crossingFrequency(const float* samples, size_t frames, int stride, double rate);
double rootMeanSquare(const float* samples, size_t count);
float peak(const float* samples, size_t count);

#endif
