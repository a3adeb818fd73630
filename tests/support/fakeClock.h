#ifndef TESSELLUNE_TEST_FAKECLOCK_H
#define TESSELLUNE_TEST_FAKECLOCK_H

// A clock the test moves by hand, installed in front of the frame timer.
// Sleeps are recorded and, unless told otherwise, move the clock on.

#include <cstdint>
#include <vector>

void fakeClockInstall(bool highResolution = true);
void fakeClockRemove(void);
void fakeClockSet(double seconds);
void fakeClockAdvance(double seconds);
double fakeClockNow(void);
void fakeClockSleepAdvances(bool advances);
const std::vector<uint32_t>& fakeClockSleeps(void);
void fakeClockClearSleeps(void);

// Sets the fake clock to `seconds` and runs timerUpdate, so timerGetTime
// answers exactly that time from now on.
void fakeClockUpdateTo(double seconds);

#endif
