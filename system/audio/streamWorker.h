#ifndef TESSELLUNE_STREAMWORKER_H
#define TESSELLUNE_STREAMWORKER_H

// Between the stream client's files: the record the three threads share
// (streamClient.cpp: the worker's connection and the main thread's news;
// streamDecode.cpp: the worker's decoders; streamSource.cpp: the audio
// thread's side of the frame ring). Not for callers outside them.

#include "system/audio/streamClient.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>

const size_t STREAM_URL_SIZE = 4096;
const size_t STREAM_RING_FRAMES = 1 << 18; // 5.9 s of decoded stereo at 44.1 kHz: rides out a station's jitter
const int STREAM_LINES = 8;                // lines waiting for the main thread; older ones give way
const int STREAM_TITLES = 4;               // titles waiting for their music to be heard; a later one replaces the last
const size_t STREAM_LINE_SIZE = 512;

struct stream_t {
    std::atomic<int> holders; // the sound front, the sound, the worker
    std::atomic<int> stop;    // nobody listens any more: the worker winds up
    char url[STREAM_URL_SIZE];
    int listAllowed;

    // Decoded stereo frames at AUDIO_RATE: the worker writes, the audio
    // thread reads; each side moves only its own counter.
    float* ring;
    std::atomic<uint64_t> written;
    std::atomic<uint64_t> taken;
    int primed; // audio thread only: enough is buffered to start (again)

    // The news, under `lock`.
    pthread_mutex_t lock;
    streamState_t state;
    char title[STREAM_TITLE_SIZE]; // as heard: the audio thread has reached its music
    // Titles whose music is still in the ring, with the ring's frame count
    // at which it begins: the caption changes when the song is heard, not
    // seconds earlier when its metadata arrived.
    struct {
        uint64_t atFrame;
        char text[STREAM_TITLE_SIZE];
    } titles[STREAM_TITLES];
    int titleCount;
    char icyName[STREAM_TITLE_SIZE];
    char lines[STREAM_LINES][STREAM_LINE_SIZE];
    int lineCount;
    char* list;
    size_t listSize;
    int listPls; // the list is PLS, else M3U
};

// --- news (worker side, streamClient.cpp) ---
void streamWorkerSetState(stream_t* stream, streamState_t state);
// A title for the music from the next frame written to the ring on.
void streamWorkerSetTitle(stream_t* stream, const char* title);
void streamWorkerSay(stream_t* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// --- the worker's byte supply and frame output ---
struct streamBytes_t; // the connection as the decoders see it (streamClient.cpp)
// Up to `size` music bytes, waiting for them; 0 at the end of the answer,
// on a failure or when told to stop.
size_t streamWorkerRead(streamBytes_t* bytes, unsigned char* out, size_t size);
// Decodes the answer's music into the ring until it ends or fails; the
// first `headSize` bytes were already read (to tell the format) and come
// first; `kind` is a streamKind_t. Returns 1 when any music was decoded;
// `why` says why it ended when the connection did not.
int streamDecodeRun(stream_t* stream, streamBytes_t* bytes, int kind, const unsigned char* head,
                    size_t headSize, char* why, size_t whySize);

// --- the frame ring ---
size_t streamRingRoom(const stream_t* stream);
void streamRingWrite(stream_t* stream, const float* stereo, size_t frames);

#endif
