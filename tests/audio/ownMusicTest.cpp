// The lists a person names with --playlist: M3U files, folders, single
// files and PLS files whose entries have no length, read into the song
// table with the music's own lengths and titles; and the songs that end
// when their music does.

#include "system/audio/audio.h"
#include "system/audio/sound.h"
#include "system/audio/soundResume.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"
#include "tests/audio/audioTestSupport.h"
#include "tests/support/fakeClock.h"
#include "tests/support/testData.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Guards the lengths a folder's songs show and the titles they take: the
// length read from a header alone must be the length that plays (the
// oracle: the song played through the audio layer until its channel
// reports the end), for every sampled format and for modules.
TEST(HeaderInfoTest, HeaderLengthsAreTheLengthsThatPlay)
{
    std::string audioDir = testDataDir("audio"), moduleDir = testDataDir("modules");
    struct {
        std::string path;
        double early, late; // how far the header may be off what plays
    } cases[] = {
        {audioDir + "/galway-16s.flac", 0, 0},
        {audioDir + "/galway-16s.ogg", 0, 0},
        {audioDir + "/galway-16s.opus", 0, 0},
        {audioDir + "/galway-16s.mp3", 0.03, 0}, // the decoder's padding is not in the header
        {audioDir + "/freedesktop-complete.oga", 0, 0},
        {audioDir + "/gnome-audio-error.wav", 0, 0},
        // The module library plays the last row (0.12 s here) out past its estimate.
        {moduleDir + "/openmpt-test.mod", 0.13, 0},
        {moduleDir + "/openmpt-test.xm", 0.13, 0},
        {moduleDir + "/libxmp-pattern_jump_it_break.it", 0.13, 0},
        {moduleDir + "/libxmp-stereo.s3m", 0.13, 0},
    };
    audioShutdown();
    audioSetOutput(AUDIO_OUTPUT_PULL);
    ASSERT_EQ(audioSystemInit(4), AUDIO_OK);
    const int BLOCK = 512; // the mixer's own block: the end shows within one
    std::vector<float> mix(BLOCK * 2);
    for (auto& c : cases) {
        double seconds = 0;
        char title[256];
        ASSERT_EQ(audioReadInfo(c.path.c_str(), &seconds, title, sizeof title), AUDIO_OK) << c.path;
        audioSound_t sound;
        audioChannel_t channel;
        ASSERT_EQ(audioSystemCreateSound(c.path.c_str(), &sound), AUDIO_OK) << c.path;
        ASSERT_EQ(audioSystemPlaySound(sound, 0, &channel), AUDIO_OK) << c.path;
        int blocks = 0, ended = 0;
        while (!ended && blocks < 30 * AUDIO_RATE / BLOCK) {
            audioRender(mix.data(), BLOCK);
            blocks++;
            ASSERT_EQ(audioChannelGetEnded(channel, &ended), AUDIO_OK) << c.path;
        }
        double played = double(blocks) * BLOCK / AUDIO_RATE; // the end lies in the last block
        EXPECT_GE(seconds, played - double(BLOCK) / AUDIO_RATE - c.early) << c.path;
        EXPECT_LE(seconds, played + c.late) << c.path;
        audioSoundRelease(sound);
        EXPECT_EQ(audioChannelGetEnded(channel, &ended), AUDIO_ERR_INVALID_HANDLE) << "freed with its sound";
    }
    audioShutdown();
}

