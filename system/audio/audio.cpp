#include "system/audio/audio.h"

#include "system/audio/audioClock.h"
#include "system/audio/audioDecoder.h"
#include "system/audio/audioFile.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cassert>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const audioDecoder_t* const audioDecoders[] = {&audioDecoderSampled, &audioDecoderModule};
const int audioDecoderCount = int(sizeof audioDecoders / sizeof audioDecoders[0]);

namespace {

// Frames mixed at a time: positions, orders and rows are published after
// each block, so this is also their resolution (11.6 ms).
const int BLOCK = 512;
const int DEVICE_FRAMES = 1024; // SDL's buffer: 23 ms at 44.1 kHz
const int CHANNEL_BITS = 12;    // a channel handle is (serial << CHANNEL_BITS) | index
const int MOST_CHANNELS = 1 << CHANNEL_BITS;

// Fields the audio thread reads or writes change only under the audio lock.
struct channel_t {
    audioChannel_t handle; // 0: free
    audioSound_t sound;
    const audioDecoder_t* decoder;
    void* state;
    int paused;
    int ended;        // set by the audio thread; the channel is then freed
    uint32_t startMs; // where the last seek landed
    uint64_t frames;  // mixed since then
    int order, row;
    // What follows the sound with no gap: opened and primed by the main
    // thread, handed over whole, taken up by the audio thread the moment
    // the sound runs out. The decoder it leaves behind waits in `done` for
    // the main thread to close (the audio thread never frees).
    audioSound_t nextSound;
    void* nextState;
    const audioDecoder_t* nextDecoder;
    audioSound_t doneSound;
    void* doneState;
    const audioDecoder_t* doneDecoder;
    int movedOn; // set by the audio thread, taken by audioChannelTakeMove
};

struct sound_t {
    audioSound_t handle;
    audioBytes_t bytes; // outlive every decoder state opened on them
    const audioDecoder_t* decoder;
    void* spare; // opened at creation to prove the file plays; the first play takes it
};

struct audio_t {
    audioOutput_t output = AUDIO_OUTPUT_DEVICE;
    int deviceOpen = 0;
    int deviceTried = 0; // the missing-device line is printed once per run
    char driver[32] = "";
    uint64_t deviceFrames = 0;
    int ready = 0;
    channel_t* channels = nullptr;
    int channelCount = 0;
    uint32_t channelSerial = 0;
    sound_t** sounds = nullptr; // main thread only
    int soundCount = 0;
    int soundCapacity = 0;
    audioSound_t soundSerial = 0;
    // The output's gain: the audio thread moves `gain` to `gainTarget` over
    // one block, so a change never clicks.
    float gain = 1.0f;
    float gainTarget = 1.0f;
    float mix[BLOCK * 2];
    float scratch[BLOCK * 2];
    char error[512] = "";
};

audio_t audio;

void lock(void)
{
    if (audio.deviceOpen)
        SDL_LockAudio();
}

void unlock(void)
{
    if (audio.deviceOpen)
        SDL_UnlockAudio();
}

audioResult_t failWith(audioResult_t result, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(audio.error, sizeof audio.error, format, args);
    va_end(args);
    return result;
}

// --- mixing (the audio thread, or audioRender) ------------------------------

// A linear ramp from the last block's gain to the target across this one.
void applyGain(float* out, int frames)
{
    float from = audio.gain, to = audio.gainTarget;
    if (from == 1.0f && to == 1.0f)
        return;
    for (int i = 0; i < frames; i++) {
        float g = from + (to - from) * float(i + 1) / float(frames);
        out[i * 2] *= g;
        out[i * 2 + 1] *= g;
    }
    audio.gain = to;
}

// The queued sound takes over from the one that ran out, inside the block:
// only pointers change hands.
void moveOn(channel_t* c)
{
    c->doneSound = c->sound;
    c->doneState = c->state;
    c->doneDecoder = c->decoder;
    c->sound = c->nextSound;
    c->state = c->nextState;
    c->decoder = c->nextDecoder;
    c->nextSound = 0;
    c->nextState = nullptr;
    c->nextDecoder = nullptr;
    c->startMs = 0;
    c->frames = 0;
    c->movedOn = 1;
}

// Reads a block from the channel, going on into its queued sound where
// the current one ends; fewer than `frames` only at the end of both.
size_t readChannel(channel_t* c, float* out, size_t frames)
{
    size_t got = c->decoder->read(c->state, out, frames);
    c->frames += got;
    if (got == frames || !c->nextState || c->doneState)
        return got;
    moveOn(c);
    size_t more = c->decoder->read(c->state, out + got * 2, frames - got);
    c->frames += more;
    return got + more;
}

void mixBlock(float* out, int frames)
{
    memset(out, 0, sizeof(float) * 2 * size_t(frames));
    if (!audio.ready)
        return;
    for (int i = 0; i < audio.channelCount; i++) {
        channel_t* c = &audio.channels[i];
        if (!c->handle || c->paused || c->ended)
            continue;
        size_t got = readChannel(c, audio.scratch, size_t(frames));
        for (size_t k = 0; k < got * 2; k++)
            out[k] += audio.scratch[k];
        if (got < size_t(frames))
            c->ended = 1;
        if (c->decoder->modulePosition)
            c->decoder->modulePosition(c->state, &c->order, &c->row);
    }
    applyGain(out, frames);
}

// The one place where the mix is clipped; a NaN (which no decoder should
// hand out) is silence, not an undefined conversion.
void toDeviceSamples(const float* mix, int16_t* out, int frames)
{
    for (int k = 0; k < frames * 2; k++) {
        float v = mix[k] > 1.0f ? 1.0f : mix[k] < -1.0f ? -1.0f : mix[k] == mix[k] ? mix[k] : 0.0f;
        out[k] = int16_t(lrintf(v * 32767.0f));
    }
}

// When the device last took a buffer and how large its buffers are: the
// music clock (audioClock.cpp) counts on from there between two callbacks.
struct deviceStamp_t {
    uint64_t ns = 0; // CLOCK_MONOTONIC
    int bufferFrames = 0;
};

deviceStamp_t deviceStamp;


void deviceCallback(void*, Uint8* stream, int length)
{
    int16_t* out = reinterpret_cast<int16_t*>(stream);
    int frames = length / 4;
    while (frames > 0) {
        int n = frames < BLOCK ? frames : BLOCK;
        mixBlock(audio.mix, n);
        toDeviceSamples(audio.mix, out, n);
        out += n * 2;
        frames -= n;
        audio.deviceFrames += uint64_t(n);
    }
    deviceStamp.ns = audioClockMonotonicNs();
}

// --- the device ------------------------------------------------------------

typedef void (*alsaErrorHandler_t)(const char* file, int line, const char* function, int error,
                                   const char* format, ...);

void alsaSilent(const char*, int, const char*, int, const char*, ...) {}

// While SDL looks for a card, libasound prints its own lines on the standard
// error: without a card, eight lines of configuration noise before our one
// line, which already carries SDL's reason. Its handler is silenced for the
// opening only. Returns the library to pass to alsaLoud (null without it).
void* alsaQuiet(void)
{
    void* library = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
    auto setHandler = library ? reinterpret_cast<int (*)(alsaErrorHandler_t)>(
                                    dlsym(library, "snd_lib_error_set_handler"))
                              : nullptr;
    if (setHandler)
        setHandler(alsaSilent);
    return library;
}

void alsaLoud(void* library)
{
    if (!library)
        return;
    auto setHandler =
        reinterpret_cast<int (*)(alsaErrorHandler_t)>(dlsym(library, "snd_lib_error_set_handler"));
    if (setHandler)
        setHandler(nullptr); // the library's own handler again
    dlclose(library);
}

int openSdlAudio(char* reason, size_t reasonSize)
{
    // The video subsystem may already be up; only audio is added here.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        snprintf(reason, reasonSize, "%s", SDL_GetError());
        return 0;
    }
    SDL_AudioSpec want;
    memset(&want, 0, sizeof want);
    want.freq = AUDIO_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = DEVICE_FRAMES;
    want.callback = deviceCallback;
    // Nothing asked back from SDL: it converts to the device for us, so the mix
    // always runs at AUDIO_RATE in stereo.
    if (SDL_OpenAudio(&want, nullptr) != 0) {
        snprintf(reason, reasonSize, "%s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    audio.deviceOpen = 1;
    deviceStamp = deviceStamp_t{0, want.samples}; // SDL writes the buffer size it chose back into `want`
    if (!SDL_AudioDriverName(audio.driver, int(sizeof audio.driver)))
        audio.driver[0] = 0;
    SDL_PauseAudio(0);
    return 1;
}

int tryOpenDevice(char* reason, size_t reasonSize)
{
    void* alsa = alsaQuiet();
    int opened = openSdlAudio(reason, reasonSize);
    alsaLoud(alsa);
    return opened;
}

// Opened once per run and left open: opening costs tens of milliseconds,
// too much for every song start.
void openDevice(void)
{
    if (audio.output != AUDIO_OUTPUT_DEVICE || audio.deviceOpen || audio.deviceTried)
        return;
    audio.deviceTried = 1;
    char reason[256];
    if (tryOpenDevice(reason, sizeof reason))
        return;
    if (getenv("SDL_AUDIODRIVER")) {
        fprintf(stderr, "tessellune: the audio driver chosen in SDL_AUDIODRIVER does not open (%s); no sound\n",
                reason);
        return;
    }
    // SDL's dummy driver plays nothing but calls back in real time, so
    // positions move on as if a card were there.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    char dummyReason[256];
    int ok = tryOpenDevice(dummyReason, sizeof dummyReason);
    unsetenv("SDL_AUDIODRIVER");
    fprintf(stderr, "tessellune: no audio device (%s); playing silently\n", reason);
    if (!ok)
        fprintf(stderr, "tessellune: SDL's silent audio driver does not open either (%s)\n", dummyReason);
}

// --- channels and sounds (main thread) --------------------------------------

// The channel of `handle`, also when it has ended; only under the lock.
channel_t* channelOf(audioChannel_t handle)
{
    if (!audio.ready || !handle)
        return nullptr;
    int index = int(handle & (MOST_CHANNELS - 1));
    if (index >= audio.channelCount)
        return nullptr;
    channel_t* c = &audio.channels[index];
    return c->handle == handle ? c : nullptr;
}

// Only under the lock: `ended` is written by the audio thread.
channel_t* findChannel(audioChannel_t handle)
{
    channel_t* c = channelOf(handle);
    return c && !c->ended ? c : nullptr;
}

// Moves the channel's queued, or finished, decoder into `taken`, to be
// closed outside the audio lock.
void detachNext(channel_t* c, channel_t* taken)
{
    taken->nextState = c->nextState;
    taken->nextDecoder = c->nextDecoder;
    c->nextSound = 0;
    c->nextState = nullptr;
    c->nextDecoder = nullptr;
}

void detachDone(channel_t* c, channel_t* taken)
{
    taken->doneState = c->doneState;
    taken->doneDecoder = c->doneDecoder;
    c->doneSound = 0;
    c->doneState = nullptr;
    c->doneDecoder = nullptr;
}

void closeDecoders(const channel_t* c)
{
    if (c->state)
        c->decoder->close(c->state);
    if (c->nextState)
        c->nextDecoder->close(c->nextState);
    if (c->doneState)
        c->doneDecoder->close(c->doneState);
}

// Frees, one at a time, each channel that `match` picks: detached under
// the lock, its decoder closed outside it.
void freeChannels(int (*match)(const channel_t* c, audioSound_t sound), audioSound_t sound)
{
    for (;;) {
        channel_t taken{};
        lock();
        for (int i = 0; i < audio.channelCount && !taken.handle; i++) {
            if (audio.channels[i].handle && match(&audio.channels[i], sound)) {
                taken = audio.channels[i];
                audio.channels[i] = channel_t{};
            }
        }
        unlock();
        if (!taken.handle)
            return;
        closeDecoders(&taken);
    }
}

// Takes back every queued or finished decoder that reads `sound`'s bytes,
// which are about to be freed, from channels that go on playing another.
void dropDecodersOf(audioSound_t sound)
{
    for (int i = 0; i < audio.channelCount; i++) {
        channel_t* c = &audio.channels[i];
        channel_t taken{};
        lock();
        if (c->nextSound == sound)
            detachNext(c, &taken);
        if (c->doneSound == sound)
            detachDone(c, &taken);
        unlock();
        closeDecoders(&taken);
    }
}

int hasEnded(const channel_t* c, audioSound_t)
{
    return c->ended;
}

int playsSound(const channel_t* c, audioSound_t sound)
{
    return c->sound == sound;
}

int findSound(audioSound_t handle)
{
    for (int i = 0; handle && i < audio.soundCount; i++)
        if (audio.sounds[i]->handle == handle)
            return i;
    return -1;
}

void freeSound(sound_t* s)
{
    if (s->spare)
        s->decoder->close(s->spare);
    audioFileRelease(&s->bytes);
    free(s);
}

// --- sounds fed from elsewhere ---------------------------------------------------

struct sourceState_t {
    const audioSource_t* source;
    void* context;
};

int sourceProbe(const unsigned char*, size_t)
{
    return 0;
}

// A second play of a source would need a second producer: refused.
void* sourceOpen(const unsigned char*, size_t, int, char* reason, size_t reasonSize)
{
    snprintf(reason, reasonSize, "a live sound plays once");
    return nullptr;
}

size_t sourceRead(void* state, float* stereo, size_t frames)
{
    sourceState_t* s = static_cast<sourceState_t*>(state);
    return s->source->read(s->context, stereo, frames);
}

// Only the start, where a new channel stands anyway, is a place in a live sound.
double sourceSeek(void*, double seconds)
{
    return seconds == 0 ? 0 : -1;
}

void sourceClose(void* state)
{
    sourceState_t* s = static_cast<sourceState_t*>(state);
    s->source->close(s->context);
    free(s);
}

int sourceInfo(const unsigned char*, size_t, int, double*, audioTags_t*)
{
    return 0;
}

int sourcePlaysExtension(const char*)
{
    return 0;
}

const audioDecoder_t sourceDecoder = {"source", sourceProbe, sourceOpen, sourceRead, sourceSeek, sourceClose,
                                      nullptr, sourceInfo, sourcePlaysExtension};

audioResult_t keepSound(audioBytes_t* bytes, const audioDecoder_t* decoder, void* state, audioSound_t* sound);

audioResult_t addSound(audioBytes_t* bytes, audioSound_t* sound)
{
    const audioDecoder_t* decoder = nullptr;
    void* state = nullptr;
    char reason[256] = "not a known audio format";
    for (int i = 0; i < audioDecoderCount && !state; i++) {
        decoder = audioDecoders[i];
        if (decoder->probe(bytes->data, bytes->size))
            state = decoder->open(bytes->data, bytes->size, AUDIO_RATE, reason, sizeof reason);
    }
    if (!state) {
        audioFileRelease(bytes);
        return failWith(AUDIO_ERR_FORMAT, "%s", reason);
    }
    return keepSound(bytes, decoder, state, sound);
}

// A sound from its bytes (empty for a source) and a first decoder state,
// which it takes over, also on failure.
audioResult_t keepSound(audioBytes_t* bytes, const audioDecoder_t* decoder, void* state, audioSound_t* sound)
{
    sound_t* s = static_cast<sound_t*>(calloc(1, sizeof(sound_t)));
    if (s && audio.soundCount == audio.soundCapacity) {
        int capacity = audio.soundCapacity ? audio.soundCapacity * 2 : 16;
        void* grown = realloc(audio.sounds, sizeof(sound_t*) * size_t(capacity));
        if (grown) {
            audio.sounds = static_cast<sound_t**>(grown);
            audio.soundCapacity = capacity;
        }
    }
    if (!s || audio.soundCount == audio.soundCapacity) {
        free(s);
        decoder->close(state);
        audioFileRelease(bytes);
        return failWith(AUDIO_ERR_MEMORY, "out of memory");
    }
    if (++audio.soundSerial == 0)
        audio.soundSerial = 1;
    *s = sound_t{audio.soundSerial, *bytes, decoder, state};
    audio.sounds[audio.soundCount++] = s;
    *sound = s->handle;
    return AUDIO_OK;
}

int freeChannelIndex(void)
{
    for (int i = 0; i < audio.channelCount; i++)
        if (!audio.channels[i].handle)
            return i;
    return -1;
}

// A decoder of the sound's own, ready at its first sample.
void* openDecoder(sound_t* s, char* reason, size_t reasonSize)
{
    void* state = s->spare;
    s->spare = nullptr;
    return state ? state : s->decoder->open(s->bytes.data, s->bytes.size, AUDIO_RATE, reason, reasonSize);
}

} // namespace

// --- the system --------------------------------------------------------------

void audioSetOutput(audioOutput_t output)
{
    assert(!audio.deviceOpen && "close the device (audioShutdown) before changing the output");
    audio.output = output;
    audio.deviceTried = 0;
}

audioResult_t audioSystemInit(int channels)
{
    assert(channels > 0 && channels <= MOST_CHANNELS);
    audioSystemClose();
    openDevice();
    channel_t* list = static_cast<channel_t*>(calloc(size_t(channels), sizeof(channel_t)));
    if (!list)
        return failWith(AUDIO_ERR_MEMORY, "out of memory");
    lock();
    audio.channels = list;
    audio.channelCount = channels;
    audio.ready = 1;
    unlock();
    return AUDIO_OK;
}

void audioSystemClose(void)
{
    if (!audio.ready)
        return;
    lock();
    channel_t* list = audio.channels;
    int count = audio.channelCount;
    audio.ready = 0;
    audio.channels = nullptr;
    audio.channelCount = 0;
    unlock();
    for (int i = 0; i < count; i++)
        if (list[i].handle)
            closeDecoders(&list[i]);
    free(list);
    for (int i = 0; i < audio.soundCount; i++)
        freeSound(audio.sounds[i]);
    audio.soundCount = 0;
}

void audioShutdown(void)
{
    audioSystemClose();
    if (audio.deviceOpen) {
        SDL_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    free(audio.sounds);
    audioFileFreeSpare();
    audio = audio_t();
}

audioResult_t audioSystemCreateSound(const char* path, audioSound_t* sound)
{
    assert(path && sound);
    if (!audio.ready)
        return failWith(AUDIO_ERR_NOT_READY, "the audio system is not initialised");
    audioBytes_t bytes;
    char reason[256];
    if (!audioFileLoad(path, &bytes, reason, sizeof reason))
        return failWith(AUDIO_ERR_FILE, "%s", reason);
    return addSound(&bytes, sound);
}

audioResult_t audioSystemCreateSoundMemory(const void* data, size_t size, audioSound_t* sound)
{
    assert((data || !size) && sound);
    if (!audio.ready)
        return failWith(AUDIO_ERR_NOT_READY, "the audio system is not initialised");
    audioBytes_t bytes;
    if (!audioFileCopy(data, size, &bytes))
        return failWith(AUDIO_ERR_MEMORY, "out of memory");
    return addSound(&bytes, sound);
}

audioResult_t audioSystemCreateSoundSource(const audioSource_t* source, void* context, audioSound_t* sound)
{
    assert(source && sound);
    sourceState_t* state = static_cast<sourceState_t*>(malloc(sizeof(sourceState_t)));
    if (!state) {
        source->close(context);
        return failWith(AUDIO_ERR_MEMORY, "out of memory");
    }
    *state = sourceState_t{source, context};
    if (!audio.ready) {
        sourceClose(state);
        return failWith(AUDIO_ERR_NOT_READY, "the audio system is not initialised");
    }
    audioBytes_t bytes = {};
    return keepSound(&bytes, &sourceDecoder, state, sound);
}

audioResult_t audioReadTags(const char* path, double* seconds, audioTags_t* tags)
{
    assert(path && seconds && tags);
    *seconds = -1;
    tags->title[0] = tags->artist[0] = tags->album[0] = 0;
    audioBytes_t bytes;
    char reason[256];
    if (!audioFileMap(path, &bytes, reason, sizeof reason))
        return failWith(AUDIO_ERR_FILE, "%s", reason);
    int known = 0;
    for (int i = 0; i < audioDecoderCount && !known; i++) {
        const audioDecoder_t* decoder = audioDecoders[i];
        known = decoder->probe(bytes.data, bytes.size) &&
                decoder->info(bytes.data, bytes.size, AUDIO_RATE, seconds, tags);
    }
    audioFileRelease(&bytes);
    return known ? AUDIO_OK : failWith(AUDIO_ERR_FORMAT, "not a known audio format");
}

audioResult_t audioReadInfo(const char* path, double* seconds, char* title, size_t titleSize)
{
    assert(title && titleSize > 0);
    audioTags_t* tags = static_cast<audioTags_t*>(malloc(sizeof(audioTags_t)));
    if (!tags)
        return failWith(AUDIO_ERR_MEMORY, "out of memory");
    audioResult_t result = audioReadTags(path, seconds, tags);
    snprintf(title, titleSize, "%s", tags->title);
    free(tags);
    return result;
}

int audioPlaysExtension(const char* extension)
{
    assert(extension);
    char lower[16];
    size_t length = strlen(extension);
    if (length == 0 || length >= sizeof lower)
        return 0;
    for (size_t i = 0; i <= length; i++)
        lower[i] = char(tolower(static_cast<unsigned char>(extension[i])));
    for (int i = 0; i < audioDecoderCount; i++)
        if (audioDecoders[i]->playsExtension(lower))
            return 1;
    return 0;
}

audioResult_t audioSoundRelease(audioSound_t sound)
{
    int index = findSound(sound);
    if (index < 0)
        return failWith(AUDIO_ERR_INVALID_HANDLE, "no such sound");
    freeChannels(playsSound, sound);
    dropDecodersOf(sound);
    freeSound(audio.sounds[index]);
    audio.sounds[index] = audio.sounds[--audio.soundCount];
    return AUDIO_OK;
}

audioResult_t audioSystemPlaySound(audioSound_t sound, int paused, audioChannel_t* channel)
{
    assert(channel);
    if (!audio.ready)
        return failWith(AUDIO_ERR_NOT_READY, "the audio system is not initialised");
    freeChannels(hasEnded, 0);
    int index = findSound(sound);
    if (index < 0)
        return failWith(AUDIO_ERR_INVALID_HANDLE, "no such sound");
    int slot = freeChannelIndex();
    if (slot < 0)
        return failWith(AUDIO_ERR_NO_FREE_CHANNEL, "all %d channels are playing", audio.channelCount);
    sound_t* s = audio.sounds[index];
    char reason[256];
    void* state = openDecoder(s, reason, sizeof reason);
    if (!state)
        return failWith(AUDIO_ERR_FORMAT, "%s", reason);
    if (++audio.channelSerial >= (1u << (32 - CHANNEL_BITS)))
        audio.channelSerial = 1;
    channel_t c{};
    c.handle = (audio.channelSerial << CHANNEL_BITS) | uint32_t(slot);
    c.sound = sound;
    c.decoder = s->decoder;
    c.state = state;
    c.paused = paused != 0;
    if (c.decoder->modulePosition)
        c.decoder->modulePosition(state, &c.order, &c.row);
    lock();
    audio.channels[slot] = c;
    unlock();
    *channel = c.handle;
    return AUDIO_OK;
}

audioResult_t audioChannelQueueNext(audioChannel_t channel, audioSound_t sound)
{
    int index = findSound(sound);
    if (sound && index < 0)
        return failWith(AUDIO_ERR_INVALID_HANDLE, "no such sound");
    char reason[256] = "";
    void* state = sound ? openDecoder(audio.sounds[index], reason, sizeof reason) : nullptr;
    if (sound && !state)
        return failWith(AUDIO_ERR_FORMAT, "%s", reason);
    channel_t old{};
    lock();
    channel_t* c = findChannel(channel);
    if (c) {
        detachNext(c, &old);
        c->nextSound = sound;
        c->nextState = state;
        c->nextDecoder = sound ? audio.sounds[index]->decoder : nullptr;
    } else {
        old.state = state, old.decoder = sound ? audio.sounds[index]->decoder : nullptr;
    }
    unlock();
    closeDecoders(&old); // the one replaced, or the new one when the channel is gone
    return c ? AUDIO_OK : failWith(AUDIO_ERR_INVALID_HANDLE, "no such channel");
}

audioResult_t audioChannelTakeMove(audioChannel_t channel, int* moved)
{
    assert(moved);
    channel_t done{};
    lock();
    channel_t* c = channelOf(channel);
    *moved = c ? c->movedOn : 0;
    if (c) {
        detachDone(c, &done);
        c->movedOn = 0;
    }
    unlock();
    closeDecoders(&done);
    return c ? AUDIO_OK : failWith(AUDIO_ERR_INVALID_HANDLE, "no such channel");
}

audioResult_t audioChannelSetPaused(audioChannel_t channel, int paused)
{
    lock();
    channel_t* c = findChannel(channel);
    if (c)
        c->paused = paused != 0;
    unlock();
    return c ? AUDIO_OK : failWith(AUDIO_ERR_INVALID_HANDLE, "no such channel");
}

audioResult_t audioChannelGetPaused(audioChannel_t channel, int* paused)
{
    assert(paused);
    lock();
    channel_t* c = findChannel(channel);
    if (c)
        *paused = c->paused;
    unlock();
    return c ? AUDIO_OK : failWith(AUDIO_ERR_INVALID_HANDLE, "no such channel");
}

audioResult_t audioChannelIsPlaying(audioChannel_t channel, int* playing)
{
    assert(playing);
    lock();
    *playing = findChannel(channel) != nullptr;
    unlock();
    return *playing ? AUDIO_OK : failWith(AUDIO_ERR_INVALID_HANDLE, "no such channel");
}

audioResult_t audioChannelGetEnded(audioChannel_t channel, int* ended)
{
    assert(ended);
    lock();
    channel_t* c = channelOf(channel);
    if (c)
        *ended = c->ended;
    unlock();
    return c ? AUDIO_OK : failWith(AUDIO_ERR_INVALID_HANDLE, "no such channel");
}

audioResult_t audioChannelSetPosition(audioChannel_t channel, uint32_t position, audioTimeUnit_t unit)
{
    if (unit != AUDIO_TIME_MS)
        return failWith(AUDIO_ERR_UNSUPPORTED, "positions are set in milliseconds");
    audioResult_t result = AUDIO_OK;
    lock();
    channel_t* c = findChannel(channel);
    if (!c) {
        result = AUDIO_ERR_INVALID_HANDLE;
    } else {
        double reached = c->decoder->seek(c->state, position / 1000.0);
        if (reached < 0) {
            result = AUDIO_ERR_POSITION;
        } else {
            c->startMs = uint32_t(llround(reached * 1000.0));
            c->frames = 0;
            if (c->decoder->modulePosition)
                c->decoder->modulePosition(c->state, &c->order, &c->row);
        }
    }
    unlock();
    if (result == AUDIO_ERR_POSITION)
        return failWith(result, "%u ms lies beyond the end", position);
    return result == AUDIO_OK ? result : failWith(result, "no such channel");
}

audioResult_t audioChannelGetPosition(audioChannel_t channel, uint32_t* position, audioTimeUnit_t unit)
{
    assert(position);
    audioResult_t result = AUDIO_OK;
    lock();
    channel_t* c = findChannel(channel);
    if (!c)
        result = AUDIO_ERR_INVALID_HANDLE;
    else if (unit == AUDIO_TIME_MS)
        *position = c->startMs + uint32_t(c->frames * 1000 / AUDIO_RATE);
    else if (!c->decoder->modulePosition)
        result = AUDIO_ERR_UNSUPPORTED;
    else
        *position = uint32_t(unit == AUDIO_TIME_ORDER ? c->order : c->row);
    unlock();
    if (result == AUDIO_ERR_UNSUPPORTED)
        return failWith(result, "not a tracker module");
    return result == AUDIO_OK ? result : failWith(result, "no such channel");
}

const char* audioLastError(void)
{
    return audio.error;
}

const char* audioResultText(audioResult_t result)
{
    switch (result) {
    case AUDIO_OK: return "no error";
    case AUDIO_ERR_NOT_READY: return "audio system not initialised";
    case AUDIO_ERR_INVALID_HANDLE: return "invalid sound or channel";
    case AUDIO_ERR_FILE: return "file cannot be read";
    case AUDIO_ERR_FORMAT: return "unknown or damaged audio data";
    case AUDIO_ERR_NO_FREE_CHANNEL: return "no free channel";
    case AUDIO_ERR_POSITION: return "position beyond the end";
    case AUDIO_ERR_UNSUPPORTED: return "not supported for this sound";
    case AUDIO_ERR_MEMORY: return "out of memory";
    }
    return "unknown result";
}

void audioRender(float* stereo, int frames)
{
    assert(!audio.deviceOpen && "the device's thread mixes while it is open");
    while (frames > 0) {
        int n = frames < BLOCK ? frames : BLOCK;
        mixBlock(stereo, n);
        stereo += n * 2;
        frames -= n;
    }
}

void audioRender16(int16_t* stereo, int frames)
{
    assert(!audio.deviceOpen && "the device's thread mixes while it is open");
    while (frames > 0) {
        int n = frames < BLOCK ? frames : BLOCK;
        mixBlock(audio.mix, n);
        toDeviceSamples(audio.mix, stereo, n);
        stereo += n * 2;
        frames -= n;
    }
}

void audioSetGain(float gain)
{
    if (!(gain >= 0.0f))
        gain = 0.0f; // also NaN
    lock();
    audio.gainTarget = gain > 1.0f ? 1.0f : gain;
    unlock();
}

uint64_t audioDeviceFrames(void)
{
    lock();
    uint64_t frames = audio.deviceFrames;
    unlock();
    return frames;
}

const char* audioDeviceDriver(void)
{
    return audio.driver;
}

audioResult_t audioChannelGetPlayed(audioChannel_t channel, audioPlayed_t* played)
{
    assert(played);
    lock();
    channel_t* c = channelOf(channel); // an ended channel keeps its last position
    if (c) {
        played->seconds = c->startMs / 1000.0 + double(c->frames) / AUDIO_RATE;
        played->stampNs = deviceStamp.ns;
        played->bufferFrames = deviceStamp.bufferFrames;
        played->moving = audio.deviceOpen && !c->paused && !c->ended;
    }
    unlock();
    return c ? AUDIO_OK : failWith(AUDIO_ERR_INVALID_HANDLE, "no such channel");
}
