#ifndef TESSELLUNE_PRODUCTION_H
#define TESSELLUNE_PRODUCTION_H

// The runner of a production: the scenes that the production's effects
// playlist registers (effects/playlist.h, which the production implements)
// played on its music, live in a window or captured off line, with the
// switches read from the command line:
//
//   NAME [--resolution WxH] [--fullscreen] [--to m:ss] [--stats] [--clock-log FILE]
//   NAME --capture DIR [--fps N] [--from m:ss] [--to m:ss] [--resolution WxH]
//
// Live, the scene time is the music as it is heard (audioClock.h), the
// frame timer paces the frames, and Escape or closing the window ends the
// run. --clock-log writes a line per frame: CLOCK_MONOTONIC seconds when it
// was presented, the scene time it showed, and CLOCK_MONOTONIC seconds when
// that time was read (the two differ by the frame's drawing). The capture writes numbered PNG frames and sound.wav into DIR on a
// clock of frame counts. Every frame the module's notes are brought up to
// the scene time (noteSync.h) before the scenes run. The virtual screen
// keeps its 16:9 in any window, with black bars beside or above it.

// `name` prefixes the messages and names the program in the usage text.
// Returns the exit status: 0 after a normal run, 1 for a switch it cannot
// use, a missing display or window, or a capture that could not be written.
int productionRun(int argc, char* argv[], const char* name);

// The largest 16:9 drawing area (of the virtual screen's proportions) that
// fits a window of `width` x `height` pixels.
void productionFitArea(int width, int height, int* areaWidth, int* areaHeight);

#endif