// Guards what a folder listing and a title rest on: the title tags the
// libraries give, a clear failure for what is not music, and the guess by
// name, which must not open anything.
TEST(HeaderInfoTest, TitlesFailuresAndNames)
{
    std::string dir = testDataDir("audio");
    double seconds = 0;
    char title[64];
    for (const char* file : {"galway-16s.flac", "galway-16s.ogg", "galway-16s.opus", "galway-16s.mp3"}) {
        ASSERT_EQ(audioReadInfo((dir + "/" + file).c_str(), &seconds, title, sizeof title), AUDIO_OK);
        EXPECT_STREQ(title, "Galway") << file;
    }
    ASSERT_EQ(audioReadInfo((dir + "/gnome-audio-error.wav").c_str(), &seconds, title, sizeof title), AUDIO_OK);
    EXPECT_STREQ(title, "") << "no tag, no title";
    std::string module = testTempDir() + "/named.mod";
    ASSERT_TRUE(writeTestModule(module, 2, 16));
    ASSERT_EQ(audioReadInfo(module.c_str(), &seconds, title, 6), AUDIO_OK);
    EXPECT_STREQ(title, "tesse") << "cut to the buffer";
    EXPECT_NEAR(seconds, 2 * 16 * 0.12, 1e-6);

    EXPECT_EQ(audioReadInfo((dir + "/SOURCES.md").c_str(), &seconds, title, sizeof title), AUDIO_ERR_FORMAT);
    EXPECT_EQ(seconds, -1.0);
    EXPECT_STREQ(title, "");
    EXPECT_EQ(audioReadInfo("/nonexistent/a.ogg", &seconds, title, sizeof title), AUDIO_ERR_FILE);
    EXPECT_STREQ(audioLastError(), "No such file or directory");

    for (const char* yes : {"wav", "FLAC", "Ogg", "opus", "mp3", "mod", "xm", "IT", "s3m"})
        EXPECT_TRUE(audioPlaysExtension(yes)) << yes;
    for (const char* no : {"", "txt", "jpg", "m3u", "pls", "m4a", "wavwavwavwavwavwav"})
        EXPECT_FALSE(audioPlaysExtension(no)) << no;
}

// A tone whose file carries a title tag (libsndfile writes it as an INFO
// chunk in WAV, a comment in FLAC).
bool writeTaggedTone(const std::string& path, int format, double seconds, const char* title)
{
    SF_INFO info = {};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    sf_set_string(file, SF_STR_TITLE, title);
    std::vector<float> samples(size_t(seconds * 44100));
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = float(0.5 * sin(2 * M_PI * 440 * double(i) / 44100));
    bool ok = sf_writef_float(file, samples.data(), sf_count_t(samples.size())) == sf_count_t(samples.size());
    return sf_close(file) == 0 && ok;
}

class OwnListTest : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override
    {
        soundReset();
        static int serial = 0;
        dir = testTempDir() + "/own" + std::to_string(serial++);
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    }
    void TearDown() override { soundReset(); }

    std::string file(const std::string& name) { return dir + "/" + name; }

    void write(const std::string& name, const std::string& text)
    {
        ASSERT_TRUE(writeBytes(file(name), text.data(), text.size()));
    }

    // soundOpenPlaylist with its console lines swallowed; the reason, or
    // "" when it succeeded.
    std::string open(const std::string& path)
    {
        char reason[512] = "";
        testing::internal::CaptureStdout();
        int ok = soundOpenPlaylist(path.c_str(), reason, sizeof reason);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(ok == 0, reason[0] != 0) << path;
        return reason;
    }

    void expectSong(int i, const std::string& path, const char* title, int length)
    {
        EXPECT_EQ(soundGetSongFilename(i), path) << "entry " << i;
        EXPECT_STREQ(soundGetSongName(i), title) << "entry " << i;
        EXPECT_EQ(soundGetSongLength(i), length) << "entry " << i;
    }
};

