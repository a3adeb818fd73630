// The PLS reader and the song table: the documented edge cases, the mended
// faults, and playlists other programs wrote.

#include "system/audio/audio.h"
#include "system/audio/sound.h"
#include "system/audio/soundText.h"
#include "tests/audio/audioTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class PlaylistTest : public ::testing::Test {
protected:
    void SetUp() override { soundReset(); }
    void TearDown() override { soundReset(); }

    // Parses `text` as if read from data/music/playlist.pls; returns stdout.
    std::string parse(const std::string& text, const char* path = "data/music/playlist.pls")
    {
        testing::internal::CaptureStdout();
        soundParsePlaylist(text.data(), text.size(), path);
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    void expectSong(int i, const char* file, const char* title, int length)
    {
        EXPECT_STREQ(soundGetSongFilename(i), file) << "entry " << i;
        EXPECT_STREQ(soundGetSongName(i), title) << "entry " << i;
        EXPECT_EQ(soundGetSongLength(i), length) << "entry " << i;
    }
};

// Guards the entry rule: complete when Length is non-zero and File and
// Title are set, in any order, with the console line for each entry.
TEST_F(PlaylistTest, EntriesCompleteInAnyOrderAndAreAnnounced)
{
    std::string out = parse("File1=a.ogg\nTitle1=A\nLength1=100\n");
    ASSERT_EQ(soundGetPlaylistSize(), 1);
    expectSong(0, "data/music/a.ogg", "A", 100);
    EXPECT_EQ(out, "00: filename:'data/music/a.ogg', title:'A', length:'100'\n");

    soundClearPlaylist();
    parse("Length1=100\nTitle1=A\nFile1=a.ogg\n");
    ASSERT_EQ(soundGetPlaylistSize(), 1);
    expectSong(0, "data/music/a.ogg", "A", 100);

    // Length 0 never completes; its texts are overwritten by the next entry.
    soundClearPlaylist();
    parse("File1=x.ogg\nTitle1=X\nLength1=0\nFile2=b.ogg\nTitle2=B\nLength2=90\n");
    ASSERT_EQ(soundGetPlaylistSize(), 1);
    expectSong(0, "data/music/b.ogg", "B", 90);

    // A negative length completes and reads back negative.
    soundClearPlaylist();
    parse("File1=c.ogg\nTitle1=C\nLength1=-1\n");
    expectSong(0, "data/music/c.ogg", "C", -1);

    // An empty File= names the list's folder and completes its entry, so
    // the next file keeps its own title and length.
    soundClearPlaylist();
    parse("File1=a.ogg\nTitle1=A\nLength1=100\nFile2=\nTitle2=B\nLength2=5\n"
          "File3=c.ogg\nTitle3=C\nLength3=7\n");
    ASSERT_EQ(soundGetPlaylistSize(), 3);
    expectSong(0, "data/music/a.ogg", "A", 100);
    expectSong(1, "data/music/", "B", 5);
    expectSong(2, "data/music/c.ogg", "C", 7);
}

TEST_F(PlaylistTest, KeysAreExactAndValuesDropFurtherEquals)
{
    parse("file1=a.ogg\nTitle1=A\nLength1=5\n");
    EXPECT_EQ(soundGetPlaylistSize(), 0) << "lower-case key";
    parse("File1 =a.ogg\nLength1=5\n");
    EXPECT_EQ(soundGetPlaylistSize(), 0) << "blank before the =";
    parse("File1=a.ogg\nTitle1=A=B\nLength1=  +7xyz\n");
    ASSERT_EQ(soundGetPlaylistSize(), 1);
    expectSong(0, "data/music/a.ogg", "AB", 7);
    // Digits anywhere in the key part are the track number, not the key.
    parse("Fi1le=b.ogg\nTi2tle=B\nLen3gth=8\n");
    ASSERT_EQ(soundGetPlaylistSize(), 2);
    expectSong(1, "data/music/b.ogg", "B", 8);
}

