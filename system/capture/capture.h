#ifndef TESSELLUNE_CAPTURE_H
#define TESSELLUNE_CAPTURE_H

// Off-line rendering of a production at a fixed frame rate: a frame timer
// driven by the frame count instead of the wall clock, each drawn frame read
// back into a PNG file, and the mixed sound over the same time written to a
// WAV file (16-bit stereo at the mixing rate, from the audio layer's pull
// output). Nothing here reads a clock, so two runs give the same bytes.

#include <cstdint>

// Installs a clock on the frame timer that reads frame / fps seconds and moves
// only by captureClockSetFrame (frame 0 to begin with); the timer's pacing
// sleeps return at once. Install before timerInit; captureClockRemove puts
// the system clock back.
void captureClockInstall(int fps);
void captureClockSetFrame(uint64_t frame);
void captureClockRemove(void);
// Stereo frames of sound from the start to the start of video frame `frame`,
// rounded down: the sound is cut where the pictures are, so the two never
// drift apart however the rate divides.
uint64_t captureSoundFramesBefore(uint64_t frame, int fps);

// Frames are written by a worker thread while the next one is drawn; two at
// most wait for it. captureFramesStart starts it, captureFramesFinish writes
// what waits, ends it, and returns 0 when any frame could not be written
// (captureFramesFailure then names the first, until the next start).
void captureFramesStart(void);
int captureFramesFinish(void);
const char* captureFramesFailure(void);
// Reads the drawing area of the frame not yet presented and queues it to be
// written as an RGB PNG; waits while the queue is full. 0 when the worker is
// not running, memory runs out, or an earlier frame could not be written.
int captureSaveFrame(const char* path);

// Creates the WAV file; its header's sizes are filled in by the close.
// 0 when it cannot be created.
int captureSoundOpen(const char* path);
// Mixes the next `frames` stereo frames and, when `keep` is set, writes them:
// a segment's lead-in is mixed, so the music gets to the right place, but
// not written.
void captureSoundRender(uint64_t frames, int keep);
uint64_t captureSoundFramesWritten(void);
// Fills in the sizes and closes the file; 0 when any write failed (the file
// is then removed).
int captureSoundClose(void);

#endif
