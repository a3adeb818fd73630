// Internet radio: the readers of what a station sends besides its music,
// and one station played whole through the sound front from a server in
// this process (a playlist over HTTP, ICY titles, a drop and the reconnect).

#include "system/audio/audio.h"
#include "system/audio/sound.h"
#include "system/audio/streamProtocol.h"
#include "tests/audio/audioTestSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

streamHeaderResult_t feedHeader(streamHeaders_t* headers, const std::string& text)
{
    streamHeadersReset(headers);
    streamHeaderResult_t result = STREAM_HEADER_MORE;
    for (size_t at = 0; at < text.size() && (result == STREAM_HEADER_MORE || result == STREAM_HEADER_DONE);) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        result = streamHeaderLine(headers, text.data() + at, end - at);
        at = end;
    }
    return result;
}

// Guards against taking a redirect's fields for the answer's, missing ICY
// answers, trusting an absurd interval and unbounded headers.
TEST(StreamProtocolTest, HeaderReaderKeepsTheFinalAnswerAndHoldsItsBounds)
{
    streamHeaders_t h;
    EXPECT_EQ(feedHeader(&h, "HTTP/1.1 200 OK\r\nContent-Type: Audio/MPEG; charset=x\r\nicy-metaint: 16000\r\n"
                             "icy-name: Caf\xE9 FM\r\n\r\n"),
              STREAM_HEADER_DONE);
    EXPECT_EQ(h.status, 200);
    EXPECT_EQ(h.metaint, 16000u);
    EXPECT_STREQ(h.contentType, "audio/mpeg");
    EXPECT_STREQ(h.icyName, "Caf\xC3\xA9 FM"); // Latin-1 made UTF-8

    EXPECT_EQ(feedHeader(&h, "HTTP/1.1 302 Found\r\nContent-Type: text/html\r\nicy-metaint: 8\r\n\r\n"
                             "ICY 200 OK\r\nicy-metaint:99999999999\r\n\r\n"),
              STREAM_HEADER_DONE);
    EXPECT_TRUE(h.icy);
    EXPECT_EQ(h.metaint, 0u);
    EXPECT_STREQ(h.contentType, "");

    EXPECT_EQ(feedHeader(&h, "<html><body>\r\n"), STREAM_HEADER_MALFORMED);
    std::string huge = "HTTP/1.0 200 OK\r\n";
    while (huge.size() <= STREAM_HEADER_MOST)
        huge += "X-Padding: " + std::string(100, 'p') + "\r\n";
    EXPECT_EQ(feedHeader(&h, huge), STREAM_HEADER_TOO_LARGE);
}

struct splitResult_t {
    std::string audio;
    std::vector<std::string> blocks;
};

// Guards against losing or leaking bytes where a read ends inside a length
// byte, a block or its padding: every cut of one stream gives the same.
TEST(StreamProtocolTest, IcySplitterGivesTheSameWhereverTheReadsEnd)
{
    const size_t metaint = 37;
    std::string audio, wire;
    std::vector<std::string> blocks = {"StreamTitle='A';", std::string(STREAM_META_MOST, 'x'), "StreamTitle='B';"};
    for (int i = 0; i < 12; i++) {
        std::string piece;
        for (size_t k = 0; k < metaint; k++)
            piece += char((i * 31 + k * 7) & 0xFF);
        audio += piece;
        wire += piece;
        std::string block = i % 4 == 1 ? blocks[size_t(i / 4)] : "";
        size_t units = (block.size() + 15) / 16;
        wire += char(units);
        wire += block + std::string(units * 16 - block.size(), '\0');
    }
    for (size_t cut = 1; cut <= 200; cut++) {
        streamIcy_t* icy = new streamIcy_t;
        streamIcyInit(icy, metaint);
        splitResult_t got;
        for (size_t at = 0; at < wire.size(); at += cut)
            streamIcyTake(
                icy, reinterpret_cast<const unsigned char*>(wire.data()) + at, std::min(cut, wire.size() - at),
                [](void* c, const unsigned char* d, size_t n) { static_cast<splitResult_t*>(c)->audio.append((const char*)d, n); },
                [](void* c, const char* b, size_t n) { static_cast<splitResult_t*>(c)->blocks.emplace_back(b, n); }, &got);
        delete icy;
        ASSERT_EQ(got.audio, audio) << "reads of " << cut;
        ASSERT_EQ(got.blocks, blocks) << "reads of " << cut;
    }
}

