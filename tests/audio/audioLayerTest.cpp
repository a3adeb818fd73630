// The audio layer in pull mode: every format loads and sounds, positions
// and seeking are right, channels mix, stale handles are refused, and
// damaged bytes fail cleanly.

#include "system/audio/audio.h"
#include "system/audio/audioDecoder.h"
#include "tests/audio/audioTestSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct durationCase_t {
    const char* file;
    double seconds;
    bool audible;
};

// One module's order:row timeline, as the library's own trace lists it.
struct trace_t {
    std::string file;
    double duration;
    std::vector<std::string> events; // "order:row@seconds"
    size_t changes;                  // how many the trace saw; long lines list only the first ones
};

std::vector<trace_t> readTraces(const std::string& path)
{
    std::vector<trace_t> traces;
    std::vector<unsigned char> bytes = readBytes(path);
    std::string text(bytes.begin(), bytes.end());
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] != ' ') {
            size_t space = line.find(" dur=");
            traces.push_back({line.substr(0, space), atof(line.c_str() + space + 5), {}, 0});
        } else if (line.compare(0, 6, "  end@") == 0) {
            traces.back().changes = size_t(atol(line.c_str() + line.find("rowchanges=") + 11));
        } else {
            size_t word = 2;
            while (word < line.size()) {
                size_t next = line.find(' ', word);
                traces.back().events.push_back(line.substr(word, next - word));
                word = next == std::string::npos ? line.size() : next + 1;
            }
        }
    }
    return traces;
}

class AudioLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        audioShutdown();
        audioSetOutput(AUDIO_OUTPUT_PULL);
        ASSERT_EQ(audioSystemInit(512), AUDIO_OK);
    }
    void TearDown() override { audioShutdown(); }

    audioChannel_t play(const std::string& path)
    {
        audioSound_t sound = 0;
        audioChannel_t channel = 0;
        EXPECT_EQ(audioSystemCreateSound(path.c_str(), &sound), AUDIO_OK) << path << ": " << audioLastError();
        EXPECT_EQ(audioSystemPlaySound(sound, 0, &channel), AUDIO_OK) << path;
        return channel;
    }

    // Renders until the channel ends (or `most` seconds); returns the mix.
    std::vector<float> renderToEnd(audioChannel_t channel, double most)
    {
        std::vector<float> mix;
        const int block = 4410;
        int playing = 1;
        while (playing && mix.size() < size_t(most * AUDIO_RATE) * 2) {
            size_t at = mix.size();
            mix.resize(at + block * 2);
            audioRender(mix.data() + at, block);
            audioChannelIsPlaying(channel, &playing);
        }
        return mix;
    }

    void expectLastsItsLength(const std::string& dir, const durationCase_t& c)
    {
        audioChannel_t channel = play(dir + "/" + c.file);
        std::vector<float> mix = renderToEnd(channel, 30);
        // Rendering stops at the 0.1 s block in which the sound ended.
        double played = double(mix.size() / 2) / AUDIO_RATE;
        EXPECT_NEAR(played, c.seconds, 0.1) << c.file;
        if (c.audible) {
            EXPECT_GT(rootMeanSquare(mix.data(), mix.size()), 0.01) << c.file;
        }
        restart();
    }

    void expectLoadsAtOrderZeroAndSounds(const std::string& path, bool audible)
    {
        audioChannel_t channel = play(path);
        uint32_t order = 99;
        EXPECT_EQ(audioChannelGetPosition(channel, &order, AUDIO_TIME_ORDER), AUDIO_OK) << path;
        EXPECT_EQ(order, 0u) << path;
        std::vector<float> mix = renderToEnd(channel, 20);
        if (audible) {
            EXPECT_GT(peak(mix.data(), mix.size()), 0.001f) << path;
        }
        restart();
    }

    void expectFollowsTrace(const std::string& path, const trace_t& trace)
    {
        audioChannel_t channel = play(path);
        std::vector<std::string> seen;
        int lastOrder = -1, lastRow = -1;
        float block[128];
        for (long frames = 0; frames <= long(trace.duration * AUDIO_RATE); frames += 64) {
            uint32_t order = 0, row = 0;
            if (audioChannelGetPosition(channel, &order, AUDIO_TIME_ORDER) != AUDIO_OK)
                break; // the module has ended
            audioChannelGetPosition(channel, &row, AUDIO_TIME_ROW);
            if (int(order) != lastOrder || int(row) != lastRow) {
                char event[64];
                snprintf(event, sizeof event, "%u:%u@%g", order, row, double(frames) / AUDIO_RATE);
                seen.push_back(event);
                lastOrder = int(order);
                lastRow = int(row);
            }
            audioRender(block, 64);
        }
        std::vector<std::string> expected;
        for (const std::string& e : trace.events)
            if (atof(e.c_str() + e.find('@') + 1) <= trace.duration)
                expected.push_back(e);
        if (trace.events.size() < trace.changes)
            seen.resize(std::min(seen.size(), expected.size()));
        EXPECT_EQ(seen, expected) << trace.file;
        restart();
    }

    void restart(void)
    {
        audioSystemClose();
        ASSERT_EQ(audioSystemInit(512), AUDIO_OK);
    }
};

