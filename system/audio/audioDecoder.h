#ifndef TESSELLUNE_AUDIODECODER_H
#define TESSELLUNE_AUDIODECODER_H

// Inside the audio layer (and its tests and fuzz target): the decoders
// behind it, one small table each. Every decoder
// works on bytes already in memory, which stay alive and unchanged until its
// close, and delivers stereo float frames at the rate asked for at open.
// Decoders are not thread-safe: one state is used by one thread at a time.

#include "system/audio/audio.h"

#include <cstddef>

struct audioDecoder_t {
    const char* name;
    // Non-zero when the content (not the file name) looks like this decoder's.
    int (*probe)(const unsigned char* data, size_t size);
    // Null on failure, with a one-line reason written to `reason`.
    void* (*open)(const unsigned char* data, size_t size, int rate, char* reason, size_t reasonSize);
    // Fills up to `frames` interleaved stereo frames; fewer only at the end.
    size_t (*read)(void* state, float* stereo, size_t frames);
    // Moves to `seconds` from the start; returns the position reached, or a
    // negative number (and stays put) when it lies beyond the end or fails.
    double (*seek)(void* state, double seconds);
    void (*close)(void* state);
    // Tracker modules only (null otherwise): the current order and row.
    void (*modulePosition)(void* state, int* order, int* row);
    // Reads only what a length and the tags need, decoding nothing: the
    // length in seconds (negative when the bytes do not say) and the file's
    // own tags (each "" when it has none). 0 when open would refuse the bytes.
    int (*info)(const unsigned char* data, size_t size, int rate, double* seconds, audioTags_t* tags);
    // Non-zero when a file named *.`extension` (lower case, no dot) is of a
    // kind this decoder plays.
    int (*playsExtension)(const char* extension);
};

extern const audioDecoder_t audioDecoderSampled; // WAV, FLAC, Ogg Vorbis, Opus, MP3, ...
extern const audioDecoder_t audioDecoderModule;  // tracker modules

// The table, in probing order: the first decoder that probes and opens wins.
extern const audioDecoder_t* const audioDecoders[];
extern const int audioDecoderCount;

#endif
