#include "system/timer/timer.h"

#include <SDL.h>
#include <ctime>

namespace {

int monotonicFrequency(uint64_t* ticksPerSecond)
{
    timespec res;
    if (clock_getres(CLOCK_MONOTONIC, &res) != 0)
        return 0;
    *ticksPerSecond = 1000000000ull; // counter() reports nanoseconds
    return 1;
}

uint64_t monotonicCounter(void)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000ull + uint64_t(now.tv_nsec);
}

uint32_t monotonicMilliseconds(void)
{
    return uint32_t(monotonicCounter() / 1000000ull);
}

void sdlSleep(uint32_t ms)
{
    SDL_Delay(ms);
}

const timerPlatform_t systemPlatform = {monotonicFrequency, monotonicCounter, monotonicMilliseconds, sdlSleep};

struct timerState_t {
    const timerPlatform_t* platform = &systemPlatform;
    unsigned char gtimer = 0; // 1: counter, 0: millisecond clock
    double tps = 0;           // seconds per counter tick
    uint64_t frequency = 0;   // counter ticks per second
    uint64_t stime = 0;       // counter or millisecond value at timerInit
    // The raw reading behind the last update (or timerInit): frame work is
    // measured between readings, because float seconds since start cannot
    // resolve a millisecond after the first second of running.
    uint64_t lastReading = 0;
    float ctime = 0;
    float ltime = 0;
    float deltaspeed = 0;
    float endTime = 0;
    float fpsCorrection = 1.0f;
    int debugCounterStartTime = 0;
    int debugCounterEndTime = 0;
};

timerState_t timer;

void setCurrentTime(void)
{
    timer.ltime = timer.ctime;
    if (timer.gtimer) {
        // Unsigned difference, widened before scaling.
        timer.lastReading = timer.platform->counter();
        uint64_t ticks = timer.lastReading - timer.stime;
        timer.ctime = float(double(ticks) * timer.tps);
    } else {
        // Modular 32-bit difference survives the millisecond clock's wrap.
        timer.lastReading = timer.platform->milliseconds();
        uint32_t ms = uint32_t(timer.lastReading) - uint32_t(timer.stime);
        timer.ctime = float(double(ms) / 1000.0);
    }
    timer.deltaspeed = timer.ctime - timer.ltime;
}

// Whole milliseconds between two raw readings, truncated toward zero.
// Ticks times 1000 over the frequency in double is exact for any frame
// shorter than days, so 5 ms of ticks gives exactly 5, never 4.99999.
uint64_t elapsedMilliseconds(uint64_t from, uint64_t to)
{
    if (!timer.gtimer)
        return uint32_t(uint32_t(to) - uint32_t(from));
    return uint64_t(double(to - from) * 1000.0 / double(timer.frequency));
}

} // namespace

void timerSetPlatform(const timerPlatform_t* platform)
{
    timer.platform = platform ? platform : &systemPlatform;
}

void timerReset(void)
{
    const timerPlatform_t* platform = timer.platform;
    timer = timerState_t();
    timer.platform = platform;
}

// ctime, ltime and deltaspeed stay as they are: readers keep the last
// frame's time until the first update counts from the new start.
void timerInit(float endTime)
{
    const timerPlatform_t* platform = timer.platform;
    timer.gtimer = 1;
    timer.endTime = endTime;
    uint64_t frequency = 0;
    if (!platform->counterFrequency(&frequency) || frequency == 0) {
        timer.gtimer = 0;
        timer.stime = platform->milliseconds();
    } else {
        timer.stime = platform->counter();
        timer.frequency = frequency;
        timer.tps = 1.0 / double(frequency);
    }
    // The source may have changed; a frame is measured from here on.
    timer.lastReading = timer.stime;
}

void timerUpdate(void)
{
    setCurrentTime();
}

void timerAddTime(float seconds)
{
    (void)seconds;
}

float timerGetTime(void)
{
    return timer.ctime;
}

float timerGetDs(void)
{
    return timer.deltaspeed;
}

int timerIsEnd(void)
{
    if (timer.endTime == -1.0f)
        return 0;
    return timer.ctime >= timer.endTime ? 1 : 0;
}

void timerAdjustFramerate(void)
{
    uint64_t frameStart = timer.lastReading;
    setCurrentTime();
    // Both clocks are monotonic, so the work is never negative; after a
    // fresh timerInit mid-frame it counts from that start.
    uint64_t worked = elapsedMilliseconds(frameStart, timer.lastReading);
    if (worked < SLEEP_DELAY)
        timer.platform->sleep(uint32_t(SLEEP_DELAY - worked));
}

float timerGetFpsCorrection(void)
{
    return timer.fpsCorrection;
}

void timerStartDebugCounter(void)
{
    timer.debugCounterStartTime = 0;
    timer.debugCounterEndTime = 0;
    timer.debugCounterStartTime = int(timer.platform->milliseconds());
}

void timerEndDebugCounter(void)
{
    timer.debugCounterEndTime = int(timer.platform->milliseconds());
}

int timerGetDebugCounter(void)
{
    return int(uint32_t(timer.debugCounterEndTime) - uint32_t(timer.debugCounterStartTime));
}