// Guards against a format that does not load, is silent, or plays for the
// wrong time (a wrong rate or a lost tail).
TEST_F(AudioLayerTest, EveryTestFormatLoadsSoundsAndLastsItsLength)
{
    const durationCase_t cases[] = {
        {"galway-16s.ogg", 15.832, true},  {"galway-16s.mp3", 15.882, true},
        {"galway-16s.flac", 15.832, true}, {"galway-16s.opus", 15.832, true},
        {"galway-16s-mono-16k.opus", 15.832, true}, {"freedesktop-complete.oga", 1.089, true},
        {"gnome-audio-error.wav", 0.499, true}, {"openmpt-test-64samples.flac", 0.0048, false},
    };
    for (const auto& c : cases)
        expectLastsItsLength(testDataDir("audio"), c);
}

// The modules that travel with the code are the libraries' own small test
// files; see GplFilesLoadSoundAndFollowTheTrace for real songs.
const char* const TEST_MODULES[] = {
    "libxmp-pattern_jump_ft2_break.xm", "libxmp-pattern_jump_it_break.it",
    "libxmp-pattern_jump_st3_break.s3m", "libxmp-portamento_sustain.it",
    "libxmp-stereo.s3m", "libxmp-test.xm", "openmpt-test.mod", "openmpt-test.xm"};
const char* const GPL_MODULES[] = {"high-score.mod", "gd-matth.it", "gd-giirm.s3m", "music_menu.zik"};

TEST_F(AudioLayerTest, EveryTestModuleLoadsAndSoundsWhateverItsName)
{
    for (const char* file : TEST_MODULES) {
        // These two test files hold patterns but no sample data: silent in
        // the module library's own player too.
        bool silentByDesign = strcmp(file, "libxmp-test.xm") == 0 || strcmp(file, "openmpt-test.xm") == 0;
        expectLoadsAtOrderZeroAndSounds(testDataDir("modules") + "/" + file, !silentByDesign);
    }
}

// Guards the sync's source: order and row must move exactly as the module
// library reports them, block by block (64 frames at 44.1 kHz, as traced).
TEST_F(AudioLayerTest, ModuleOrderAndRowFollowTheLibrarysTrace)
{
    std::string dir = testDataDir("modules");
    int followed = 0;
    for (const trace_t& trace : readTraces(dir + "/position-trace-libopenmpt-0.6.9.txt"))
        if (std::find(std::begin(TEST_MODULES), std::end(TEST_MODULES), trace.file) != std::end(TEST_MODULES)) {
            expectFollowsTrace(dir + "/" + trace.file, trace);
            followed++;
        }
    EXPECT_EQ(followed, 8) << "every test module has its trace";
}

