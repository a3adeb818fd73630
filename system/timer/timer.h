#ifndef TESSELLUNE_TIMER_H
#define TESSELLUNE_TIMER_H

// The frame timer: the program's single clock, in seconds since timerInit.
// "Now" only changes at timerUpdate / timerAdjustFramerate, so every reader
// within one frame sees the same time.

#include <cstdint>

#define SLEEP_DELAY 12 // minimum frame time in milliseconds

// For tests and benchmarks: the platform's clocks and sleep, behind one table
// so a test can drive time.
struct timerPlatform_t {
    // Ticks per second of the high-resolution counter; returns 0 when there is none.
    int (*counterFrequency)(uint64_t* ticksPerSecond);
    uint64_t (*counter)(void);
    uint32_t (*milliseconds)(void); // a millisecond clock that wraps at 2^32
    void (*sleep)(uint32_t ms);
};

// Installs a clock table; null puts back the system's monotonic clock.
void timerSetPlatform(const timerPlatform_t* platform);

// For tests: every value back to its start value (timerInit keeps ctime,
// ltime and deltaspeed); the clock table stays.
void timerReset(void);
void timerInit(float endTime); // endTime -1: the timer never ends
void timerUpdate(void);
// Accepted for callers that name a start position; the clock is not moved,
// because the music and the scenes both start at zero and must stay in step.
void timerAddTime(float seconds);
float timerGetTime(void);
float timerGetDs(void); // length of the last update step
int timerIsEnd(void);
// Updates the clock and sleeps out the rest of a SLEEP_DELAY frame.
void timerAdjustFramerate(void);
float timerGetFpsCorrection(void);
void timerStartDebugCounter(void);
void timerEndDebugCounter(void);
// For tests and for callers timing their work: milliseconds between the
// two debug stamps.
int timerGetDebugCounter(void);

#endif
