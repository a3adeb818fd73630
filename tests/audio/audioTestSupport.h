#ifndef TESSELLUNE_TEST_AUDIOTESTSUPPORT_H
#define TESSELLUNE_TEST_AUDIOTESTSUPPORT_H

// Shared by the audio tests: a temporary folder and measurements of rendered
// sound (the song writers are shared with the end-to-end tools in
// tests/support/testSongs.h, the test file folders are in
// tests/support/testData.h).

#include "tests/support/testData.h"
#include "tests/support/testSongs.h"

#include <cstddef>
#include <string>

// A fresh folder for this process's files, removed at exit.
std::string testTempDir(void);

// Frequency of a sine from its rising zero crossings, interpolated between
// samples; `stride` steps over interleaved channels. 0 when fewer than two.
double crossingFrequency(const float* samples, size_t frames, int stride, double rate);
double rootMeanSquare(const float* samples, size_t count);
float peak(const float* samples, size_t count);

#endif
