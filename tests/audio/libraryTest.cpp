// A whole music library: the folder walk, a table past the bundled list's
// size, tags, and songs that follow one another with no gap.

#include "system/audio/audio.h"
#include "system/audio/sound.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"
#include "tests/audio/audioTestSupport.h"
#include "tests/support/fakeClock.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const double TONE = 441.0; // Hz: a whole number of samples per cycle at no rate used here
const double AMPLITUDE = 0.5;

// Part of one continuous sine, from sample `from` of its own rate to `to`.
bool writeSinePart(const std::string& path, int format, int rate, long from, long to,
                   const char* artist = nullptr, const char* album = nullptr, const char* title = nullptr)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    if (title)
        sf_set_string(file, SF_STR_TITLE, title);
    if (artist)
        sf_set_string(file, SF_STR_ARTIST, artist);
    if (album)
        sf_set_string(file, SF_STR_ALBUM, album);
    std::vector<float> samples(size_t(to - from));
    for (long i = from; i < to; i++)
        samples[size_t(i - from)] = float(AMPLITUDE * sin(2 * M_PI * TONE * double(i) / rate));
    bool ok = sf_writef_float(file, samples.data(), sf_count_t(samples.size())) == sf_count_t(samples.size());
    return sf_close(file) == 0 && ok;
}

class LibraryTest : public testing::Test {
protected:
    std::string dir;

    void SetUp() override
    {
        soundReset();
        static int serial = 0;
        dir = testTempDir() + "/library" + std::to_string(serial++);
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    }
    void TearDown() override { soundReset(); }

    std::string open(const std::string& path)
    {
        char reason[512] = "";
        return soundOpenPlaylist(path.c_str(), reason, sizeof reason) ? "" : reason;
    }
};

// Guards the walk through a library: every level, a folder's own songs
// before its subfolders', bytewise by name; hidden entries, a FIFO and
// what is not music left out; a link back up the tree walked once (no
// hang, no repeats); and a table that grows past the bundled list's 256.
TEST_F(LibraryTest, FolderTreeIsWalkedInPathOrderOnce)
{
    const int ALBUMS = 10, SONGS = 30;
    for (int a = 0; a < ALBUMS; a++) {
        std::string album = dir + "/Artist " + std::to_string(a % 2) + "/Album " + std::to_string(a);
        ASSERT_EQ(system(("mkdir -p '" + album + "/.hidden' '" + album + "/CD 2'").c_str()), 0);
        for (int s = 0; s < SONGS; s++) {
            char name[32];
            snprintf(name, sizeof name, "/%02d.wav", SONGS - s); // written out of order
            ASSERT_TRUE(writeBytes(album + (s % 3 ? "" : "/CD 2") + name, "", 0));
        }
        ASSERT_TRUE(writeBytes(album + "/.hidden/x.wav", "", 0));
        ASSERT_TRUE(writeBytes(album + "/.y.wav", "", 0));
        ASSERT_TRUE(writeBytes(album + "/cover.jpg", "", 0));
    }
    ASSERT_EQ(mkfifo((dir + "/Artist 0/pipe.wav").c_str(), 0644), 0);
    ASSERT_EQ(symlink("..", (dir + "/Artist 1/Album 1/up").c_str()), 0);
    ASSERT_EQ(symlink(dir.c_str(), (dir + "/Artist 0/loop").c_str()), 0);
    ASSERT_EQ(symlink("Album 1/CD 2/03.wav", (dir + "/Artist 1/single.wav").c_str()), 0);

    ASSERT_EQ(open(dir + "//"), "");
    ASSERT_EQ(soundGetPlaylistSize(), ALBUMS * SONGS + 1);
    std::string first = dir + "/Artist 0/Album 0/";
    EXPECT_STREQ(soundGetSongFilename(0), (first + "01.wav").c_str());
    EXPECT_STREQ(soundGetSongFilename(19), (first + "29.wav").c_str());
    EXPECT_STREQ(soundGetSongFilename(20), (first + "CD 2/03.wav").c_str());
    EXPECT_STREQ(soundGetSongFilename(30), (dir + "/Artist 0/Album 2/01.wav").c_str());
    EXPECT_STREQ(soundGetSongFilename(150), (dir + "/Artist 1/single.wav").c_str());
    EXPECT_STREQ(soundGetSongFilename(300), (dir + "/Artist 1/Album 9/CD 2/30.wav").c_str());

    // Several paths make one list, in the order given.
    char reason[256];
    ASSERT_TRUE(soundAddPlaylist((first + "CD 2").c_str(), reason, sizeof reason));
    EXPECT_EQ(soundGetPlaylistSize(), ALBUMS * SONGS + 11);
    EXPECT_FALSE(soundAddPlaylist((first + ".hidden/none").c_str(), reason, sizeof reason));
}

