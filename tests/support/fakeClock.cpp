#include "tests/support/fakeClock.h"

#include "system/timer/timer.h"

namespace {

const uint64_t NANOSECONDS = 1000000000ull;
uint64_t nowNs = 0;
bool hasCounter = true;
bool sleepAdvances = true;
std::vector<uint32_t> sleeps;

int frequency(uint64_t* ticksPerSecond)
{
    if (!hasCounter)
        return 0;
    *ticksPerSecond = NANOSECONDS;
    return 1;
}

uint64_t counter(void) { return nowNs; }
uint32_t milliseconds(void) { return uint32_t(nowNs / 1000000ull); }

void sleep(uint32_t ms)
{
    sleeps.push_back(ms);
    if (sleepAdvances)
        nowNs += uint64_t(ms) * 1000000ull;
}

const timerPlatform_t fakePlatform = {frequency, counter, milliseconds, sleep};

} // namespace

void fakeClockInstall(bool highResolution)
{
    nowNs = 0;
    hasCounter = highResolution;
    sleepAdvances = true;
    sleeps.clear();
    timerSetPlatform(&fakePlatform);
    timerReset();
}

void fakeClockRemove(void) { timerSetPlatform(nullptr); }

void fakeClockSet(double seconds)
{
    nowNs = uint64_t(seconds * double(NANOSECONDS) + 0.5);
}

void fakeClockAdvance(double seconds) { fakeClockSet(fakeClockNow() + seconds); }
double fakeClockNow(void) { return double(nowNs) / double(NANOSECONDS); }
void fakeClockSleepAdvances(bool advances) { sleepAdvances = advances; }
const std::vector<uint32_t>& fakeClockSleeps(void) { return sleeps; }
void fakeClockClearSleeps(void) { sleeps.clear(); }

void fakeClockUpdateTo(double seconds)
{
    fakeClockSet(seconds);
    timerUpdate();
}
