// The spline editor's frame with 2,000 strokes of 50 points each, every one
// re-solved and resampled each frame: once with the vertices going nowhere
// (the editor's own cost) and once into OpenGL, finished with glFinish (the
// whole frame on this machine's renderer). Needs an X display.

#include "system/ui/editors/splineEditor.h"
#include "system/ui/input/inputSdl.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

const int STROKES = 2000;
const int POINTS = 50;

void putWord(FILE* file, uint32_t word)
{
    fwrite(&word, 1, sizeof word, file); // the build machines are little-endian
}

void putFloat(FILE* file, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    putWord(file, bits);
}

// Writes the strokes as a drawing file and loads it into a fresh editor.
bool loadDrawing(void)
{
    char path[] = "/tmp/tessellune-bench-drawing-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return false;
    FILE* file = fdopen(fd, "wb");
    std::mt19937 random(9);
    std::uniform_real_distribution<float> start(50, 750), step(-6, 6);
    for (int s = 0; s < STROKES; s++) {
        putWord(file, POINTS);
        putWord(file, 3);
        putFloat(file, start(random));
        putFloat(file, start(random) * 0.75f);
        for (int p = 1; p < POINTS; p++) {
            putFloat(file, step(random));
            putFloat(file, step(random));
        }
    }
    fclose(file);
    inputInit();
    splineEditorReset();
    splineEditorInit();
    splineEditorLoad(path);
    unlink(path);
    return splineEditorGetState()->splinesNum == STROKES;
}

bool openWindow(void)
{
    static int opened = 0;
    if (!opened) {
        const char* display = getenv("DISPLAY");
        if (!display || !*display)
            return false;
        windowInit(800, 600, 0);
        opened = windowShow() == 1 ? 1 : -1;
    }
    return opened == 1;
}

void runFrames(benchmark::State& state, bool finish)
{
    if (!openWindow()) {
        state.SkipWithError("no X display for an OpenGL window");
        return;
    }
    if (!loadDrawing()) {
        state.SkipWithError("could not build the drawing");
        return;
    }
    splineEditorRun(); // sizes the scratch
    for (auto _ : state) {
        splineEditorRun();
        if (finish)
            glFinish();
    }
    state.SetItemsProcessed(state.iterations() * STROKES * (POINTS - 1) * 12);
    splineEditorDeinit();
}

void BM_EditorFrameWithoutOpenGl(benchmark::State& state)
{
    static const splineEditorDrawPlatform_t quiet = {
        [](float) {}, [](unsigned int) {},
        [](float x, float y) { benchmark::DoNotOptimize(x + y); }, [](void) {}};
    splineEditorSetDrawPlatform(&quiet);
    runFrames(state, false);
    splineEditorSetDrawPlatform(nullptr);
}
BENCHMARK(BM_EditorFrameWithoutOpenGl)->Unit(benchmark::kMillisecond);

void BM_EditorFrameWithOpenGl(benchmark::State& state)
{
    runFrames(state, true);
}
BENCHMARK(BM_EditorFrameWithOpenGl)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
