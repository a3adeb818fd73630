#ifndef TESSELLUNE_AUDIO_H
#define TESSELLUNE_AUDIO_H

// Our audio layer, standing in for the sound library the playback code
// calls (sound.cpp; tests, the fuzz target and benchmarks also drive it):
// sounds made from whole music files, played on channels
// that are mixed in float and clipped once. Tracker modules are recognised
// by content; sampled audio (WAV, FLAC, Ogg Vorbis, Opus, MP3) is resampled
// to the device rate. Decoding happens block by block on SDL's audio thread;
// the calls here only swap pointers, seek or flip flags under the audio lock.
// Results are returned, never printed, except the one line that says the
// device is missing.

#include <cstddef>
#include <cstdint>

enum audioResult_t {
    AUDIO_OK = 0,
    AUDIO_ERR_NOT_READY,      // no system: audioSystemInit was not called
    AUDIO_ERR_INVALID_HANDLE, // a released sound, or a channel that ended or was freed
    AUDIO_ERR_FILE,           // the file cannot be opened or read
    AUDIO_ERR_FORMAT,         // the bytes are no audio we can decode
    AUDIO_ERR_NO_FREE_CHANNEL,
    AUDIO_ERR_POSITION,       // beyond the sound's end
    AUDIO_ERR_UNSUPPORTED,    // order or row of a sound that is not a module
    AUDIO_ERR_MEMORY,
};

enum audioTimeUnit_t { AUDIO_TIME_MS, AUDIO_TIME_ORDER, AUDIO_TIME_ROW };

enum audioOutput_t {
    AUDIO_OUTPUT_DEVICE, // SDL's device; without one SDL's silent dummy driver
    AUDIO_OUTPUT_PULL,   // no device: the caller pulls the mix with audioRender
};

typedef uint32_t audioSound_t;   // 0 is no sound
typedef uint32_t audioChannel_t; // 0 is no channel

const int AUDIO_RATE = 44100; // the mixing and device rate, frames per second

// Chooses the output for the next device open; the device must be closed.
void audioSetOutput(audioOutput_t output);
// Opens the device on first use (it stays open until audioShutdown) and
// makes `channels` channels ready.
audioResult_t audioSystemInit(int channels);
// Stops and frees every channel and sound; the device stays open.
void audioSystemClose(void);
// Closes the device and frees every buffer: the end of the run.
void audioShutdown(void);

// Loads the whole file (nothing is decoded yet) and picks its decoder.
audioResult_t audioSystemCreateSound(const char* path, audioSound_t* sound);
// The same from bytes in memory, which are copied.
audioResult_t audioSystemCreateSoundMemory(const void* data, size_t size, audioSound_t* sound);
// Frames made elsewhere (a live stream): `read` fills `frames` stereo frames
// at AUDIO_RATE on the audio thread, so it must never wait; `close` is
// called once, on the main thread, when the sound or its channel is freed.
struct audioSource_t {
    size_t (*read)(void* context, float* stereo, size_t frames);
    void (*close)(void* context);
};
// A sound that plays once from `source`: it cannot seek (only to 0) and
// never ends by itself. Takes `context` over, also on failure.
audioResult_t audioSystemCreateSoundSource(const audioSource_t* source, void* context, audioSound_t* sound);
const size_t AUDIO_TAG_SIZE = 1024; // longer tags are cut

// What a music file says of itself; "" where it says nothing.
struct audioTags_t {
    char title[AUDIO_TAG_SIZE];
    char artist[AUDIO_TAG_SIZE];
    char album[AUDIO_TAG_SIZE];
};

// A music file's length in seconds (negative when the file does not say)
// and its own title ("" when it has none), read from its header without
// loading or decoding the music; needs no audio system.
audioResult_t audioReadInfo(const char* path, double* seconds, char* title, size_t titleSize);
// The same with title, artist and album.
audioResult_t audioReadTags(const char* path, double* seconds, audioTags_t* tags);
// Non-zero when a file named *.`extension` (any case, no dot) is of a kind
// some decoder plays: a guess from the name, costing no look at the file.
int audioPlaysExtension(const char* extension);
// Stops the sound's channels and frees it.
audioResult_t audioSoundRelease(audioSound_t sound);

// Starts the sound from its beginning on a free channel.
audioResult_t audioSystemPlaySound(audioSound_t sound, int paused, audioChannel_t* channel);
audioResult_t audioChannelSetPaused(audioChannel_t channel, int paused);
audioResult_t audioChannelGetPaused(audioChannel_t channel, int* paused);
audioResult_t audioChannelIsPlaying(audioChannel_t channel, int* playing);
// `ended` = 1 once the channel has played its sound to the end (a channel
// that ended is freed by the next audioSystemPlaySound or audioSystemClose).
audioResult_t audioChannelGetEnded(audioChannel_t channel, int* ended);
// Queues `sound` behind what the channel plays, on a decoder of its own
// opened now: when the channel's sound runs out, the channel goes on with
// it from the next sample, with no gap (a person's NEXT still restarts).
// A later call replaces the queued sound; sound 0 takes it back.
audioResult_t audioChannelQueueNext(audioChannel_t channel, audioSound_t sound);
// `moved` = 1 once after the channel went on into its queued sound (the
// sound it left may then be released).
audioResult_t audioChannelTakeMove(audioChannel_t channel, int* moved);
// Positions in milliseconds only.
audioResult_t audioChannelSetPosition(audioChannel_t channel, uint32_t position, audioTimeUnit_t unit);
// Milliseconds, or a module's order or row, as of the last mixed block;
// `position` is left alone on failure.
audioResult_t audioChannelGetPosition(audioChannel_t channel, uint32_t* position, audioTimeUnit_t unit);

// Why the last failing call failed, in a few words (for the user's warning line).
const char* audioLastError(void);
const char* audioResultText(audioResult_t result);

// Pull output: mixes the next `frames` stereo frames into `stereo`.
void audioRender(float* stereo, int frames);
// Pull output as the device would be given it: 16-bit, clipped once. For
// rendering a production's sound off line.
void audioRender16(int16_t* stereo, int frames);
// The output's gain, 0 (silent) to 1 (as mixed), reached over the next
// mixed block so that a change never clicks; kept across audioSystemInit.
void audioSetGain(float gain);
// Stereo frames the device has been given since it opened.
uint64_t audioDeviceFrames(void);
// The SDL driver in use ("alsa", "dummy", "disk", ...); "" without a device.
const char* audioDeviceDriver(void);

// Where a channel's music stood when the device last took a buffer: the
// position just past the mixed frames, that moment on CLOCK_MONOTONIC, and
// the device's buffer length. `moving` is 0 while nothing advances it
// (paused, ended, or no device to pull the mix).
struct audioPlayed_t {
    double seconds;
    uint64_t stampNs;
    int bufferFrames;
    int moving;
};
audioResult_t audioChannelGetPlayed(audioChannel_t channel, audioPlayed_t* played);

#endif
