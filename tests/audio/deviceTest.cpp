// The real output path: SDL's device, captured through its disk driver,
// its dummy driver for machines without a card, and a driver that does not
// open at all.

#include "system/audio/audio.h"
#include "system/audio/sound.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"
#include "tests/audio/audioTestSupport.h"
#include "tests/support/fakeClock.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// How far apart the disk file and audioDeviceFrames may place one moment:
// a few device buffers (measured: up to two), and the block being mixed.
const size_t DRIFT = 4 * 1024;

class DeviceTest : public ::testing::Test {
protected:
    std::string dir, capture;

    void SetUp() override
    {
        soundReset();
        dir = testTempDir();
        capture = dir + "/capture.raw";
        fakeClockInstall();
        timerInit(-1.0f);
    }

    void TearDown() override
    {
        soundReset();
        audioShutdown();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        unsetenv("SDL_DISKAUDIODELAY");
        fakeClockRemove();
    }

    void useDiskDriver(void)
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
    }

    // Lets the device's thread produce at least `seconds` more sound.
    uint64_t waitFor(double seconds)
    {
        uint64_t until = audioDeviceFrames() + uint64_t(seconds * AUDIO_RATE);
        for (int i = 0; i < 20000 && audioDeviceFrames() < until; i++)
            SDL_Delay(1);
        return audioDeviceFrames();
    }

    // The capture as floats, stereo interleaved.
    std::vector<float> readCapture(void)
    {
        std::vector<unsigned char> bytes = readBytes(capture);
        std::vector<float> samples(bytes.size() / 2);
        for (size_t i = 0; i < samples.size(); i++) {
            int16_t v;
            memcpy(&v, &bytes[i * 2], 2);
            samples[i] = float(v) / 32767.0f;
        }
        return samples;
    }
};

// First frame at or after `from` that is not silent.
size_t onset(const std::vector<float>& stereo, uint64_t from)
{
    size_t i = size_t(from);
    while (i * 2 < stereo.size() && stereo[i * 2] == 0 && stereo[i * 2 + 1] == 0)
        i++;
    return i;
}

// First frame of the first run of at least 0.1 s of digital silence at or
// after `from`.
size_t silenceAfter(const std::vector<float>& stereo, size_t from)
{
    size_t run = 0;
    for (size_t i = from; i * 2 < stereo.size(); i++) {
        run = stereo[i * 2] == 0 && stereo[i * 2 + 1] == 0 ? run + 1 : 0;
        if (run == AUDIO_RATE / 10)
            return i + 1 - run;
    }
    return stereo.size() / 2;
}

double pitchAt(const std::vector<float>& stereo, size_t start, double seconds)
{
    size_t first = start + AUDIO_RATE / 10;
    size_t frames = size_t(seconds * AUDIO_RATE);
    if ((first + frames) * 2 > stereo.size())
        return 0;
    return crossingFrequency(stereo.data() + first * 2, frames, 2, AUDIO_RATE);
}