// Guards against titles cut at an apostrophe, shown garbled, or made of nothing.
TEST(StreamProtocolTest, StreamTitleReadsWhatStationsWrite)
{
    char title[64];
    const char* block = "StreamTitle='Guns N' Roses - Don't Cry';StreamUrl='';";
    ASSERT_TRUE(streamIcyTitle(block, strlen(block), title, sizeof title));
    EXPECT_STREQ(title, "Guns N' Roses - Don't Cry");
    block = "StreamTitle='Bj\xF6rk';";
    ASSERT_TRUE(streamIcyTitle(block, strlen(block), title, sizeof title));
    EXPECT_STREQ(title, "Bj\xC3\xB6rk");
    block = "StreamTitle='Cut short";
    ASSERT_TRUE(streamIcyTitle(block, strlen(block), title, sizeof title));
    EXPECT_STREQ(title, "Cut short");
    block = "StreamTitle='';";
    EXPECT_FALSE(streamIcyTitle(block, strlen(block), title, sizeof title));
    block = "StreamUrl='x';";
    EXPECT_FALSE(streamIcyTitle(block, strlen(block), title, sizeof title));
    EXPECT_TRUE(streamIcyWellFormed(block, strlen(block)));
    block = "\x93\x12StreamTitle='x';"; // a wrong interval: music read as metadata
    EXPECT_FALSE(streamIcyWellFormed(block, strlen(block)));
}

// Guards the choice of decoder: a named type decides, a generic one leaves
// it to the address and then to the bytes.
TEST(StreamProtocolTest, KindComesFromTypeThenAddressThenBytes)
{
    const unsigned char ogg[] = "OggS", pls[] = "\r\n[playlist]";
    EXPECT_EQ(streamKindOf("audio/mpeg", "http://a/x.pls", nullptr, 0), STREAM_MP3);
    EXPECT_EQ(streamKindOf("audio/x-scpls", "http://a/x", nullptr, 0), STREAM_LIST_PLS);
    EXPECT_EQ(streamKindOf("audio/aacp", "http://a/x.mp3", nullptr, 0), STREAM_UNSUPPORTED);
    EXPECT_EQ(streamKindOf("application/vnd.apple.mpegurl", "http://a/x.m3u8", nullptr, 0), STREAM_UNSUPPORTED);
    EXPECT_EQ(streamKindOf("text/plain", "http://a/list.M3U8?x=1", nullptr, 0), STREAM_LIST_M3U);
    EXPECT_EQ(streamKindOf("", "http://a/live", ogg, 4), STREAM_OGG);
    EXPECT_EQ(streamKindOf("application/octet-stream", "http://a/", pls, sizeof pls - 1), STREAM_LIST_PLS);
}

// --- a station in this process ----------------------------------------------------

const double TONE = 440;
const size_t METAINT = 1000;

// Answers "/list.pls" with a list that names local files beside the
// station, and "/station" with an ICY answer of an MP3 tone and its title;
// the first answer of the station is cut off part way.
struct station_t {
    int listener = -1;
    int port = 0;
    std::string mp3;
    std::atomic<int> stationAnswers{0};
    std::atomic<bool> stop{false};
    std::thread thread;
};