TEST_F(PlaylistTest, RelativeNamesTakeThePlaylistsDirectory)
{
    parse("File1=a.ogg\nTitle1=A\nLength1=1\n", "playlist.pls");
    parse("File1=b.ogg\nTitle1=B\nLength1=1\n", "C:\\music\\list.pls");
    parse("File1=sub/c.ogg\nTitle1=C\nLength1=1\n", "/srv/music/list.pls");
    EXPECT_STREQ(soundGetSongFilename(0), "a.ogg");
    EXPECT_STREQ(soundGetSongFilename(1), "C:\\music\\b.ogg");
    EXPECT_STREQ(soundGetSongFilename(2), "/srv/music/sub/c.ogg");
}

// Mend: absolute names and URIs were prefixed with the playlist's folder.
TEST_F(PlaylistTest, AbsoluteNamesAndUrisStandAsWritten)
{
    const char* cases[][2] = {
        {"/home/me/a.flac", "/home/me/a.flac"},
        {"C:\\Music\\a.mp3", "C:\\Music\\a.mp3"},
        {"d:/music/a.mp3", "d:/music/a.mp3"},
        {"\\\\server\\share\\a.ogg", "\\\\server\\share\\a.ogg"},
        {"http://example.com:8000/live", "http://example.com:8000/live"},
        {"file:///home/me/My%20Song%C3%A4.ogg", "/home/me/My Song\xC3\xA4.ogg"},
        {"FILE://localhost/srv/a.ogg", "/srv/a.ogg"},
        {"file:///C:/Music/a%2.ogg", "C:/Music/a%2.ogg"},
        {"file://nas/share/a.ogg", "//nas/share/a.ogg"},
        {"file:///a%00b.ogg", "/a%00b.ogg"},
        {"c:relative.ogg", "data/music/c:relative.ogg"},
        {"1a://b", "data/music/1a://b"}, // a scheme starts with a letter
    };
    char out[4096];
    for (auto& c : cases) {
        soundTextResolveFile("data/music/", c[0], out, sizeof out);
        EXPECT_STREQ(out, c[1]) << c[0];
    }
}

// Mends: bytes of 128 or more ended the whole load; a last line without a
// line break was lost; a byte-order mark spoiled the first key.
TEST_F(PlaylistTest, NonAsciiBytesByteOrderMarkAndLastLineAreRead)
{
    parse("\xEF\xBB\xBF"
          "File1=f\xC3\xBCr/\xE6\x97\xA5.ogg\nTitle1=Fr\xC3\xBChling\nLength1=3\n"
          "File2=b.ogg\nTitle2=Caf\xE9 \xC0 la carte\nLength2=4");
    ASSERT_EQ(soundGetPlaylistSize(), 2);
    expectSong(0, "data/music/f\xC3\xBCr/\xE6\x97\xA5.ogg", "Fr\xC3\xBChling", 3);
    expectSong(1, "data/music/b.ogg", "Caf\xC3\xA9 \xC3\x80 la carte", 4);
}

TEST_F(PlaylistTest, Utf8CheckRejectsMalformedSequences)
{
    EXPECT_TRUE(soundTextIsUtf8("plain"));
    EXPECT_TRUE(soundTextIsUtf8("\xF0\x9F\x8E\xB5 \xE2\x82\xAC"));
    EXPECT_FALSE(soundTextIsUtf8("\xC0\xAF")) << "overlong";
    EXPECT_FALSE(soundTextIsUtf8("\xED\xA0\x80")) << "surrogate";
    EXPECT_FALSE(soundTextIsUtf8("\xF4\x90\x80\x80")) << "past U+10FFFF";
    EXPECT_FALSE(soundTextIsUtf8("\xE2\x82")) << "cut short";
    char out[6];
    soundTextLatin1ToUtf8("ab\xE9\xE9", out, sizeof out);
    EXPECT_STREQ(out, "ab\xC3\xA9") << "cut before a character that does not fit";
}

