#ifndef TESSELLUNE_SYNCEDITOR_H
#define TESSELLUNE_SYNCEDITOR_H

// The production's side of a sync editor over TCP. The editor is the
// server: on connecting the production greets it, asks for each of its
// tracks by name (a track's index is the order of those requests), then
// takes keys, rows to go to, pause and save requests, and tells the editor
// the row it plays. All of it is polled once a frame without ever waiting:
// partial messages are kept for the next frame, a lost editor leaves the
// tracks as they were and a line, and a new connection is tried at most
// once every SYNC_EDITOR_RETRY seconds. Main thread only.

#include "system/production/syncTrack.h"

#include <cstddef>
#include <cstdint>

const double SYNC_EDITOR_RETRY = 1.0;  // seconds between two attempts to reach the editor
const double SYNC_EDITOR_ANSWER = 3.0; // seconds an attempt may take to connect and be greeted
const size_t SYNC_EDITOR_BUFFER = 1 << 16; // bytes read from the editor in one frame, at most

// The editor's messages, as the command byte that starts them.
enum { SYNC_SET_KEY = 0, SYNC_DELETE_KEY = 1, SYNC_GET_TRACK = 2, SYNC_SET_ROW = 3, SYNC_PAUSE = 4,
       SYNC_SAVE_TRACKS = 5 };

struct syncMessage_t {
    int command; // SYNC_*, or -1 for a byte that starts no known message
    uint32_t track;
    syncKey_t key; // SET_KEY: row, value, type as sent (the type unchecked); DELETE_KEY: row
    uint32_t row;  // SET_ROW
    int flag;      // PAUSE: 1 pauses, 0 plays
};

// The message at the front of `data` (big-endian, as sent): the bytes it
// takes, 0 when it is not complete yet, 1 for an unknown command byte.
size_t syncMessageRead(const uint8_t* data, size_t size, syncMessage_t* message);

// What the editor asks of the run.
struct syncEditorHandler_t {
    void (*setRow)(uint32_t row);
    void (*pause)(int paused);
};

// Starts trying to reach the editor at `host`:`port`; the tracks are the
// caller's and must outlive the connection. Saved tracks go beside `base`.
void syncEditorOpen(const char* host, int port, syncTrack_t* tracks, int trackCount, const char* base,
                    syncEditorHandler_t handler);
// Once a frame: reads and applies what arrived, and sends `row` when it
// changed while `playing`.
void syncEditorPoll(int row, int playing, double nowSeconds);
int syncEditorConnected(void);
void syncEditorClose(void);

#endif
