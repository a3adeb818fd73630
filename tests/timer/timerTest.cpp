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
TEST_F(TimerTest, FramesAreFilledUpToTwelveMilliseconds)
{
    struct { double work; uint32_t sleep; } cases[] = {
        {0.005, 7}, {0.0, 12}, {0.0119, 1}, {0.012, 0}, {0.030, 0}};
    for (auto c : cases) {
        fakeClockSet(0);
        timerInit(-1.0f);
        timerUpdate();
        fakeClockClearSleeps();
        fakeClockAdvance(c.work);
        timerAdjustFramerate();
        if (c.sleep == 0) {
            EXPECT_TRUE(fakeClockSleeps().empty()) << "work " << c.work;
        } else {
            ASSERT_EQ(fakeClockSleeps().size(), 1u) << "work " << c.work;
            EXPECT_EQ(fakeClockSleeps()[0], c.sleep) << "work " << c.work;
        }
    }
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
