#include "system/timer/timer.h"
#include "tests/support/fakeClock.h"

#include <gtest/gtest.h>

namespace {

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override { fakeClockInstall(); }
    void TearDown() override { fakeClockRemove(); }
};

// Guards against a clock that drifts from its source, or that changes between
// updates (every reader in one frame must see the same time).
TEST_F(TimerTest, CountsSecondsFromInitAndOnlyMovesAtUpdates)
{
    fakeClockSet(100.0);
    timerInit(-1.0f);
    fakeClockAdvance(2.5);
    EXPECT_FLOAT_EQ(timerGetTime(), 0.0f) << "no update yet";
    timerUpdate();
    EXPECT_FLOAT_EQ(timerGetTime(), 2.5f);
    fakeClockAdvance(0.25);
    timerUpdate();
    EXPECT_FLOAT_EQ(timerGetTime(), 2.75f);
    EXPECT_FLOAT_EQ(timerGetDs(), 0.25f);
    EXPECT_FLOAT_EQ(timerGetFpsCorrection(), 1.0f);
}

TEST_F(TimerTest, MillisecondFallbackStillCountsSeconds)
{
    fakeClockInstall(false);
    fakeClockSet(5.0);
    timerInit(-1.0f);
    fakeClockAdvance(1.2345);
    timerUpdate();
    EXPECT_NEAR(timerGetTime(), 1.234f, 0.0011) << "millisecond resolution";
}

TEST_F(TimerTest, EndTimeIsReachedAtTheFirstUpdatePastIt)
{
    timerInit(-1.0f);
    fakeClockAdvance(1e6);
    timerUpdate();
    EXPECT_EQ(timerIsEnd(), 0) << "no end time: never ends";

    fakeClockSet(0);
    timerInit(10.0f);
    fakeClockUpdateTo(9.999);
    EXPECT_EQ(timerIsEnd(), 0);
    fakeClockUpdateTo(10.0);
    EXPECT_EQ(timerIsEnd(), 1);
}

TEST_F(TimerTest, AddTimeLeavesTheClockAlone)
{
    timerInit(-1.0f);
    fakeClockUpdateTo(3.0);
    timerAddTime(30.0f);
    timerUpdate();
    EXPECT_FLOAT_EQ(timerGetTime(), 3.0f);
}

// The pacing rule: a frame lasts at least 12 ms, by sleeping the remainder.
// Guards against measuring the work from float seconds since start, which
// after a second of running can no longer tell 11.9 ms from 12.
TEST_F(TimerTest, FramesAreFilledUpToTwelveMillisecondsAtAnyUptime)
{
    struct { double work; uint32_t sleep; } cases[] = {
        {0.005, 7}, {0.0, 12}, {0.0119, 1}, {0.012, 0}, {0.030, 0}};
    for (bool counter : {true, false}) {
        for (double uptime : {0.0, 1.0, 3600.0, 36000.0}) {
            for (auto c : cases) {
                fakeClockInstall(counter);
                timerInit(-1.0f);
                fakeClockUpdateTo(uptime);
                fakeClockClearSleeps();
                fakeClockAdvance(c.work);
                timerAdjustFramerate();
                const std::vector<uint32_t>& sleeps = fakeClockSleeps();
                ASSERT_LE(sleeps.size(), 1u);
                EXPECT_EQ(sleeps.empty() ? 0u : sleeps[0], c.sleep)
                    << (counter ? "counter" : "milliseconds") << ", uptime " << uptime << " s, work "
                    << c.work * 1000 << " ms";
            }
        }
    }
}

// Restarting the clock keeps the last values until the next update, so a
// reader between the two still sees the old frame; timerReset is the clean slate.
TEST_F(TimerTest, InitKeepsTheLastValuesUntilTheNextUpdate)
{
    timerInit(-1.0f);
    fakeClockUpdateTo(2.0);
    fakeClockUpdateTo(2.5);
    timerInit(10.0f);
    EXPECT_FLOAT_EQ(timerGetTime(), 2.5f);
    EXPECT_FLOAT_EQ(timerGetDs(), 0.5f);
    fakeClockAdvance(1.0);
    timerUpdate();
    EXPECT_FLOAT_EQ(timerGetTime(), 1.0f) << "counts from the new start";
    EXPECT_FLOAT_EQ(timerGetDs(), -1.5f);
    timerReset();
    EXPECT_FLOAT_EQ(timerGetTime(), 0.0f);
    EXPECT_FLOAT_EQ(timerGetDs(), 0.0f);
}

TEST_F(TimerTest, SleepIsCountedInTheNextFrameStep)
{
    timerInit(-1.0f);
    timerUpdate();
    fakeClockAdvance(0.005);
    timerAdjustFramerate(); // sleeps 7 ms, which moves the fake clock
    EXPECT_NEAR(timerGetDs(), 0.005, 1e-6) << "the step read after pacing is the work";
    timerUpdate();
    EXPECT_NEAR(timerGetDs(), 0.007, 1e-6);
}

TEST_F(TimerTest, DebugCounterMeasuresMilliseconds)
{
    fakeClockSet(1.0);
    timerStartDebugCounter();
    fakeClockAdvance(0.042);
    timerEndDebugCounter();
    EXPECT_EQ(timerGetDebugCounter(), 42);
}

} // namespace
