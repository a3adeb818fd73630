#ifndef TESSELLUNE_FILEWATCH_H
#define TESSELLUNE_FILEWATCH_H

// Files a live run reads again when they change on disk: a production's
// pictures, drawings and sync tracks, so that saving one in its editor
// shows on screen. A file is read once it has been still for
// FILE_WATCH_SETTLE seconds, so a writer that takes a while is not read
// half-way; with looks every FILE_WATCH_POLL seconds the new content is on
// screen within half a second of the last write. Main thread only.

const double FILE_WATCH_SETTLE = 0.2; // seconds a changed file is left alone
const double FILE_WATCH_POLL = 0.1;   // seconds between two looks
const int FILE_WATCH_MOST = 256;      // files watched at once

// Reads `path` again; returns 1 when the new content is in use. On
// failure it keeps what it had and prints one line.
typedef int (*fileWatchReload_t)(const char* path, void* user);

// `path` is copied. Past FILE_WATCH_MOST files the rest are not watched.
void fileWatchAdd(const char* path, fileWatchReload_t reload, void* user);
// Once a frame in a live run, with a monotonic time in seconds.
void fileWatchPoll(double nowSeconds);
void fileWatchClear(void);

#endif
