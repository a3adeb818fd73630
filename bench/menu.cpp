// One player-screen frame as the main loop shows it: menuDraw, then the
// buffer swap, in an 800 x 500 window (run under tools/with-xvfb.sh).
#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Every heap allocation in the process is counted, so a frame that
// allocates shows in allocs_per_frame. The count includes the OpenGL
// driver's and SDL's own: Mesa's software rasteriser, for one, allocates
// for every glBitmap it draws. The player screen's own code allocates
// nothing in a steady frame; the menu tests count that apart.
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

namespace {
std::atomic<long> allocations{0};
}

extern "C" void* malloc(size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}

namespace {

bool openScreen(void)
{
    static int state = 0; // 0 not tried, 1 open, -1 failed
    if (state == 0) {
        windowInit(unsigned(menu_window_width), unsigned(menu_window_height), 0);
        state = windowShow() == 1 ? 1 : -1;
        if (state == 1) {
            resetViewport();
            menuInit();
            // What the main loop writes into the label every frame.
            gui_component_set_text(get_gui_component(5), "Stardust Memories - Part II (Extended)");
        }
    }
    return state == 1;
}

void BM_PlayerScreenFrame(benchmark::State& state)
{
    if (!openScreen()) {
        state.SkipWithError("no OpenGL window: run under tools/with-xvfb.sh");
        return;
    }
    const int frames = int(state.range(0));
    std::vector<double> frameMs(static_cast<size_t>(frames));
    for (auto _ : state) {
        for (int f = 0; f < 30; f++) { // warm up the driver's caches
            menuDraw();
            SDL_GL_SwapBuffers();
        }
        long allocationsBefore = allocations.load();
        for (int f = 0; f < frames; f++) {
            auto begin = std::chrono::steady_clock::now();
            menuDraw();
            SDL_GL_SwapBuffers();
            auto end = std::chrono::steady_clock::now();
            frameMs[size_t(f)] = std::chrono::duration<double, std::milli>(end - begin).count();
        }
        long allocated = allocations.load() - allocationsBefore;
        std::sort(frameMs.begin(), frameMs.end());
        state.counters["median_ms"] = frameMs[frameMs.size() / 2];
        state.counters["p99_ms"] = frameMs[frameMs.size() * 99 / 100];
        state.counters["max_ms"] = frameMs.back();
        state.counters["allocs_per_frame"] = double(allocated) / frames;
    }
}
BENCHMARK(BM_PlayerScreenFrame)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    menuDeinit();
    windowDeinit();
    return 0;
}
