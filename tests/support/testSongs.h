#ifndef TESSELLUNE_TEST_TESTSONGS_H
#define TESSELLUNE_TEST_TESTSONGS_H

// Music files made on the spot, for the audio tests and for the songs the
// end-to-end runs play: sine tones in every format libsndfile writes, and a
// tiny tracker module.

#include <cstddef>
#include <string>
#include <vector>

// A sine tone through libsndfile; `format` is an SF_FORMAT_* combination.
bool writeTone(const std::string& path, int format, int rate, int channels, double frequency,
               double seconds, double amplitude = 0.5);
// A ProTracker module of `orders` orders (every order plays the same
// pattern: a note at row 0, looped), speed 6 at 125 BPM. Each order plays
// `rows` rows (a pattern break cuts the pattern short), so row r of order o
// starts at o * rows * 0.12 + r * 0.12 seconds.
bool writeTestModule(const std::string& path, int orders, int rows = 64);
bool writeBytes(const std::string& path, const void* data, size_t size);
std::vector<unsigned char> readBytes(const std::string& path);

#endif
