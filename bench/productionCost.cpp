// What the pieces of a production frame cost at 1280 x 720 under the
// renderer at hand (on a machine without a GPU, the software one): a clear,
// a clear shown in the window, a full-screen textured quad with and without
// blending, the copy of a region into a texture that glow and feedback
// effects use, the read-back of a frame, and the PNG encoding of a captured
// frame. Each drawing case ends with glFinish, so the time is the
// rasteriser's, not the queueing.
// The CPU column is the whole process's, the rasteriser's threads included:
// on a busy machine it is the steadier figure.
//   tools/with-xvfb.sh build/bench_productionCost --benchmark_repetitions=3
//       --benchmark_report_aggregates_only=true

#include "system/graphics/graphics.h"
#include "system/graphics/image/image.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int W = 1280, H = 720;

bool frameWindow(benchmark::State& state)
{
    static bool window = getenv("DISPLAY") && (setWindowScreenAreaDimensions(W, H), windowInit(W, H, 0),
                                               windowShow() == 1);
    if (!window)
        state.SkipWithError("no X display: run under tools/with-xvfb.sh");
    return window;
}

// A 256 x 256 picture, RGB or RGBA, with a mipmap chain, as the production's
// pictures are uploaded.
GLuint picture(bool alpha)
{
    std::vector<unsigned char> pixels(256 * 256 * 4);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
    imageData_t image = {"bench", "bench", 256, 256, alpha ? 4u : 3u, reinterpret_cast<uintptr_t>(pixels.data())};
    return imageCreateTextureByImageData(&image).id;
}

void fullScreenQuad(benchmark::State& state, bool textured, bool blended)
{
    if (!frameWindow(state))
        return;
    GLuint id = textured ? picture(blended) : 0;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        perspective2dBegin(W, H);
        if (textured) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, id);
        }
        if (blended) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        glColor4f(0.9f, 0.9f, 0.9f, blended ? 0.8f : 1.0f);
        drawTexturedQuad(0, 0, float(W), float(H));
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        perspective2dEnd();
        glFinish();
    }
    glDeleteTextures(1, &id);
}

// A clear, and with `show` the frame shown in the window too: what every
// live frame pays before it draws anything.
void clearFrames(benchmark::State& state, bool show)
{
    if (!frameWindow(state))
        return;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (show)
            SDL_GL_SwapBuffers();
        glFinish();
    }
}
void BM_Clear(benchmark::State& state) { clearFrames(state, false); }
void BM_ClearAndShow(benchmark::State& state) { clearFrames(state, true); }
BENCHMARK(BM_Clear)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ClearAndShow)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// Clear and one quad over the whole frame: the clear is part of every case,
// so the quad alone is the difference to BM_Clear.
void BM_QuadFlat(benchmark::State& state) { fullScreenQuad(state, false, false); }
void BM_QuadTextured(benchmark::State& state) { fullScreenQuad(state, true, false); }
void BM_QuadTexturedBlended(benchmark::State& state) { fullScreenQuad(state, true, true); }
BENCHMARK(BM_QuadFlat)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_QuadTextured)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_QuadTexturedBlended)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// A region of the frame copied into a texture, as a glow or feedback pass
// does before drawing it back.
void BM_CopyTexSubImage512x256(benchmark::State& state)
{
    if (!frameWindow(state))
        return;
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 512, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 512, 256);
        glFinish();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &id);
}
BENCHMARK(BM_CopyTexSubImage512x256)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The frame's read-back in the layout the back buffer has and in the one
// the PNG wants: the conversion is either the driver's or ours.
void readBack(benchmark::State& state, GLenum format)
{
    if (!frameWindow(state))
        return;
    std::vector<unsigned char> pixels(size_t(W) * H * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        glReadPixels(0, 0, W, H, format, GL_UNSIGNED_BYTE, pixels.data());
        benchmark::DoNotOptimize(pixels.data());
    }
}
void BM_ReadPixelsRGBA(benchmark::State& state) { readBack(state, GL_RGBA); }
void BM_ReadPixelsBGRA(benchmark::State& state) { readBack(state, GL_BGRA); }
void BM_ReadPixelsRGB(benchmark::State& state) { readBack(state, GL_RGB); }
BENCHMARK(BM_ReadPixelsRGBA)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ReadPixelsBGRA)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ReadPixelsRGB)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// One 1280 x 720 frame written as the capture writes it: smooth gradients
// under a fine grain, which compress about as badly as the production's
// textured, fogged tile plane (a few times better than noise).
void BM_EncodeFrame(benchmark::State& state)
{
    std::vector<unsigned char> pixels(size_t(W) * H * 4);
    unsigned seed = 7;
    for (size_t i = 0; i < pixels.size(); i++) {
        seed = seed * 1103515245u + 12345u;
        size_t x = i / 4 % W, y = i / 4 / W, c = i % 4;
        double wave = 100 + 90 * std::sin(double(x * (c + 1) + y * (3 - c)) * 0.004);
        pixels[i] = static_cast<unsigned char>(wave + double((seed >> 16) % 24));
    }
    imageData_t frame = {"frame", "frame", W, H, 3, reinterpret_cast<uintptr_t>(pixels.data())};
    std::string path = "/tmp/bench_productionCost_" + std::to_string(getpid()) + ".png";
    for (auto _ : state)
        if (!imageSavePNG(path.c_str(), &frame))
            state.SkipWithError("cannot write the frame");
    remove(path.c_str());
}
BENCHMARK(BM_EncodeFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace

BENCHMARK_MAIN();
