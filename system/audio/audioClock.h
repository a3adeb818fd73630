#ifndef TESSELLUNE_AUDIOCLOCK_H
#define TESSELLUNE_AUDIOCLOCK_H

// A clock locked to the music as the listener hears it, for productions:
// the audio layer's position of one channel at the device's last callback,
// less what still waits in the device's buffers, counted on with
// CLOCK_MONOTONIC until the next callback. What it shows never runs
// backwards, and moves by at most twice the time that passed, except on a
// seek (a gap of more than AUDIO_CLOCK_SEEK). Without a device, or once the
// music has ended, it runs on CLOCK_MONOTONIC from where it stood.

#include <cstdint>

const double AUDIO_CLOCK_SEEK = 0.1; // seconds of difference taken as a seek, not as drift

// Installs the clock on the frame timer, reading 0 until audioClockFollow;
// install before timerInit, so the timer's zero is the music's. The timer's
// pacing sleeps as usual. audioClockRemove puts the system clock back.
void audioClockInstall(void);
// The channel (an audioChannel_t) whose music the clock follows from now on.
void audioClockFollow(uint32_t channel);
void audioClockRemove(void);
// Seconds of music heard at CLOCK_MONOTONIC `nowNs`, as the timer reads it.
double audioClockRead(uint64_t nowNs);
uint64_t audioClockMonotonicNs(void);

#endif