// The same checks on real songs and a mono 16 kHz WAV whose licence keeps
// them out of the repository.
TEST_F(AudioLayerTest, GplFilesLoadSoundAndFollowTheTrace)
{
    REQUIRE_OUTSIDE_TEST_DATA(audio, "audio", "GPL");
    REQUIRE_OUTSIDE_TEST_DATA(songs, "modules/gpl-game-music", "GPL");
    expectLastsItsLength(audio, {"sound-icons-piano-3.wav", 0.757, true});
    for (const char* file : GPL_MODULES)
        expectLoadsAtOrderZeroAndSounds(songs + "/" + file, true);
    int followed = 0;
    for (const trace_t& trace : readTraces(testDataDir("modules") + "/position-trace-libopenmpt-0.6.9.txt"))
        if (trace.file.compare(0, 15, "gpl-game-music/") == 0) {
            expectFollowsTrace(songs + "/" + trace.file.substr(15), trace);
            followed++;
        }
    EXPECT_EQ(followed, 4);
}

// Guards the resampler: a tone stored at another rate keeps its pitch.
TEST_F(AudioLayerTest, ResampledTonesKeepTheirPitch)
{
    struct toneCase_t {
        int format, rate;
        double frequency;
    } cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 440},
        {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1000},
        {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 32000, 523.25},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 3000},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 220},
    };
    for (const auto& c : cases) {
        std::string path = testTempDir() + "/tone-" + std::to_string(c.rate) + ".snd";
        ASSERT_TRUE(writeTone(path, c.format, c.rate, 1, c.frequency, 2.0));
        play(path);
        std::vector<float> mix(AUDIO_RATE * 2 * 2);
        audioRender(mix.data(), AUDIO_RATE * 2);
        // Both sides, skipping the resampler's start and the tone's end.
        const float* steady = mix.data() + AUDIO_RATE / 10 * 2;
        size_t frames = size_t(AUDIO_RATE * 1.7);
        EXPECT_NEAR(crossingFrequency(steady, frames, 2, AUDIO_RATE), c.frequency, c.frequency * 0.001)
            << c.rate << " Hz file";
        EXPECT_NEAR(crossingFrequency(steady + 1, frames, 2, AUDIO_RATE), c.frequency, c.frequency * 0.001);
        EXPECT_NEAR(peak(steady, frames * 2), 0.5f, 0.02f) << "no gain or loss";
        audioSystemClose();
        ASSERT_EQ(audioSystemInit(512), AUDIO_OK);
    }
}

