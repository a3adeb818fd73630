#ifndef TESSELLUNE_BENCHWINDOW_H
#define TESSELLUNE_BENCHWINDOW_H

// For the benchmarks that draw the player screen.

#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

// The player's window, opened once per run; false, with the benchmark
// marked skipped, where there is no X display to open it on.
inline bool benchPlayerWindow(benchmark::State& state)
{
    static bool window = getenv("DISPLAY") &&
                         (windowInit(unsigned(menu_window_width), unsigned(menu_window_height), 0),
                          windowShow() == 1);
    if (!window)
        state.SkipWithError("no X display: run under tools/with-xvfb.sh");
    return window;
}

#endif
