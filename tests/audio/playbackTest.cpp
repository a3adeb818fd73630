// Playback and track navigation on the pull output with the fake clock:
// what sounds, what the caption says, what is printed, and when the
// automatic advance moves on.

#include "system/audio/audio.h"
#include "system/audio/sound.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"
#include "tests/audio/audioTestSupport.h"
#include "tests/support/fakeClock.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const double LOW = 440, MIDDLE = 660, HIGH = 880; // the three songs' tones

class PlaybackTest : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override
    {
        soundReset();
        audioSetOutput(AUDIO_OUTPUT_PULL);
        fakeClockInstall();
        timerInit(-1.0f);
        windowSetTitle("Tessellune");
        dir = testTempDir();
        static bool made = false;
        if (!made) {
            made = writeTone(dir + "/low.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, LOW, 3) &&
                   writeTone(dir + "/a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, MIDDLE, 3) &&
                   writeTone(dir + "/high.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 2, HIGH, 3);
        }
        ASSERT_TRUE(made);
        load("File1=low.wav\nTitle1=Low\nLength1=100\n"
             "File2=a.flac\nTitle2=A\nLength2=245\n"
             "File3=high.ogg\nTitle3=High\nLength3=30\n");
        soundInit();
    }

    void TearDown() override
    {
        soundReset();
        fakeClockRemove();
    }

    void load(const std::string& text)
    {
        std::string path = dir + "/playlist.pls";
        testing::internal::CaptureStdout();
        soundClearPlaylist();
        soundParsePlaylist(text.data(), text.size(), path.c_str());
        testing::internal::GetCapturedStdout();
    }

    std::vector<float> render(double seconds)
    {
        std::vector<float> mix(size_t(seconds * AUDIO_RATE) * 2);
        audioRender(mix.data(), int(mix.size() / 2));
        return mix;
    }

    // The pitch of the next half second (past the resampler's start).
    double pitch(void)
    {
        std::vector<float> mix = render(0.5);
        return crossingFrequency(mix.data() + 2000, mix.size() / 2 - 1000, 2, AUDIO_RATE);
    }

    float loudness(double seconds)
    {
        std::vector<float> mix = render(seconds);
        return peak(mix.data(), mix.size());
    }

    std::string printedBy(void (*action)(void))
    {
        testing::internal::CaptureStdout();
        action();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

void playCurrent(void)
{
    soundPlaySong(soundGetCurrentSong());
}

// Guards PLAY: the selected song sounds, at its own pitch, with its caption.
TEST_F(PlaybackTest, PlaySoundsTheCurrentSongAtItsPitch)
{
    EXPECT_EQ(printedBy(playCurrent), "") << "PLAY prints nothing";
    EXPECT_EQ(soundIsPlaying(), 1);
    EXPECT_STREQ(title, "01/03. Low (01:40)");
    EXPECT_NEAR(pitch(), LOW, LOW * 0.001) << "a 22050 Hz file played at the device rate";
    soundPlaySong(1);
    EXPECT_STREQ(title, "02/03. A (04:05)");
    EXPECT_NEAR(pitch(), MIDDLE, MIDDLE * 0.001);
    EXPECT_EQ(soundGetCurrentSong(), 1);
}

// Guards NEXT and PREV while playing: trace line, wrap-around both ways,
// the new song's caption and sound.
TEST_F(PlaybackTest, NextAndPreviousWhilePlayingWrapAndPlay)
{
    soundPlaySong(2);
    EXPECT_STREQ(title, "03/03. High (00:30)");
    EXPECT_NEAR(pitch(), HIGH, HIGH * 0.001);
    EXPECT_EQ(printedBy(soundNextTrack), "current_song:2, song_i:3, modulo:0\n");
    EXPECT_EQ(soundGetCurrentSong(), 0);
    EXPECT_STREQ(title, "01/03. Low (01:40)");
    EXPECT_NEAR(pitch(), LOW, LOW * 0.001);
    EXPECT_EQ(printedBy(soundPreviousTrack), "") << "PREV prints nothing";
    EXPECT_EQ(soundGetCurrentSong(), 2);
    EXPECT_NEAR(pitch(), HIGH, HIGH * 0.001);
    EXPECT_EQ(soundIsPlaying(), 1);
}

TEST_F(PlaybackTest, NextAndPreviousWhileStoppedOnlyMoveTheSelection)
{
    soundPreviousTrack();
    EXPECT_EQ(soundGetCurrentSong(), 2);
    EXPECT_EQ(printedBy(soundNextTrack), "current_song:2, song_i:3, modulo:0\n");
    EXPECT_EQ(printedBy(soundNextTrack), "current_song:0, song_i:3, modulo:1\n");
    EXPECT_EQ(soundGetCurrentSong(), 1);
    EXPECT_STREQ(title, "Tessellune") << "caption unchanged";
    EXPECT_EQ(loudness(0.2), 0.0f);
    EXPECT_EQ(soundIsPlaying(), 0);
}

// Guards STOP: silence, no longer playing, rewound; PLAY starts over from
// the first sample.
TEST_F(PlaybackTest, StopSilencesAndPlayStartsFromTheBeginning)
{
    soundPlaySong(1);
    EXPECT_GT(loudness(0.5), 0.4f);
    soundStop();
    EXPECT_EQ(soundIsPlaying(), 0);
    EXPECT_EQ(loudness(0.5), 0.0f);
    EXPECT_EQ(soundGetSongCurrentPlayTime(), 0.0f);
    playCurrent();
    std::vector<float> start = render(0.01);
    for (size_t i = 0; i < start.size() / 2; i++)
        ASSERT_NEAR(start[i * 2], 0.5 * sin(2 * M_PI * MIDDLE * double(i) / 44100), 1e-4) << "frame " << i;
}

// The toggle is cleared when a song starts, so the first soundPause pauses
// the playing channel; a second one only flips the toggle (no resume).
TEST_F(PlaybackTest, PauseAfterASongStartPausesIt)
{
    soundPlaySong(0);
    soundPause();
    EXPECT_EQ(soundIsPlaying(), 0);
    EXPECT_EQ(loudness(0.3), 0.0f);
    soundPause();
    EXPECT_EQ(loudness(0.3), 0.0f);
    // A paused song is not left automatically.
    fakeClockUpdateTo(500);
    soundCheckPlayer();
    EXPECT_EQ(soundGetCurrentSong(), 0);
}

TEST_F(PlaybackTest, SetPositionMovesThePlayingSong)
{
    soundPlaySong(1);
    soundSetPosition(1.5f);
    std::vector<float> part = render(0.01);
    for (size_t i = 0; i < part.size() / 2; i++)
        ASSERT_NEAR(part[i * 2], 0.5 * sin(2 * M_PI * MIDDLE * double(i + 66150) / 44100), 1e-4);
    soundSetPosition(-3.0f); // clamped to the start, not an undefined conversion
    part = render(0.01);
    EXPECT_NEAR(part[2], 0.5 * sin(2 * M_PI * MIDDLE / 44100), 1e-4);
    soundSetPosition(1e12f);  // beyond the end: refused, playing on
    EXPECT_GT(loudness(0.1), 0.4f);
}

// Guards the automatic advance: by the frame timer and the playlist's
// length, at the first frame past length + 0.4 s, wrapping after the last.
TEST_F(PlaybackTest, AutomaticAdvanceAfterThePlaylistLength)
{
    soundPlaySong(0);
    fakeClockUpdateTo(100.4);
    soundCheckPlayer();
    EXPECT_EQ(soundGetCurrentSong(), 0);
    EXPECT_FLOAT_EQ(soundGetSongCurrentPlayTime(), 100.4f);
    fakeClockUpdateTo(100.41);
    EXPECT_EQ(printedBy(soundCheckPlayer), "current_song:0, song_i:3, modulo:1\n");
    EXPECT_EQ(soundGetCurrentSong(), 1);
    EXPECT_STREQ(title, "02/03. A (04:05)");
    EXPECT_NEAR(pitch(), MIDDLE, MIDDLE * 0.001);

    soundPlaySong(2);
    fakeClockUpdateTo(100.41 + 30.5);
    printedBy(soundCheckPlayer);
    EXPECT_EQ(soundGetCurrentSong(), 0) << "after the last comes the first";
    EXPECT_EQ(soundIsPlaying(), 1);
}

TEST_F(PlaybackTest, SongsWithoutAPositiveLengthAreNeverLeft)
{
    load("File1=a.flac\nTitle1=Endless\nLength1=-1\nFile2=low.wav\nTitle2=B\nLength2=1\n");
    soundPlaySong(0);
    EXPECT_STREQ(title, "01/02. Endless (00:-1)");
    fakeClockUpdateTo(1e6);
    soundCheckPlayer();
    EXPECT_EQ(soundGetCurrentSong(), 0);
    EXPECT_EQ(soundIsPlaying(), 1);
}

TEST_F(PlaybackTest, LengthTextsAndNegativeSongNumbers)
{
    load("File=a.flac\nTitle=T\nLength=3599\nFile=a.flac\nTitle=U\nLength=6000\n");
    soundPlaySong(0);
    EXPECT_STREQ(title, "01/02. T (59:59)");
    soundPlaySong(3);
    EXPECT_STREQ(title, "02/02. U (100:00)");
    // Mend: a negative number indexed before the table; it now counts from the end.
    soundPlaySong(-1);
    EXPECT_EQ(soundGetCurrentSong(), 1);
    soundPlaySong(-4);
    EXPECT_EQ(soundGetCurrentSong(), 0);
}

// Mend: an empty table divided by zero; every action now leaves the
// player as it is, and the main loop can go on.
TEST_F(PlaybackTest, AnEmptyTableMakesEveryActionHarmless)
{
    soundClearPlaylist();
    std::string printed = printedBy([] {
        soundPlaySong(0);
        soundPreviousTrack();
        soundNextTrack();
        soundStop();
        soundPause();
        soundCheckPlayer();
    });
    EXPECT_EQ(printed, "");
    EXPECT_EQ(soundGetCurrentSong(), 0);
    EXPECT_EQ(soundIsPlaying(), 0);
    EXPECT_STREQ(soundGetSongName(soundGetCurrentSong()), "");
    EXPECT_STREQ(title, "Tessellune");
    EXPECT_EQ(sound_isSync(0), 0);
}

// Guards failures of the outside world: one warning naming the file, then
// a silent song with its caption and its automatic advance.
TEST_F(PlaybackTest, MissingOrDamagedFilesPlaySilently)
{
    std::vector<unsigned char> damaged = readBytes(dir + "/high.ogg");
    for (size_t i = 200; i < damaged.size(); i++)
        damaged[i] = (unsigned char)(i * 7);
    ASSERT_TRUE(writeBytes(dir + "/damaged.ogg", damaged.data(), damaged.size()));
    load("File=missing.ogg\nTitle=Gone\nLength=5\nFile=damaged.ogg\nTitle=Bad\nLength=5\n"
         "File=a.flac\nTitle=Good\nLength=5\n");
    testing::internal::CaptureStderr();
    soundPlaySong(0);
    std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warning, "tessellune: cannot play \"" + dir + "/missing.ogg\": No such file or directory\n");
    EXPECT_STREQ(title, "01/03. Gone (00:05)");
    EXPECT_EQ(soundIsPlaying(), 1);
    EXPECT_EQ(loudness(0.5), 0.0f);
    EXPECT_EQ(sound_getOrder(), 0);

    fakeClockUpdateTo(5.5);
    testing::internal::CaptureStderr();
    printedBy(soundCheckPlayer);
    std::string second = testing::internal::GetCapturedStderr();
    EXPECT_EQ(soundGetCurrentSong(), 1);
    EXPECT_STREQ(title, "02/03. Bad (00:05)");
    // Refused at load, or played until the damage: either way no crash and
    // nothing that is not a number.
    std::vector<float> mix = render(3);
    for (float v : mix)
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_TRUE(second.empty() || second.find("damaged.ogg") != std::string::npos) << second;

    fakeClockUpdateTo(11);
    printedBy(soundCheckPlayer);
    EXPECT_EQ(soundGetCurrentSong(), 2);
    EXPECT_GT(loudness(0.2), 0.4f) << "the good song after them sounds";
}

// Guards the module's reset: many start/stop cycles in one process, and
// a deinit that leaves nothing behind (the sanitizer build checks leaks).
TEST_F(PlaybackTest, ManyCyclesInOneProcess)
{
    for (int i = 0; i < 20; i++) {
        soundPlaySong(i);
        render(0.05);
        if (i % 3 == 0) {
            soundReset();
            audioSetOutput(AUDIO_OUTPUT_PULL);
            load("File=a.flac\nTitle=A\nLength=2\nFile=low.wav\nTitle=L\nLength=2\n");
        }
    }
    soundDeinit();
    EXPECT_EQ(soundGetPlaylistSize(), 0);
}

} // namespace