void answer(station_t* s, int client)
{
    char request[4096];
    ssize_t got = recv(client, request, sizeof request - 1, 0);
    request[got > 0 ? got : 0] = 0;
    std::string out;
    if (strstr(request, "GET /list.pls")) {
        std::string body = "[playlist]\nFile1=/etc/passwd\nFile2=file:///etc/passwd\nFile3=http://127.0.0.1:" +
                           std::to_string(s->port) + "/station\nTitle3=Listed\nLength3=-1\n";
        out = "HTTP/1.1 200 OK\r\nContent-Type: audio/x-scpls\r\nContent-Length: " + std::to_string(body.size()) +
              "\r\n\r\n" + body;
    } else {
        int first = s->stationAnswers++ == 0;
        out = "ICY 200 OK\r\nicy-name: Test FM\r\ncontent-type: audio/mpeg\r\nicy-metaint: " +
              std::to_string(METAINT) + "\r\n\r\n";
        std::string meta = "StreamTitle='Tune " + std::to_string(first ? 1 : 2) + "';";
        meta.resize((meta.size() + 15) / 16 * 16, '\0');
        size_t end = first ? s->mp3.size() / 3 : s->mp3.size();
        for (size_t at = 0; at < end; at += METAINT) {
            out += s->mp3.substr(at, METAINT);
            out += at == 0 ? std::string(1, char(meta.size() / 16)) + meta : std::string(1, '\0');
        }
    }
    for (size_t sent = 0; sent < out.size() && !s->stop;) {
        ssize_t n = send(client, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    close(client);
}

bool startStation(station_t* s)
{
    std::string path = testTempDir() + "/tone.mp3";
    if (!writeTone(path, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, AUDIO_RATE, 2, TONE, 12))
        return false;
    std::vector<unsigned char> bytes = readBytes(path);
    s->mp3.assign(bytes.begin(), bytes.end());
    s->listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(s->listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(s->listener, 4) != 0 ||
        getsockname(s->listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return false;
    s->port = ntohs(address.sin_port);
    s->thread = std::thread([s] {
        for (int client; (client = accept(s->listener, nullptr, nullptr)) >= 0 && !s->stop;)
            answer(s, client);
    });
    return true;
}

void stopStation(station_t* s)
{
    s->stop = true;
    shutdown(s->listener, SHUT_RDWR);
    close(s->listener);
    if (s->thread.joinable())
        s->thread.join();
}

// Renders as a device would pull, a block about every 23 ms, for
// `frames` frames, or until the label shows `title` (or a minute passes,
// which only a fault takes); returns what was rendered.
std::vector<float> play(size_t frames, const char* title = nullptr)
{
    std::vector<float> block(1024 * 2), out;
    auto give = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (char shown[256] = ""; std::chrono::steady_clock::now() < give;) {
        soundSongDisplayName(soundGetCurrentSong(), shown, sizeof shown);
        if (title ? strcmp(shown, title) == 0 : out.size() >= frames * 2)
            break;
        soundCheckPlayer();
        audioRender(block.data(), 1024);
        out.insert(out.end(), block.begin(), block.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return out;
}

// Guards the whole path: a list fetched over HTTP that may not reach local
// files, an ICY answer, the title in the label when its music is heard, the
// tone's pitch after decoding and resampling, and a drop that the player
// rides out by itself.
TEST(StreamStationTest, StationFromFetchedListPlaysWithItsTitleThroughADrop)
{
    station_t station;
    ASSERT_TRUE(startStation(&station));
    soundReset();
    audioSetOutput(AUDIO_OUTPUT_PULL);
    soundInit();
    char reason[256];
    std::string list = "http://127.0.0.1:" + std::to_string(station.port) + "/list.pls";
    ASSERT_TRUE(soundOpenPlaylist(list.c_str(), reason, sizeof reason)) << reason;
    soundPlaySong(0);
    EXPECT_TRUE(soundIsLive());
    for (const char* title : {"Tune 1", "Tune 2"}) { // the first answer is cut off: the second one's title
        play(0, title);
        std::vector<float> heard = play(AUDIO_RATE);
        ASSERT_GT(peak(heard.data(), heard.size()), 0.2f) << title;
        EXPECT_NEAR(crossingFrequency(heard.data(), heard.size() / 2, 2, AUDIO_RATE), TONE, 2.0) << title;
    }
    EXPECT_EQ(soundGetPlaylistSize(), 1) << "local entries of a fetched list are left out";
    EXPECT_EQ(std::string(soundGetSongFilename(0)), "http://127.0.0.1:" + std::to_string(station.port) + "/station");
    EXPECT_EQ(station.stationAnswers.load(), 2);
    soundReset();
    stopStation(&station);
}

} // namespace
