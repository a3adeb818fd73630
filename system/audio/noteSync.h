#ifndef TESSELLUNE_NOTESYNC_H
#define TESSELLUNE_NOTESYNC_H

// Sync from a tracker module's own notes: which channels and instruments
// start a note on the rows the music has just reached. The module is
// played through once without sound when it is loaded, to learn when each
// row of its play order starts (pattern jumps, breaks and loops included);
// each frame then hands in the scene time, and the rows whose start lies
// between the last frame's time and this one's are the rows reached. Every
// reached row is reported in exactly one frame, however many rows a frame
// spans; a step back, or forward by more than NOTE_SYNC_SEEK, is a seek,
// and the rows it passes over are not reported. Main thread only.

#include <cstddef>

const float NOTE_SYNC_SEEK = 0.25f; // seconds: a longer step forward passes rows over

// 0 when the file cannot be read or is no module; every query then answers 0.
int noteSyncLoad(const char* path);
int noteSyncLoadMemory(const void* data, size_t size);
void noteSyncUnload(void);
// Once a frame, with the frame's scene time in seconds from the music's start.
void noteSyncUpdate(float seconds);
// 1 when a row reached at the last update starts a note on `channel`
// (0 for the module's first channel) ...
int noteSyncChannel(int channel);
// ... or a note of `instrument` (numbered as the module does, from 1) on
// any channel. A note without an instrument number plays its channel's last.
int noteSyncInstrument(int instrument);
// The order and row of the latest row reached by the last update; 0 (and
// -1, -1) before the first.
int noteSyncPosition(int* order, int* row);
// Rows counted along the play order from 0, as a sync editor counts them:
// the row under `seconds` with the part of it that has passed, and the
// start of a row in seconds. Without a module a row lasts
// NOTE_SYNC_PLAIN_ROW; past the last row the last row's length goes on.
const double NOTE_SYNC_PLAIN_ROW = 0.125;
double noteSyncRowAt(float seconds);
float noteSyncRowStart(int row);
// The start of the pattern `step` entries of the play order from the one
// under `seconds` (0: its own start), kept within the play order; 0 without
// a module.
int noteSyncPatternStart(float seconds, int step, float* start);

#endif
