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
    uint64_t stime = 0;       // counter or millisecond value at timerInit
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
        // Unsigned difference, widened before scaling: float seconds since
        // start lose nothing a frame can see for many hours.
        uint64_t ticks = timer.platform->counter() - timer.stime;
        timer.ctime = float(double(ticks) * timer.tps);
    } else {
        // Modular 32-bit difference survives the millisecond clock's wrap.
        uint32_t ms = timer.platform->milliseconds() - uint32_t(timer.stime);
        timer.ctime = float(double(ms) / 1000.0);
    }
    timer.deltaspeed = timer.ctime - timer.ltime;
}

} // namespace

void timerSetPlatform(const timerPlatform_t* platform)
{
    timer.platform = platform ? platform : &systemPlatform;
}

void timerInit(float endTime)
{
    const timerPlatform_t* platform = timer.platform;
    timer = timerState_t();
    timer.platform = platform;
    timer.gtimer = 1;
    timer.endTime = endTime;
    uint64_t frequency = 0;
    if (!platform->counterFrequency(&frequency) || frequency == 0) {
        timer.gtimer = 0;
        timer.stime = platform->milliseconds();
    } else {
        timer.stime = platform->counter();
        timer.tps = 1.0 / double(frequency);
    }
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
    float frameStart = timer.ctime;
    setCurrentTime();
    // Single precision, like the clock itself: 5 ms of float seconds times
    // 1000 rounds to exactly 5, where double arithmetic would give 4.99999.
    float elapsed = (timer.ctime - frameStart) * 1000.0f;
    // A clock that went backwards (a fresh timerInit mid-frame) counts as a
    // frame of no work rather than a huge unsigned sleep.
    if (elapsed < 0)
        elapsed = 0;
    if (elapsed < SLEEP_DELAY) {
        int worked = int(elapsed);
        timer.platform->sleep(uint32_t(SLEEP_DELAY - worked));
    }
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
