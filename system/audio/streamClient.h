#ifndef TESSELLUNE_STREAMCLIENT_H
#define TESSELLUNE_STREAMCLIENT_H

// Internet radio for the sound front: one worker thread per playing
// station connects, reads the answer, takes the titles out of it, decodes
// the music and reconnects after drops, while the main thread only polls
// its news once a frame and the audio thread only takes its decoded frames.
// The worker calls nothing of the main thread's modules.

#include "system/audio/audio.h"

#include <cstddef>

struct stream_t;

enum streamState_t {
    STREAM_CONNECTING,
    STREAM_PLAYING,      // music has arrived since the last (re)connect
    STREAM_RECONNECTING, // dropped, stalled or refused: waiting to try again
    STREAM_FAILED,       // nothing here will ever play (a type we do not play): pass the entry over
    STREAM_LIST,         // the address served a playlist: its text waits in the news
};

const size_t STREAM_TITLE_SIZE = 1024;
const size_t STREAM_LIST_MOST = 1 << 20; // a fetched playlist; a larger one is refused

struct streamNews_t {
    streamState_t state;
    char title[STREAM_TITLE_SIZE];    // the station's current title; "" before the first
    char icyName[STREAM_TITLE_SIZE];  // the station's name; "" when it sends none
    char* list;                       // STREAM_LIST: the text (the caller frees it), else null
    size_t listSize;
    int listPls;                      // the list is PLS, else M3U
};

// Starts a worker on `url` (http or https). `listAllowed` = 0 for an
// address named by a fetched playlist: a list it serves is refused rather
// than followed, so lists cannot send the player round in circles. Null
// when no thread can be started.
stream_t* streamOpen(const char* url, int listAllowed);
// A sound that plays the stream's decoded frames: silence while none are
// ready, never an end. It holds the stream until the sound is freed.
audioResult_t streamCreateSound(stream_t* stream, audioSound_t* sound);
// What changed since the last poll; prints the worker's waiting lines
// (one per failure and attempt) on the standard error. Main thread.
void streamPoll(stream_t* stream, streamNews_t* news);
// The caller's hold ends and the worker is told to stop; it never waits.
void streamRelease(stream_t* stream);
// End of the run: waits up to a second for workers to finish closing
// their connections.
void streamShutdown(void);

#endif
