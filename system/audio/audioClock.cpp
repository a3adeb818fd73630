#include "system/audio/audioClock.h"

#include "system/audio/audio.h"
#include "system/timer/timer.h"

#include <SDL.h>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {

const uint64_t NS = 1000000000ull;
// The most the shown time may move per second that passes while it catches
// up with the music: fast enough to close a late callback's gap within a
// few frames, slow enough that no frame jumps.
const double CATCH_UP = 2.0;

struct audioClock_t {
    uint32_t channel = 0;
    double shown = 0; // seconds, what the last reading gave
    uint64_t lastNs = 0;
    int running = 0; // a reading was taken since audioClockFollow
};

audioClock_t musicClock;

// The file-like drivers play a buffer from the moment they take it; a
// sound card's driver queues one more behind the one it plays.
int queuedBuffers(void)
{
    const char* driver = audioDeviceDriver();
    return strcmp(driver, "disk") == 0 || strcmp(driver, "dummy") == 0 ? 1 : 2;
}

// The music heard at `nowNs`; 0 when nothing moves it (paused, ended, no
// device), so the caller knows to count on by itself.
int heard(uint64_t nowNs, double* seconds)
{
    audioPlayed_t played;
    if (!musicClock.channel || audioChannelGetPlayed(musicClock.channel, &played) != AUDIO_OK || !played.moving ||
        played.stampNs == 0)
        return 0;
    double buffer = double(played.bufferFrames) / AUDIO_RATE;
    double since = nowNs > played.stampNs ? double(nowNs - played.stampNs) / NS : 0.0;
    // Past one buffer the next callback is late; the music waits for it.
    *seconds = played.seconds - queuedBuffers() * buffer + fmin(since, buffer);
    return 1;
}

bool musicPaused(void)
{
    int paused = 0;
    return musicClock.channel && audioChannelGetPaused(musicClock.channel, &paused) == AUDIO_OK && paused;
}

int counterFrequency(uint64_t* ticksPerSecond)
{
    *ticksPerSecond = NS;
    return 1;
}

uint64_t counter(void)
{
    double seconds = audioClockRead(audioClockMonotonicNs());
    return seconds > 0 ? uint64_t(llround(seconds * NS)) : 0;
}

uint32_t milliseconds(void)
{
    return uint32_t(audioClockMonotonicNs() / 1000000ull);
}

void sleepMs(uint32_t ms)
{
    SDL_Delay(ms);
}

const timerPlatform_t musicPlatform = {counterFrequency, counter, milliseconds, sleepMs};

} // namespace

uint64_t audioClockMonotonicNs(void)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * NS + uint64_t(now.tv_nsec);
}

void audioClockInstall(void)
{
    musicClock = audioClock_t();
    timerSetPlatform(&musicPlatform);
}

void audioClockFollow(uint32_t channel)
{
    musicClock.channel = channel;
    musicClock.running = 0;
}

void audioClockRemove(void)
{
    timerSetPlatform(nullptr);
    musicClock = audioClock_t();
}

double audioClockRead(uint64_t nowNs)
{
    if (!musicClock.channel)
        return musicClock.shown; // the music has not started: the clock waits at its zero
    double step = musicClock.running && nowNs > musicClock.lastNs ? double(nowNs - musicClock.lastNs) / NS : 0.0;
    musicClock.lastNs = nowNs;
    musicClock.running = 1;
    double music = 0;
    if (!heard(nowNs, &music)) {
        audioPlayed_t played;
        if (!musicPaused())
            musicClock.shown += step; // no device, or the music has ended: the production goes on
        else if (audioChannelGetPlayed(musicClock.channel, &played) == AUDIO_OK &&
                 fabs(played.seconds - musicClock.shown) > AUDIO_CLOCK_SEEK)
            musicClock.shown = played.seconds; // a seek while paused shows where it landed
        return musicClock.shown;
    }
    if (fabs(music - musicClock.shown) > AUDIO_CLOCK_SEEK && music > 0)
        musicClock.shown = music;
    else
        musicClock.shown = fmax(musicClock.shown, fmin(music, musicClock.shown + CATCH_UP * step));
    return musicClock.shown;
}