// Guards seeking in every format: it lands where asked, and what plays
// from there is what continuous playback plays at that time.
TEST_F(AudioLayerTest, SeekingLandsWhereContinuousPlaybackIs)
{
    std::string dir = testDataDir("audio");
    for (const char* file : {"galway-16s.flac", "galway-16s.ogg", "galway-16s.opus", "galway-16s.mp3"}) {
        audioSound_t sound;
        ASSERT_EQ(audioSystemCreateSound((dir + "/" + file).c_str(), &sound), AUDIO_OK);
        audioChannel_t continuous, seeked;
        ASSERT_EQ(audioSystemPlaySound(sound, 0, &continuous), AUDIO_OK);
        ASSERT_EQ(audioSystemPlaySound(sound, 1, &seeked), AUDIO_OK) << "a second channel of one sound";
        std::vector<float> skip(AUDIO_RATE * 5 * 2);
        audioRender(skip.data(), AUDIO_RATE * 5);
        ASSERT_EQ(audioChannelSetPosition(seeked, 5000, AUDIO_TIME_MS), AUDIO_OK);
        uint32_t ms = 0;
        EXPECT_EQ(audioChannelGetPosition(seeked, &ms, AUDIO_TIME_MS), AUDIO_OK);
        EXPECT_EQ(ms, 5000u) << file;
        EXPECT_EQ(audioChannelGetPosition(continuous, &ms, AUDIO_TIME_MS), AUDIO_OK);
        EXPECT_EQ(ms, 5000u) << file;

        // Each channel alone for the next half second.
        std::vector<float> a(AUDIO_RATE), b(AUDIO_RATE);
        audioChannelSetPaused(seeked, 1);
        audioRender(a.data(), AUDIO_RATE / 2);
        ASSERT_EQ(audioChannelSetPosition(continuous, 5000, AUDIO_TIME_MS), AUDIO_OK);
        audioChannelSetPaused(continuous, 1);
        audioChannelSetPaused(seeked, 0);
        audioRender(b.data(), AUDIO_RATE / 2);
        double difference = 0;
        for (size_t i = 0; i < a.size(); i++)
            difference += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
        EXPECT_LT(sqrt(difference / double(a.size())), 0.01 * rootMeanSquare(a.data(), a.size()) + 1e-4)
            << file << ": seek and continuous playback differ";

        EXPECT_EQ(audioChannelSetPosition(seeked, 60000, AUDIO_TIME_MS), AUDIO_ERR_POSITION) << file;
        EXPECT_EQ(audioChannelGetPosition(seeked, &ms, AUDIO_TIME_MS), AUDIO_OK);
        EXPECT_EQ(ms, 5500u) << "a refused seek leaves the channel where it was";
        EXPECT_EQ(audioChannelGetPosition(seeked, &ms, AUDIO_TIME_ORDER), AUDIO_ERR_UNSUPPORTED);
        EXPECT_EQ(ms, 5500u) << "left alone on failure";
        audioSystemClose();
        ASSERT_EQ(audioSystemInit(512), AUDIO_OK);
    }
}

// Guards the fold to stereo: mono to both sides, a 5.1 centre to both at
// -3 dB, the LFE left out.
TEST_F(AudioLayerTest, ChannelsFoldToStereo)
{
    SF_INFO info;
    memset(&info, 0, sizeof info);
    info.samplerate = AUDIO_RATE;
    info.channels = 6;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::string path = testTempDir() + "/surround.wav";
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    const float frame[6] = {0.1f, 0.2f, 0.3f, 0.9f, 0.05f, 0.07f};
    std::vector<float> frames;
    for (int i = 0; i < 1000; i++)
        frames.insert(frames.end(), frame, frame + 6);
    sf_writef_float(file, frames.data(), 1000);
    sf_close(file);
    play(path);
    float out[200];
    audioRender(out, 100);
    EXPECT_NEAR(out[0], 0.1f + 0.70710678f * (0.3f + 0.05f), 1e-6);
    EXPECT_NEAR(out[1], 0.2f + 0.70710678f * (0.3f + 0.07f), 1e-6);
}

// Guards handles: a released sound, an ended channel, and a full channel
// table are refused, never used.
TEST_F(AudioLayerTest, StaleHandlesAndAFullTableAreRefused)
{
    std::string path = testTempDir() + "/short.wav";
    ASSERT_TRUE(writeTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, AUDIO_RATE, 2, 100, 0.05));
    audioSystemClose();
    ASSERT_EQ(audioSystemInit(3), AUDIO_OK);
    audioSound_t sound;
    audioChannel_t channel[4] = {};
    ASSERT_EQ(audioSystemCreateSound(path.c_str(), &sound), AUDIO_OK);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(audioSystemPlaySound(sound, 0, &channel[i]), AUDIO_OK);
    EXPECT_EQ(audioSystemPlaySound(sound, 0, &channel[3]), AUDIO_ERR_NO_FREE_CHANNEL);

    // Two channels of the same tone add up; the float mix is not clipped.
    float mix[2 * 100];
    audioRender(mix, 100);
    EXPECT_NEAR(peak(mix, 200), 3 * 0.5f * float(sin(2 * M_PI * 100 * 99 / AUDIO_RATE)), 0.01f);

    std::vector<float> rest(AUDIO_RATE / 10 * 2);
    audioRender(rest.data(), AUDIO_RATE / 10);
    int playing = 1;
    EXPECT_EQ(audioChannelIsPlaying(channel[0], &playing), AUDIO_ERR_INVALID_HANDLE);
    EXPECT_EQ(playing, 0) << "the sound ended";
    ASSERT_EQ(audioSystemPlaySound(sound, 0, &channel[3]), AUDIO_OK) << "ended channels are free again";
    EXPECT_NE(channel[3], channel[0]) << "a reused channel gets a new handle";
    EXPECT_EQ(audioChannelSetPaused(channel[0], 1), AUDIO_ERR_INVALID_HANDLE);

    EXPECT_EQ(audioSoundRelease(sound), AUDIO_OK);
    EXPECT_EQ(audioSoundRelease(sound), AUDIO_ERR_INVALID_HANDLE);
    EXPECT_EQ(audioChannelSetPaused(channel[3], 1), AUDIO_ERR_INVALID_HANDLE) << "released with its sound";
    EXPECT_EQ(audioSystemPlaySound(sound, 0, &channel[3]), AUDIO_ERR_INVALID_HANDLE);

    audioSystemClose();
    EXPECT_EQ(audioSystemCreateSound(path.c_str(), &sound), AUDIO_ERR_NOT_READY);
    audioRender(mix, 100); // harmless without a system
    EXPECT_EQ(peak(mix, 200), 0.0f);
}