// Mend: entries past the table's 256, and over-long lines, went past the
// end of their buffers.
TEST_F(PlaylistTest, OverfullTableAndLongLinesAreCutSafely)
{
    std::string text;
    for (int i = 1; i <= 300; i++)
        text += "File=f" + std::to_string(i) + ".ogg\nTitle=T\nLength=1\n";
    testing::internal::CaptureStderr();
    parse(text);
    std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_EQ(soundGetPlaylistSize(), 256);
    EXPECT_STREQ(soundGetSongFilename(255), "data/music/f256.ogg");
    EXPECT_EQ(warning, "tessellune: data/music/playlist.pls: more than 256 songs; the rest are left out\n");
    EXPECT_EQ(soundAddSongToPlaylist("x", "y", 1), -1);

    soundClearPlaylist();
    std::string longTitle(10000, 'x');
    parse("File=a.ogg\nTitle=" + longTitle + "\nLength=99999999999\n");
    ASSERT_EQ(soundGetPlaylistSize(), 1);
    EXPECT_EQ(std::string(soundGetSongName(0)), std::string(4095 - 6, 'x'));
    EXPECT_EQ(soundGetSongLength(0), 2147483647) << "clamped, not undefined";
}

// Mend: the getters read outside the table; the main loop asks for the
// current title every frame, also with an empty table.
TEST_F(PlaylistTest, GettersOutsideTheTableAnswerEmpty)
{
    EXPECT_STREQ(soundGetSongName(0), "");
    parse("File=a.ogg\nTitle=A\nLength=1\n");
    for (int bad : {-1, 1, 256, 100000}) {
        EXPECT_STREQ(soundGetSongName(bad), "");
        EXPECT_STREQ(soundGetSongFilename(bad), "");
        EXPECT_EQ(soundGetSongLength(bad), 0);
    }
    EXPECT_EQ(soundGetTrackNumber(4), 5);
}

TEST_F(PlaylistTest, MissingFileLeavesAnEmptyTableAndLoadReplaces)
{
    parse("File=a.ogg\nTitle=A\nLength=1\n");
    testing::internal::CaptureStderr();
    soundLoadPlaylist("/nonexistent/playlist.pls");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tessellune: cannot read the playlist \"/nonexistent/playlist.pls\": No such file or "
              "directory; no songs to play\n");
    EXPECT_EQ(soundGetPlaylistSize(), 0);
    // A folder opens but cannot be read; the reason must survive the close.
    std::string folder = testTempDir();
    testing::internal::CaptureStderr();
    soundLoadPlaylist(folder.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tessellune: cannot read the playlist \"" + folder + "\": Is a directory; no songs to play\n");
    // A zero byte ends the text like the end of the file, and the line
    // before it is read as a last line: trailing zero bytes must not cost
    // the last song.
    std::string withZero("File=a.ogg\nTitle=A\nLength=1\n\0File=b.ogg\nTitle=B\nLength=2\n", 56);
    parse(withZero);
    EXPECT_EQ(soundGetPlaylistSize(), 1);
    std::string trailingZeros("File=c.ogg\nTitle=C\nLength=3\0\0\0File=d.ogg\n", 41);
    soundClearPlaylist();
    parse(trailingZeros);
    ASSERT_EQ(soundGetPlaylistSize(), 1);
    expectSong(0, "data/music/c.ogg", "C", 3);
}

struct realWorldCase_t {
    const char* file;
    int entries;
};

// Playlists written by other programs: the entries each one yields.
void expectEntries(const std::string& dir, const std::vector<realWorldCase_t>& cases)
{
    for (auto& c : cases) {
        testing::internal::CaptureStdout();
        soundLoadPlaylist((dir + "/" + c.file).c_str());
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(soundGetPlaylistSize(), c.entries) << c.file;
    }
}

// Blank lines, entries out of order or without a title or length, absolute
// and relative names, UTF-8 titles, no final newline, a server's listener
// counts in the titles.
TEST_F(PlaylistTest, RealWorldPlaylists)
{
    std::string prefix = testDataDir("pls") + "/";
    expectEntries(testDataDir("pls"), {{"javascript-playlist-parser__example.pls", 3},
                                       {"playlistsnet__Playlist.pls", 2},
                                       {"playlistsnet__Playlist2.pls", 2}});
    soundLoadPlaylist((prefix + "playlistsnet__Playlist2.pls").c_str());
    expectSong(0, "http://stream.polskastacja.pl/ps43_mp3?player_groupPS_EXT_MP3",
               "Server1-> >>> P O L S K A S T A C J A <<<- Ballady Rockowe", -1);
    expectSong(1, "/home/uzytkownik/muzyka-1.mp3", "Myslovitz - Sprzedawcy Marze\xC5\x84", 5720);
}