// Guards the tags: title, artist and album as each container carries them
// (Vorbis comments in FLAC and Ogg, ID3 in MP3), read with the length
// only when asked, and the caption's "Artist – Title".
TEST_F(LibraryTest, TagsGiveArtistTitleAndAlbum)
{
    struct {
        const char* name;
        int format;
    } kinds[] = {{"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                 {"b.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                 {"c.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}};
    for (auto& k : kinds)
        ASSERT_TRUE(writeSinePart(dir + "/" + k.name, k.format, 44100, 0, 44100 * 2, "Ünïcode Artist",
                                  "The Album", k.name));
    ASSERT_TRUE(writeSinePart(dir + "/d.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 0, 4410));
    ASSERT_EQ(open(dir), "");
    ASSERT_EQ(soundGetPlaylistSize(), 4);
    for (int i = 0; i < 3; i++) {
        EXPECT_STREQ(soundGetSongName(i), kinds[i].name);
        EXPECT_STREQ(soundGetSongArtist(i), "Ünïcode Artist") << kinds[i].name;
        EXPECT_STREQ(soundGetSongAlbum(i), "The Album") << kinds[i].name;
        EXPECT_EQ(soundGetSongLength(i), 2) << kinds[i].name;
    }
    EXPECT_STREQ(soundGetSongAlbum(3), "");
    char shown[256];
    soundSongDisplayName(0, shown, sizeof shown);
    EXPECT_STREQ(shown, "Ünïcode Artist \xE2\x80\x93 a.flac");
    soundSongDisplayName(3, shown, sizeof shown);
    EXPECT_STREQ(shown, "d");
}

class GaplessTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        audioSetOutput(AUDIO_OUTPUT_PULL);
        fakeClockInstall();
        timerInit(-1.0f);
        soundInit();
    }
    void TearDown() override
    {
        LibraryTest::TearDown();
        fakeClockRemove();
    }

    // Plays the list from its first song, calling the frame step after
    // every block as the main loop would, until `seconds` have been mixed.
    std::vector<float> play(double seconds)
    {
        const int FRAME = 735; // a 60 Hz frame's worth of samples
        std::vector<float> left;
        std::vector<float> block(FRAME * 2);
        testing::internal::CaptureStdout();
        soundPlaySong(0);
        for (double done = 0; done < seconds; done += double(FRAME) / AUDIO_RATE) {
            audioRender(block.data(), FRAME);
            for (int i = 0; i < FRAME; i++)
                left.push_back(block[size_t(i) * 2]);
            soundCheckPlayer();
        }
        testing::internal::GetCapturedStdout();
        return left;
    }

    // The sound must be the sine, unbroken: no step between two samples
    // larger than the sine's own largest, and the expected number of them.
    void expectUnbroken(const std::vector<float>& left, double seconds)
    {
        double largestStep = AMPLITUDE * 2 * M_PI * TONE / AUDIO_RATE;
        size_t heard = 0, worstAt = 0;
        double worst = 0;
        for (size_t i = 1; i < left.size(); i++) {
            double step = fabs(double(left[i]) - left[i - 1]);
            if (left[i] != 0.0f)
                heard = i + 1;
            if (i < size_t(seconds * AUDIO_RATE) - 1 && step > worst)
                worst = step, worstAt = i;
        }
        EXPECT_LE(worst, largestStep * 1.02) << "at sample " << worstAt;
        EXPECT_NEAR(double(heard), seconds * AUDIO_RATE, 2);
    }
};

// Guards the change between songs of one continuous piece, split at
// arbitrary samples: the next song's first sample follows the last one's
// at once, in the same stream, with no silence and no click.
TEST_F(GaplessTest, SameRateNeighboursJoinOnTheSample)
{
    const int WAV = SF_FORMAT_WAV | SF_FORMAT_PCM_24, FLAC = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    ASSERT_TRUE(writeSinePart(dir + "/1.wav", WAV, 44100, 0, 31337));
    ASSERT_TRUE(writeSinePart(dir + "/2.flac", FLAC, 44100, 31337, 60001));
    ASSERT_TRUE(writeSinePart(dir + "/3.wav", WAV, 44100, 60001, 100003));
    ASSERT_EQ(open(dir), "");
    soundSetRepeat(SOUND_REPEAT_OFF);
    std::vector<float> left = play(2.6);
    expectUnbroken(left, 100003.0 / 44100);
    EXPECT_EQ(soundGetCurrentSong(), 2);
    EXPECT_TRUE(soundListEnded()) << "repeat off: nothing follows the last";
}

// The same across songs of other rates, converted on the way: the next
// song's converter is primed, so its first samples carry no filter edge.
TEST_F(GaplessTest, DifferentRateNeighboursJoinWithoutAClick)
{
    const int WAV = SF_FORMAT_WAV | SF_FORMAT_FLOAT, FLAC = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    // Split where a sample of each rate falls at the same instant (every
    // 1/300 s), so the sine itself runs on without a jump.
    ASSERT_TRUE(writeSinePart(dir + "/1.wav", WAV, 44100, 0, 147 * 205));
    ASSERT_TRUE(writeSinePart(dir + "/2.flac", FLAC, 48000, 160 * 205, 160 * 438));
    ASSERT_TRUE(writeSinePart(dir + "/3.wav", WAV, 44100, 147 * 438, 90000));
    ASSERT_EQ(open(dir), "");
    soundSetRepeat(SOUND_REPEAT_OFF);
    std::vector<float> left = play(2.2);
    expectUnbroken(left, 90000.0 / 44100);
}

} // namespace
