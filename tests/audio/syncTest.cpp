// Module sync: sound_isSync against a module whose order and row are known
// at every moment (every row lasts 0.12 s, every order 7.68 s).

#include "system/audio/audio.h"
#include "system/audio/sound.h"
#include "system/timer/timer.h"
#include "tests/audio/audioTestSupport.h"
#include "tests/support/fakeClock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class SyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        soundReset();
        audioSetOutput(AUDIO_OUTPUT_PULL);
        fakeClockInstall();
        timerInit(-1.0f);
        std::string dir = testTempDir();
        ASSERT_TRUE(writeTestModule(dir + "/sync.mod", 22));
        std::string text = "File=sync.mod\nTitle=Sync\nLength=200\n";
        testing::internal::CaptureStdout();
        soundParsePlaylist(text.data(), text.size(), (dir + "/playlist.pls").c_str());
        testing::internal::GetCapturedStdout();
        soundPlaySong(0);
    }

    void TearDown() override
    {
        soundReset();
        fakeClockRemove();
    }

    // The module library seeks to the first row that starts at or after
    // the time asked for, so ask a little before the row.
    void at(int order, int row)
    {
        soundSetPosition(float(order * 7.68 + row * 0.12 - 0.05));
        ASSERT_EQ(sound_getOrder(), order);
        ASSERT_EQ(sound_getRow(), row);
    }
};

TEST_F(SyncTest, ARowIsReportedOnceUntilAnotherIs)
{
    at(3, 8);
    EXPECT_EQ(sound_isSync(0), 1);
    at(3, 20);
    EXPECT_EQ(sound_isSync(0), 1);
    EXPECT_EQ(sound_isSync(0), 0) << "the same row again";
    at(3, 21);
    EXPECT_EQ(sound_isSync(0), 0) << "not a sync row";
    at(3, 20);
    EXPECT_EQ(sound_isSync(0), 0) << "still the row last reported";
}

TEST_F(SyncTest, EachInstrumentHasItsGroupPerOrder)
{
    for (int order = 0; order <= 5; order++)
        for (int row : {8, 12, 24, 40, 44, 56}) {
            at(order, row);
            EXPECT_EQ(sound_isSync(1), 0) << "instrument 1 has no sync points at order " << order;
        }
    at(19, 12);
    EXPECT_EQ(sound_isSync(1), 1) << "group 2";
    at(19, 8);
    EXPECT_EQ(sound_isSync(1), 0) << "8 is not in group 2";
    at(18, 8);
    EXPECT_EQ(sound_isSync(1), 1) << "group 1";
    at(20, 8);
    EXPECT_EQ(sound_isSync(1), 0) << "past instrument 1's list";
    at(20, 20);
    EXPECT_EQ(sound_isSync(0), 0) << "past instrument 0's list";
    at(21, 40);
    EXPECT_EQ(sound_isSync(0), 0);
    for (int instrument : {2, 3, 100, -1}) {
        at(6, 8);
        EXPECT_EQ(sound_isSync(instrument), 0) << "instrument " << instrument;
    }
}

// Row 40 is a sync row of both instruments at order 6: whichever asks
// first gets it, because the last reported row is shared.
TEST_F(SyncTest, InstrumentsShareTheLastReportedRow)
{
    at(6, 40);
    EXPECT_EQ(sound_isSync(0), 1);
    EXPECT_EQ(sound_isSync(1), 0);
    at(7, 8);
    EXPECT_EQ(sound_isSync(1), 1);
    at(7, 40);
    EXPECT_EQ(sound_isSync(1), 1);
    EXPECT_EQ(sound_isSync(0), 0);
}

// Guards the whole path: played through at frame pace, order 0 reports
// instrument 0's rows 8, 20, 40, 52 once each, in order.
TEST_F(SyncTest, PlayingThroughAnOrderReportsEachSyncRowOnce)
{
    std::vector<int> reported;
    std::vector<float> frame(2 * 529); // 12 ms of sound per frame
    for (int i = 0; i < 640; i++) {
        audioRender(frame.data(), 529);
        if (sound_isSync(0))
            reported.push_back(sound_getRow());
    }
    EXPECT_EQ(reported, (std::vector<int>{8, 20, 40, 52}));
}

} // namespace
