// The audio thread's side of a stream: decoded frames out of the ring,
// silence when there are none. It never waits and never locks: the worker
// moves only `written`, this side only `taken`.

#include "system/audio/streamWorker.h"

#include <cstring>

namespace {

// Frames buffered before the first sound, and again after the ring ran
// dry: half a second rides out the jitter of a station without making the
// start feel slow.
const uint64_t PRIME_FRAMES = AUDIO_RATE / 2;
const uint64_t RING_MASK = STREAM_RING_FRAMES - 1;
static_assert((STREAM_RING_FRAMES & RING_MASK) == 0, "the ring's size is a power of two");

size_t readFrames(void* context, float* stereo, size_t frames)
{
    stream_t* stream = static_cast<stream_t*>(context);
    uint64_t taken = stream->taken.load(std::memory_order_relaxed);
    uint64_t ready = stream->written.load(std::memory_order_acquire) - taken;
    if (!stream->primed)
        stream->primed = ready >= PRIME_FRAMES;
    size_t n = stream->primed ? (ready < frames ? size_t(ready) : frames) : 0;
    for (size_t done = 0; done < n;) {
        size_t at = size_t((taken + done) & RING_MASK);
        size_t run = n - done < STREAM_RING_FRAMES - at ? n - done : STREAM_RING_FRAMES - at;
        memcpy(stereo + done * 2, stream->ring + at * 2, run * 2 * sizeof(float));
        done += run;
    }
    stream->taken.store(taken + n, std::memory_order_release);
    if (n < frames) {
        memset(stereo + n * 2, 0, (frames - n) * 2 * sizeof(float));
        stream->primed = 0; // ran dry: wait for a buffer's worth again
    }
    return frames; // a stream never ends by itself
}

void closeSource(void* context)
{
    streamRelease(static_cast<stream_t*>(context));
}

const audioSource_t SOURCE = {readFrames, closeSource};

} // namespace

size_t streamRingRoom(const stream_t* stream)
{
    uint64_t used = stream->written.load(std::memory_order_relaxed) - stream->taken.load(std::memory_order_acquire);
    return size_t(STREAM_RING_FRAMES - used);
}

void streamRingWrite(stream_t* stream, const float* stereo, size_t frames)
{
    uint64_t written = stream->written.load(std::memory_order_relaxed);
    for (size_t done = 0; done < frames;) {
        size_t at = size_t((written + done) & RING_MASK);
        size_t run = frames - done < STREAM_RING_FRAMES - at ? frames - done : STREAM_RING_FRAMES - at;
        memcpy(stream->ring + at * 2, stereo + done * 2, run * 2 * sizeof(float));
        done += run;
    }
    stream->written.store(written + frames, std::memory_order_release);
}

audioResult_t streamCreateSound(stream_t* stream, audioSound_t* sound)
{
    stream->holders.fetch_add(1);
    return audioSystemCreateSoundSource(&SOURCE, stream, sound);
}