// Guards what a listener hears: the right song at the right pitch, silence
// after STOP, NEXT while playing, and one device for the whole run.
TEST_F(DeviceTest, CapturedPlaybackHasTheRightSongsAtTheRightPitch)
{
    ASSERT_TRUE(writeTone(dir + "/low.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 440, 3));
    ASSERT_TRUE(writeTone(dir + "/a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 660, 3));
    ASSERT_TRUE(writeTone(dir + "/high.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 2, 880, 3));
    std::string text = "File1=low.wav\nTitle1=Low\nLength1=100\nFile2=a.flac\nTitle2=A\nLength2=245\n"
                       "File3=high.ogg\nTitle3=High\nLength3=30\n";
    testing::internal::CaptureStdout();
    soundParsePlaylist(text.data(), text.size(), (dir + "/playlist.pls").c_str());
    useDiskDriver();
    soundInit();
    ASSERT_STREQ(audioDeviceDriver(), "disk");

    soundPlaySong(soundGetCurrentSong());
    waitFor(1.5);
    soundStop();
    uint64_t stopped = audioDeviceFrames();
    waitFor(0.5);
    soundNextTrack(); // stopped: the selection only
    soundPlaySong(soundGetCurrentSong());
    uint64_t after2 = audioDeviceFrames();
    waitFor(1.5);
    soundNextTrack(); // playing: the next song starts
    EXPECT_STREQ(title, "03/03. High (00:30)");
    waitFor(1.5);
    uint64_t total = audioDeviceFrames();
    soundReset(); // closes the device, which closes the capture
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("current_song:0, song_i:3, modulo:1\ncurrent_song:1, song_i:3, modulo:2\n"),
              std::string::npos)
        << printed;

    std::vector<float> stereo = readCapture();
    // Reopening the device would have started the capture file anew,
    // leaving less than everything mixed since the first song.
    EXPECT_GE(stereo.size() / 2 + 2048, size_t(total));
    // Where each song starts is read from the file itself: under load SDL
    // may write buffers of its own silence beside the ones mixed here, so
    // frame counts do not place a moment in the file (seen: 23 s apart).
    size_t start1 = onset(stereo, 0);
    EXPECT_NEAR(pitchAt(stereo, start1, 1.2), 440.0, 0.44) << "a 440 Hz tone stored at 22050 Hz";
    size_t stop = silenceAfter(stereo, start1);
    size_t start2 = onset(stereo, stop);
    EXPECT_GE(start2 - stop + DRIFT, size_t(after2 - stopped)) << "silence after STOP, until PLAY";
    EXPECT_NEAR(pitchAt(stereo, start2, 1.2), 660.0, 0.66);
    // The third song sounds until the device closes: the last of the sound.
    size_t last = stereo.size() / 2;
    while (last > start2 && stereo[last * 2 - 2] == 0)
        last--;
    EXPECT_NEAR(pitchAt(stereo, last - AUDIO_RATE * 13 / 10, 1.1), 880.0, 0.88);
}

// Guards the one clipping step: channels add up in float and the sum is
// clipped at full scale, never wrapped round to the other sign.
TEST_F(DeviceTest, TheMixIsClippedOnceAtFullScale)
{
    std::string path = dir + "/loud.wav";
    ASSERT_TRUE(writeTone(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, AUDIO_RATE, 2, 100, 1, 0.8));
    useDiskDriver();
    ASSERT_EQ(audioSystemInit(8), AUDIO_OK);
    audioSound_t sound;
    ASSERT_EQ(audioSystemCreateSound(path.c_str(), &sound), AUDIO_OK);
    audioChannel_t a, b;
    uint64_t before = audioDeviceFrames();
    ASSERT_EQ(audioSystemPlaySound(sound, 1, &a), AUDIO_OK);
    ASSERT_EQ(audioSystemPlaySound(sound, 1, &b), AUDIO_OK);
    // Unpaused together under one lock would need a layer call; two calls
    // may straddle a block, so both start paused and are let go in order.
    audioChannelSetPaused(a, 0);
    audioChannelSetPaused(b, 0);
    waitFor(1.2);
    audioShutdown();
    std::vector<float> stereo = readCapture();
    size_t start = onset(stereo, before);
    int clipped = 0, wrapped = 0;
    for (size_t i = start + 2048; i < start + AUDIO_RATE / 2 && i * 2 < stereo.size(); i++) {
        float v = stereo[i * 2];
        clipped += v >= 1.0f || v <= -1.0f;
        float expected = 1.6f * float(sin(2 * M_PI * 100 * double(i - start) / AUDIO_RATE));
        wrapped += (expected > 0.2f && v < 0) || (expected < -0.2f && v > 0);
    }
    EXPECT_GT(clipped, 1000);
    EXPECT_EQ(wrapped, 0);
}

// Guards the silent stand-in: SDL's dummy driver calls back in real time,
// so positions move on as if a card were there.
TEST_F(DeviceTest, DummyDriverPositionsAdvanceInRealTime)
{
    std::string path = dir + "/long.flac";
    ASSERT_TRUE(writeTone(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, 300, 5));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(audioSystemInit(4), AUDIO_OK);
    EXPECT_STREQ(audioDeviceDriver(), "dummy");
    audioSound_t sound;
    audioChannel_t channel;
    ASSERT_EQ(audioSystemCreateSound(path.c_str(), &sound), AUDIO_OK);
    ASSERT_EQ(audioSystemPlaySound(sound, 0, &channel), AUDIO_OK);
    uint32_t startTicks = SDL_GetTicks();
    uint64_t startFrames = audioDeviceFrames();
    SDL_Delay(600);
    uint32_t ms = 0;
    ASSERT_EQ(audioChannelGetPosition(channel, &ms, AUDIO_TIME_MS), AUDIO_OK);
    double elapsed = SDL_GetTicks() - startTicks;
    double played = double(audioDeviceFrames() - startFrames) * 1000.0 / AUDIO_RATE;
    // A busy machine may hold the driver's thread back, never push it
    // ahead: the position follows what the device took, which runs no
    // faster than the clock on the wall.
    EXPECT_GT(ms, 0u);
    EXPECT_NEAR(double(ms), played, 2 * 1024 * 1000.0 / AUDIO_RATE);
    EXPECT_LE(double(ms), elapsed + 50.0);
}

// Without a card, and with no driver chosen, the layer falls back to the
// dummy driver and says so in one line; a machine with a card says nothing.
TEST_F(DeviceTest, MissingDeviceFallsBackWithOneLine)
{
    unsetenv("SDL_AUDIODRIVER");
    testing::internal::CaptureStderr();
    ASSERT_EQ(audioSystemInit(4), AUDIO_OK);
    ASSERT_EQ(audioSystemInit(4), AUDIO_OK); // a song start: no second open, no second line
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(getenv("SDL_AUDIODRIVER"), nullptr) << "the user's environment is left as it was";
    size_t ours = 0;
    for (size_t at = printed.find("tessellune:"); at != std::string::npos; at = printed.find("tessellune:", at + 1))
        ours++;
    if (std::string(audioDeviceDriver()) == "dummy") {
        EXPECT_EQ(ours, 1u) << printed;
        EXPECT_NE(printed.find("tessellune: no audio device ("), std::string::npos) << printed;
        EXPECT_NE(printed.find("); playing silently\n"), std::string::npos) << printed;
    } else {
        EXPECT_EQ(ours, 0u) << printed;
    }
}

// A driver the user chose is not overridden; when it does not open, the
// layer says so once and every call stays harmless.
TEST_F(DeviceTest, AChosenDriverThatDoesNotOpenLeavesHarmlessSilence)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::string path = dir + "/short.wav";
    ASSERT_TRUE(writeTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, AUDIO_RATE, 1, 300, 0.5));
    testing::internal::CaptureStderr();
    ASSERT_EQ(audioSystemInit(4), AUDIO_OK);
    audioSystemInit(4);
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_STREQ(audioDeviceDriver(), "");
    EXPECT_EQ(printed.find("tessellune: the audio driver chosen in SDL_AUDIODRIVER does not open ("), 0u)
        << printed;
    EXPECT_EQ(printed.find("tessellune:", 1), std::string::npos) << "one line only";
    audioSound_t sound;
    audioChannel_t channel;
    ASSERT_EQ(audioSystemCreateSound(path.c_str(), &sound), AUDIO_OK);
    ASSERT_EQ(audioSystemPlaySound(sound, 0, &channel), AUDIO_OK);
    SDL_Delay(50);
    uint32_t ms = 99;
    EXPECT_EQ(audioChannelGetPosition(channel, &ms, AUDIO_TIME_MS), AUDIO_OK);
    EXPECT_EQ(ms, 0u) << "nothing mixes without a device";
}

} // namespace