// Guards the loaders against bytes that are not what they claim.
TEST_F(AudioLayerTest, DamagedAndForeignBytesFailWithAReason)
{
    audioSound_t sound = 0;
    EXPECT_EQ(audioSystemCreateSound("/nonexistent/song.ogg", &sound), AUDIO_ERR_FILE);
    EXPECT_STREQ(audioLastError(), "No such file or directory");
    EXPECT_EQ(audioSystemCreateSound(testTempDir().c_str(), &sound), AUDIO_ERR_FILE);
    EXPECT_STREQ(audioLastError(), "Is a directory");
    std::string empty = testTempDir() + "/empty.ogg";
    ASSERT_TRUE(writeBytes(empty, "", 0));
    EXPECT_EQ(audioSystemCreateSound(empty.c_str(), &sound), AUDIO_ERR_FILE);

    const char text[] = "[playlist]\nFile1=a.ogg\n";
    EXPECT_EQ(audioSystemCreateSoundMemory(text, sizeof text, &sound), AUDIO_ERR_FORMAT);
    EXPECT_STRNE(audioLastError(), "");
    unsigned char fakeOgg[64] = {'O', 'g', 'g', 'S'};
    EXPECT_EQ(audioSystemCreateSoundMemory(fakeOgg, sizeof fakeOgg, &sound), AUDIO_ERR_FORMAT);
    unsigned char fakeModule[1084] = {};
    memcpy(fakeModule + 1080, "M.K.", 4);
    EXPECT_NE(audioSystemCreateSoundMemory(fakeModule, 1084, &sound), AUDIO_ERR_MEMORY);
    // An XM header claiming more orders than its table holds (found by
    // fuzzing): refused at once, not seconds and gigabytes at load.
    std::vector<unsigned char> xm = readBytes(testDataDir("modules") + "/openmpt-test.xm");
    ASSERT_GT(xm.size(), 74u);
    xm[64] = 0x46, xm[65] = 0x7e; // 32326 orders
    EXPECT_EQ(audioSystemCreateSoundMemory(xm.data(), xm.size(), &sound), AUDIO_ERR_FORMAT);

    // A file cut short plays what it has and then ends.
    std::string dir = testDataDir("audio");
    for (const char* file : {"galway-16s.ogg", "galway-16s.flac", "galway-16s.mp3", "galway-16s.opus"}) {
        std::vector<unsigned char> bytes = readBytes(dir + "/" + file);
        ASSERT_FALSE(bytes.empty());
        audioSound_t cut = 0;
        if (audioSystemCreateSoundMemory(bytes.data(), bytes.size() / 3, &cut) != AUDIO_OK)
            continue; // refusing at open is as good
        audioChannel_t channel;
        ASSERT_EQ(audioSystemPlaySound(cut, 0, &channel), AUDIO_OK);
        std::vector<float> mix = renderToEnd(channel, 20);
        EXPECT_LT(double(mix.size() / 2) / AUDIO_RATE, 12.0) << file;
        for (float v : mix)
            ASSERT_TRUE(std::isfinite(v)) << file;
    }
}

} // namespace