// Guards the M3U reader on what real lists hold: the header and comments,
// #EXTINF with attributes (a quoted comma is no separator) and a -1 length,
// CRLF, a byte-order mark, a Latin-1 title, relative, absolute and file://
// paths, and a last line without a line break. A length the list gives is
// shown until the music's own is read (it would cut or pad the song), and
// the title tag is taken where the list names none.
TEST_F(OwnListTest, M3uGivesEntriesTitlesAndLengths)
{
    ASSERT_TRUE(writeTone(file("two.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 440, 2.5));
    ASSERT_TRUE(writeTaggedTone(file("three.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 3.2, "Tagged Three"));
    write("list.m3u", "\xEF\xBB\xBF#EXTM3U\r\n"
                      "# a comment\r\n"
                      "#EXTINF:123 tvg-name=\"a, b\" group-title=\"g\",Artist - Song\r\n"
                      "sub/listed.ogg\r\n"
                      "\r\n"
                      "#EXTINF:-1,Caf\xE9\r\n"
                      "two.wav\r\n"
                      "  three.flac  \r\n"
                      "#EXTGRP:ignored\r\n"
                      "/srv/music/gone.mp3\r\n"
                      "file:///srv/My%20Song.ogg\r\n"
                      "#EXTINF:5,\r\n"
                      "http://example.com/live/stream");
    EXPECT_EQ(open(file("list.m3u")), "");
    ASSERT_EQ(soundGetPlaylistSize(), 6);
    expectSong(0, file("sub/listed.ogg"), "Artist - Song", 123);
    expectSong(1, file("two.wav"), "Caf\xC3\xA9", 2);
    expectSong(2, file("three.flac"), "Tagged Three", 3);
    expectSong(3, "/srv/music/gone.mp3", "gone", 0); // cannot be read: its name, no length
    expectSong(4, "/srv/My Song.ogg", "My Song", 0);
    expectSong(5, "http://example.com/live/stream", "stream", 5);

    // An .m3u8 file, and a list named neither way that starts like one.
    write("list.m3u8", "#EXTINF:7,\xE6\x97\xA5\xE6\x9C\xAC\ntwo.wav\n");
    EXPECT_EQ(open(file("list.m3u8")), "");
    expectSong(0, file("two.wav"), "\xE6\x97\xA5\xE6\x9C\xAC", 2); // listed as 7: the music's own
    write("list.txt", "#EXTM3U\nthree.flac\n");
    EXPECT_EQ(open(file("list.txt")), "");
    expectSong(0, file("three.flac"), "Tagged Three", 3);
}

// Guards the M3U reader on hostile text: nothing but tags, a title without
// its path, absurd numbers, an unclosed quote, a zero byte and over-long
// lines give sane entries or none, never a crash or an overread.
TEST_F(OwnListTest, HostileM3uGivesSaneEntriesOrNone)
{
    std::string text = "#EXTINF:99999999999999999999,Huge\na.ogg\n"
                       "#EXTINF:1 tvg=\"unclosed, quote\nb.ogg\n"
                       "#EXTINF:12,Orphan title\n#EXTINF:-5,Negative\nc.ogg\n"
                       "#EXTINF\n#EXTINF:\n#\n   \n";
    text += "d" + std::string(9000, 'x') + ".ogg\n";
    text += std::string("e.ogg\0f.ogg\n", 12);
    testing::internal::CaptureStdout();
    soundParseM3u(text.data(), text.size(), "lists/x.m3u");
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(soundGetPlaylistSize(), 5);
    expectSong(0, "lists/a.ogg", "Huge", 2147483647);
    expectSong(1, "lists/b.ogg", "b", 1); // all of it is attributes: no title
    expectSong(2, "lists/c.ogg", "Negative", 0);
    EXPECT_EQ(strlen(soundGetSongFilename(3)), 4095u) << "cut to the line buffer";
    expectSong(4, "lists/e.ogg", "e", 0); // the zero byte ends the text

    soundClearPlaylist();
    testing::internal::CaptureStdout();
    soundParseM3u("", 0, "x.m3u");
    soundParseM3u("#EXTM3U\n#EXTINF:3,Alone", 23, "x.m3u");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(soundGetPlaylistSize(), 0);
}

// Guards the folder reader: music files only, chosen by their names (a
// hidden companion, a text, a picture and a folder named like music are
// left out), sorted by name, one level, with titles from the tag or the
// name and lengths from the music; a file that only looks like music by
// its name stays, with its name and no length.
TEST_F(OwnListTest, FolderGivesItsMusicFilesByName)
{
    ASSERT_TRUE(writeTone(file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 440, 2.2));
    ASSERT_TRUE(writeTaggedTone(file("b.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.5, "Bee"));
    ASSERT_TRUE(writeTestModule(file("C.mod"), 1, 16));
    ASSERT_TRUE(writeTone(file(".hidden.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 440, 1));
    write("notes.txt", "not music");
    write("cover.jpg", "\xFF\xD8\xFF\xE0");
    write("e.WAV", "only named like music");
    ASSERT_EQ(mkdir(file("d.wav").c_str(), 0755), 0);
    ASSERT_TRUE(writeTone(file("d.wav/inner.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 440, 1));

    EXPECT_EQ(open(dir + "/"), "");
    ASSERT_EQ(soundGetPlaylistSize(), 5);
    expectSong(0, file("C.mod"), "tessellune test", 1); // 16 rows of 0.12 s
    expectSong(1, file("a.wav"), "a", 2);
    expectSong(2, file("b.flac"), "Bee", 1);
    expectSong(3, file("e.WAV"), "e", 0);
    expectSong(4, file("d.wav/inner.wav"), "inner", 1); // a folder's songs, then its subfolders'


    // One music file on its own.
    EXPECT_EQ(open(file("b.flac")), "");
    ASSERT_EQ(soundGetPlaylistSize(), 1);
    expectSong(0, file("b.flac"), "Bee", 1);
}

// Guards the one clear line before any window: what cannot be played
// says why, and the table is left empty.
TEST_F(OwnListTest, WhatCannotBePlayedIsRefusedWithTheReason)
{
    ASSERT_EQ(mkdir(file("empty").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(file("texts").c_str(), 0755), 0);
    write("texts/readme.txt", "words");
    write("empty.m3u", "#EXTM3U\n# nothing\n");
    write("empty.pls", "[playlist]\nNumberOfEntries=0\n");
    write("zero.pls", "");
    write("notes.txt", "words");
    write("broken.ogg", "OggS but no stream at all");
    struct {
        std::string path, reason;
    } cases[] = {
        {file("missing.m3u"), "No such file or directory"},
        {"/dev/null", "neither a file nor a folder"},
        {file("empty"), "no music files in this folder"},
        {file("texts"), "no music files in this folder"},
        {file("empty.m3u"), "no songs in this playlist"},
        {file("empty.pls"), "no songs in this playlist"},
        {file("zero.pls"), "empty file"},
        {file("notes.txt"), "neither a playlist nor music this player plays (not a known audio format)"},
        {file("broken.ogg"), "neither a playlist nor music this player plays (not a known audio format)"},
    };
    for (auto& c : cases) {
        write("good.m3u", "a.ogg\n");
        open(file("good.m3u"));
        EXPECT_EQ(open(c.path), c.reason) << c.path;
        EXPECT_EQ(soundGetPlaylistSize(), 0) << c.path;
    }
}

// Guards PLS files named with --playlist: an entry needs only its File
// (the bundled reader also wants Title and Length), takes the music's
// length over the list's once known, and lines written out of order are
// paired by their track numbers, not by where they stand.
TEST_F(OwnListTest, PlsEntriesWithoutALengthAreKept)
{
    ASSERT_TRUE(writeTone(file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 440, 2.2));
    write("own.pls", "[playlist]\nFile1=a.wav\nTitle1=A\n"
                     "Length2=90\nTitle2=B\nFile2=b.ogg\n"
                     "File3=c.ogg\nTitle3=C\nLength3=-1\n"
                     "File5=e.ogg\nTitle4=D\nFile4=d.ogg\nLength4=0\n"
                     "File6=a.wav\nTitle6=F");
    EXPECT_EQ(open(file("own.pls")), "");
    ASSERT_EQ(soundGetPlaylistSize(), 6);
    expectSong(0, file("a.wav"), "A", 2);
    expectSong(1, file("b.ogg"), "B", 90); // missing: the list's length, until it is skipped
    expectSong(2, file("c.ogg"), "C", 0);
    expectSong(3, file("e.ogg"), "e", 0); // no title of its own: the file's name
    expectSong(4, file("d.ogg"), "D", 0);
    expectSong(5, file("a.wav"), "F", 2);
    write("bare.pls", "[playlist]\nFile1=a.wav\nFile2=a.wav\nNumberOfEntries=2\n");
    EXPECT_EQ(open(file("bare.pls")), "");
    ASSERT_EQ(soundGetPlaylistSize(), 2) << "entries without titles";
    expectSong(1, file("a.wav"), "a", 2);

    std::string pls = testDataDir("pls");
    open(pls + "/playlistsnet__Playlist2.pls");
    ASSERT_EQ(soundGetPlaylistSize(), 4); // File1 has no title: still an entry
    EXPECT_STREQ(soundGetSongFilename(0), "http://stream3.polskieradio.pl:8902/");
    expectSong(1, "http://stream.polskastacja.pl/ps43_mp3?player_groupPS_EXT_MP3",
               "Server1-> >>> P O L S K A S T A C J A <<<- Ballady Rockowe", 0);
    expectSong(2, pls + "/Weird Al - This Is The Life.mp3", "Weird Al Yankovic - This is the Life", 0);
    expectSong(3, "/home/uzytkownik/muzyka-1.mp3", "Myslovitz - Sprzedawcy Marze\xC5\x84", 5720);
}

// The same rule on the collected playlists of copyleft projects, which stay
// outside the repository.
TEST_F(OwnListTest, CopyleftPlsFilesKeepTheirEntriesWithoutALength)
{
    REQUIRE_OUTSIDE_TEST_DATA(pls, "pls", "GPL, LGPL and EPL");
    struct {
        const char* file;
        int entries;
    } real[] = {{"amarok__test.pls", 4},          {"amarok__test2.pls", 5},
                {"clj-pls__dubstep.pls", 7},      {"fooyin__mixedrelative.pls", 8},
                {"totem-pl-parser__missing-items.pls", 0}};
    for (auto& r : real) {
        open(pls + "/" + r.file);
        EXPECT_EQ(soundGetPlaylistSize(), r.entries) << r.file;
    }
    open(pls + "/fooyin__mixedrelative.pls");
    expectSong(4, "/absolute/path/local-file.flac", "Local File - Absolute", 240);
    expectSong(6, "https://external.example.com/direct/live", "External Direct Stream", 0);
}

// Songs without a length of their own, played on the pull output with the
// fake clock, so that the music's end and the frame timer are apart.
class MusicEndTest : public OwnListTest {
protected:
    void SetUp() override
    {
        OwnListTest::SetUp();
        audioSetOutput(AUDIO_OUTPUT_PULL);
        fakeClockInstall();
        timerInit(-1.0f);
        windowSetTitle("Tessellune");
        soundInit();
    }
    void TearDown() override
    {
        OwnListTest::TearDown();
        fakeClockRemove();
    }

    std::vector<float> render(double seconds)
    {
        std::vector<float> mix(size_t(seconds * AUDIO_RATE) * 2);
        audioRender(mix.data(), int(mix.size() / 2));
        return mix;
    }

    std::string checkPlayer(void)
    {
        testing::internal::CaptureStdout();
        soundCheckPlayer();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

// Guards the end of a song whose length is the music's: the next starts
// when the audio layer reports the end, whatever the frame timer says (the
// playlist rule would leave 1.3 s early here, or hold the next song back),
// through the same step as NEXT; the position shown is the audio layer's.
TEST_F(MusicEndTest, TheNextSongStartsWhenTheMusicEnds)
{
    ASSERT_TRUE(writeTone(file("1 low.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 440, 1.7));
    ASSERT_TRUE(writeTone(file("2 high.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 880, 1.2));
    EXPECT_EQ(open(dir), "");
    soundPlaySong(0);
    EXPECT_STREQ(title, "01/02. 1 low (00:01)");
    fakeClockUpdateTo(100);
    render(1.65);
    EXPECT_EQ(checkPlayer(), "") << "the frame timer is past the length; the music is not";
    EXPECT_NEAR(soundGetSongPosition(), 1.65, 0.012) << "within one mixed block";
    render(0.1);
    EXPECT_EQ(checkPlayer(), "current_song:0, song_i:2, modulo:1\n");
    EXPECT_STREQ(title, "02/02. 2 high (00:01)");
    std::vector<float> start = render(0.5);
    EXPECT_NEAR(crossingFrequency(start.data(), start.size() / 2, 2, AUDIO_RATE), 880, 1);
    // The next song followed on the sample, 0.05 s into the last block.
    EXPECT_NEAR(soundGetSongPosition(), 0.55, 0.012);
    fakeClockUpdateTo(100.5);
    EXPECT_EQ(checkPlayer(), "") << "no end yet, though the timer had run the first song's length";
    render(0.8);
    EXPECT_EQ(checkPlayer(), "current_song:1, song_i:2, modulo:0\n") << "after the last, the first";

    soundStop();
    EXPECT_EQ(soundGetSongPosition(), 0.0f) << "nothing plays";
}

// Guards a list of songs that would not play: each is passed over at once
// with its warning, and after a whole round the player stops instead of
// trying them again every frame.
TEST_F(MusicEndTest, SongsThatWouldNotPlayAreLeftAndARoundOfThemStops)
{
    write("list.m3u", "gone1.ogg\ngone2.ogg\n");
    EXPECT_EQ(open(file("list.m3u")), "");
    testing::internal::CaptureStderr();
    soundPlaySong(0);
    EXPECT_EQ(checkPlayer(), "current_song:0, song_i:2, modulo:1\n");
    EXPECT_EQ(soundIsPlaying(), 1);
    EXPECT_EQ(checkPlayer(), "");
    std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(soundIsPlaying(), 0);
    EXPECT_EQ(soundGetCurrentSong(), 1);
    EXPECT_EQ(warnings, "tessellune: cannot play \"" + file("gone1.ogg") + "\": No such file or directory\n"
                        "tessellune: cannot play \"" + file("gone2.ogg") + "\": No such file or directory\n"
                        "tessellune: none of the songs would play; stopped\n");
    EXPECT_EQ(checkPlayer(), "");
}

// Guards the kept place of a list: a damaged or foreign state file is
// ignored whole (nothing cued, volume untouched, nothing printed), and one
// that cannot be written costs one line.
TEST_F(MusicEndTest, DamagedResumeStateIsIgnoredAndAnUnwritableOneCostsALine)
{
    ASSERT_TRUE(writeTone(file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 440, 1.0));
    EXPECT_EQ(open(file("a.wav")), "");
    setenv("XDG_STATE_HOME", dir.c_str(), 1);
    mkdir(file("tessellune").c_str(), 0700);
    std::string good = "list=" + file("a.wav") + "\nsong=0\nposition=0.5\nvolume=80\nmuted=0\nshuffle=0\nrepeat=2\n";
    std::string damaged[] = {good.substr(0, good.size() / 2), "\xff\xfe\x01garbage=\n==\n",
                             std::string(good).replace(good.find("80"), 2, "150"),
                             std::string(good).replace(good.find("0.5"), 3, "nan"),
                             "list=" + file("other.wav") + good.substr(good.find("\nsong"))};
    for (const std::string& text : damaged) {
        write("tessellune/resume", text);
        testing::internal::CaptureStderr();
        EXPECT_EQ(soundResumeLoad(file("a.wav").c_str()), 0) << text;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(soundGetVolume(), 100);
        EXPECT_EQ(soundIsPlaying(), 0);
    }
    soundResumeSave(file("a.wav").c_str(), 0, 0.5f);
    EXPECT_EQ(soundResumeLoad(file("a.wav").c_str()), 1) << "what was saved is taken up";
    EXPECT_TRUE(soundIsPaused());
    chmod(file("tessellune").c_str(), 0500);
    unlink(file("tessellune/resume").c_str());
    testing::internal::CaptureStderr();
    soundResumeSave(file("a.wav").c_str(), 0, 0.5f);
    std::string line = testing::internal::GetCapturedStderr();
    chmod(file("tessellune").c_str(), 0700);
    unsetenv("XDG_STATE_HOME");
    if (geteuid() != 0) { // root writes anyway
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    }
}

} // namespace
