// Time to draw 1,000 characters of bitmap text in one frame: 20 lines of 49
// characters and a newline, in a caller's 2D view, finished with glFinish so
// the figure includes the rasterising. Needs an X display:
//   tools/with-xvfb.sh build/bench_textDraw --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "system/graphics/font/font.h"
#include "system/graphics/graphics.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

bool openWindow(void)
{
    static int state = 0; // 0 not tried, 1 open, -1 failed
    if (state == 0) {
        const char* display = getenv("DISPLAY");
        windowInit(1280, 720, 0);
        state = display && *display && windowShow() == 1 ? 1 : -1;
        if (state == 1) {
            resetViewport();
            // The glyph dump would swamp the report.
            fflush(stdout);
            int saved = dup(1);
            if (!freopen("/dev/null", "w", stdout))
                abort();
            fontInit();
            fflush(stdout);
            dup2(saved, 1);
            close(saved);
        }
    }
    return state == 1;
}

std::string thousandCharacters(void)
{
    std::string text;
    for (int line = 0; line < 20; line++) {
        for (int i = 0; i < 49; i++)
            text += char(33 + (line * 49 + i) % 94);
        text += '\n';
    }
    return text;
}

// Both entry points draw the same thousand characters, so their figures
// compare directly.
void drawThousandCharacters(benchmark::State& state, void (*draw)(const unsigned char* text))
{
    if (!openWindow()) {
        state.SkipWithError("no X display");
        return;
    }
    std::string text = thousandCharacters();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        draw(bytes);
        glFinish();
    }
    state.counters["chars/s"] = benchmark::Counter(double(text.size()) * double(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

void BM_drawTextIn2d(benchmark::State& state)
{
    drawThousandCharacters(state, [](const unsigned char* text) {
        perspective2dBegin(1280, 720);
        drawTextIn2d(20, 680, text);
        perspective2dEnd();
    });
}

void BM_drawText2d(benchmark::State& state)
{
    drawThousandCharacters(state, [](const unsigned char* text) { drawText2d(0.02f, 0.95f, text); });
}

} // namespace

BENCHMARK(BM_drawTextIn2d)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_drawText2d)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    windowDeinit();
    return 0;
}