namespace {

// Found by fuzzing: a float WAV whose samples include NaN. Passed on, NaN
// filled the resampler and the mix with noise at full scale.
TEST(AudioFuzzRegressionTest, NotANumberSamplesPlayAsSilence)
{
    std::vector<unsigned char> bytes = readBytes(TESSELLUNE_SOURCE_DIR "/fuzz/corpus/audioSound/crash-nan-float-wav");
    ASSERT_FALSE(bytes.empty());
    audioShutdown();
    audioSetOutput(AUDIO_OUTPUT_PULL);
    ASSERT_EQ(audioSystemInit(4), AUDIO_OK);
    audioSound_t sound;
    audioChannel_t channel;
    ASSERT_EQ(audioSystemCreateSoundMemory(bytes.data(), bytes.size(), &sound), AUDIO_OK);
    ASSERT_EQ(audioSystemPlaySound(sound, 0, &channel), AUDIO_OK);
    std::vector<float> mix(2 * 44100);
    audioRender(mix.data(), 44100);
    for (float v : mix)
        ASSERT_TRUE(std::isfinite(v));
    audioShutdown();
}

} // namespace

namespace {

// Found by fuzzing: a damaged MP3 whose decoder finds frames again after
// reporting the end; the resampler then looped for ever on the audio thread.
TEST(AudioFuzzRegressionTest, AnEndedStreamStaysEnded)
{
    std::vector<unsigned char> bytes = readBytes(TESSELLUNE_SOURCE_DIR "/fuzz/corpus/audioSound/timeout-mpeg-resync");
    ASSERT_FALSE(bytes.empty());
    char reason[256];
    void* state = audioDecoderSampled.open(bytes.data(), bytes.size(), AUDIO_RATE, reason, sizeof reason);
    ASSERT_NE(state, nullptr) << reason;
    std::vector<float> block(2 * 4096);
    size_t total = 0, got = 1;
    for (int i = 0; i < 100 && got; i++) {
        got = audioDecoderSampled.read(state, block.data(), 4096);
        total += got;
    }
    EXPECT_EQ(got, 0u) << "ended within 100 blocks";
    EXPECT_EQ(audioDecoderSampled.read(state, block.data(), 4096), 0u) << "and stays ended";
    EXPECT_GE(audioDecoderSampled.seek(state, 0), 0.0);
    EXPECT_GT(audioDecoderSampled.read(state, block.data(), 4096), 0u) << "until a seek";
    audioDecoderSampled.close(state);
    EXPECT_GT(total, 0u);
}

// Found by fuzzing: a damaged Ogg page claims a length far beyond what the
// bytes hold, and the library's page search toward a seek target out there
// never ended, freezing whoever held the audio lock.
TEST(AudioFuzzRegressionTest, FarSeeksInDamagedOggAreRefused)
{
    std::vector<unsigned char> bytes = readBytes(TESSELLUNE_SOURCE_DIR "/fuzz/corpus/audioSound/timeout-ogg-seek-far");
    ASSERT_FALSE(bytes.empty());
    char reason[256];
    void* state = audioDecoderSampled.open(bytes.data(), bytes.size(), AUDIO_RATE, reason, sizeof reason);
    ASSERT_NE(state, nullptr) << reason;
    std::vector<float> block(2 * 4096);
    audioDecoderSampled.read(state, block.data(), 4096);
    EXPECT_LT(audioDecoderSampled.seek(state, 1e9), 0.0);
    EXPECT_GE(audioDecoderSampled.seek(state, 0), 0.0) << "near seeks still work";
    audioDecoderSampled.close(state);
}

} // namespace