// More of them, whose licences keep them out of the repository: junk before
// the header, lower-case keys, CRLF line ends, UTF-8 and spaces in relative
// names, more entries announced than written, network addresses.
TEST_F(PlaylistTest, RealWorldPlaylistsUnderCopyleftLicences)
{
    REQUIRE_OUTSIDE_TEST_DATA(dir, "pls", "GPL, LGPL and EPL");
    expectEntries(dir, {
        {"amarok__test.pls", 0},           {"amarok__test2.pls", 0},
        {"clementine__pls_one.pls", 1},    {"clementine__pls_somafm.pls", 4},
        {"clementine__secretagent.pls", 4}, {"clj-pls__dubstep.pls", 7},
        {"clj-pls__local_utf8.pls", 29},   {"clj-pls__metal-only.pls", 1},
        {"clj-pls__one-entry-playlist.pls", 1}, {"clj-pls__rautemusik_crlf.pls", 1},
        {"fooyin__mixedrelative.pls", 8},  {"gerbera__example-external-video.pls", 1},
        {"totem-pl-parser__BassDrive.pls", 12},
        {"totem-pl-parser__emptyplaylist.pls", 0}, {"totem-pl-parser__missing-items.pls", 0},
    });
    std::string prefix = dir + "/";
    soundLoadPlaylist((prefix + "clj-pls__local_utf8.pls").c_str());
    expectSong(28, (prefix + "Rammstein - Liebe ist f\xC3\xBCr alle da/17 Rammlied (Thrash-Terpiece Remix).mp3").c_str(),
               "Rammlied (Thrash-Terpiece Remix)", 380);
    EXPECT_STREQ(soundGetSongName(17), "Fr\xC3\xBChling in Paris");
    soundLoadPlaylist((prefix + "fooyin__mixedrelative.pls").c_str());
    expectSong(4, "/absolute/path/local-file.flac", "Local File - Absolute", 240);
    EXPECT_STREQ(soundGetSongFilename(2), (prefix + "../backup/low.ogg").c_str());
    EXPECT_STREQ(soundGetSongFilename(6), "https://external.example.com/direct/live");
    soundLoadPlaylist((prefix + "clj-pls__rautemusik_crlf.pls").c_str());
    expectSong(0, "http://main-high.rautemusik.fm", "#Musik.Main", -1);
    soundLoadPlaylist((prefix + "clementine__pls_one.pls").c_str());
    expectSong(0, (prefix + "filename with spaces.mp3").c_str(), "Title", 123);
}

} // namespace

namespace {

// Guards the bundled playlist: three songs that load, with lengths that
// match the music (a wrong length cuts a song short or leaves a silence).
TEST(BundledMusicTest, PlaylistTitlesAndLengthsMatchTheSongs)
{
    soundReset();
    testing::internal::CaptureStdout();
    soundLoadPlaylist("data/music/playlist.pls");
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(soundGetPlaylistSize(), 3);
    EXPECT_STREQ(soundGetSongName(0), "Tessellate");
    EXPECT_STREQ(soundGetSongName(1), "Drift");
    EXPECT_STREQ(soundGetSongName(2), "Glass");
    audioSetOutput(AUDIO_OUTPUT_PULL);
    ASSERT_EQ(audioSystemInit(4), AUDIO_OK);
    for (int i = 0; i < 3; i++) {
        audioSound_t sound;
        audioChannel_t channel;
        ASSERT_EQ(audioSystemCreateSound(soundGetSongFilename(i), &sound), AUDIO_OK) << audioLastError();
        ASSERT_EQ(audioSystemPlaySound(sound, 0, &channel), AUDIO_OK);
        uint32_t length = uint32_t(soundGetSongLength(i)) * 1000;
        EXPECT_EQ(audioChannelSetPosition(channel, length - 500, AUDIO_TIME_MS), AUDIO_OK) << i;
        EXPECT_EQ(audioChannelSetPosition(channel, length + 1000, AUDIO_TIME_MS), AUDIO_ERR_POSITION) << i;
    }
    audioShutdown();
    soundReset();
}

} // namespace
