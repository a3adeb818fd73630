// PNG decode throughput of the engine's loader against libpng's simplified
// interface decoding the same file to RGBA, on a 1280 x 720 RGBA picture and a
// 1280 x 720 palette picture. Both read from a file in /tmp, so both pay for
// the same I/O.
//   build/bench_pngDecode --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "system/graphics/image/image.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <png.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int W = 1280, H = 720;

// Smooth gradients with some noise: compresses like a real picture rather
// than like a flat fill or pure noise.
uint8_t sample(int x, int y, int c, unsigned& seed)
{
    seed = seed * 1103515245u + 12345u;
    double wave = 127.5 + 127.5 * std::sin((x * (c + 1) + y * (3 - c)) * 0.01);
    return uint8_t(std::lround(wave * 0.9 + double((seed >> 16) % 26)));
}

void writePng(const std::string& path, bool palette)
{
    FILE* out = fopen(path.c_str(), "wb");
    if (!out)
        abort();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        abort();
    png_init_io(png, out);
    png_set_IHDR(png, info, W, H, 8, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[256];
    png_byte alpha[256];
    for (int i = 0; i < 256; i++) {
        colours[i] = png_color{png_byte(i), png_byte(255 - i), png_byte(i * 7)};
        alpha[i] = png_byte(i < 16 ? i * 16 : 255);
    }
    if (palette) {
        png_set_PLTE(png, info, colours, 256);
        png_set_tRNS(png, info, alpha, 256, nullptr);
    }
    png_write_info(png, info);
    std::vector<uint8_t> row(W * 4);
    unsigned seed = 7;
    for (int y = 0; y < H; y++) {
        for (int x = 0; x < W; x++)
            for (int c = 0; c < (palette ? 1 : 4); c++)
                row[size_t(x * (palette ? 1 : 4) + c)] = c == 3 ? uint8_t(255 - (x & 63)) : sample(x, y, c, seed);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(out);
}

const std::string& benchFile(bool palette)
{
    static std::string paths[2];
    std::string& path = paths[palette];
    if (path.empty()) {
        path = "/tmp/bench_png_" + std::to_string(getpid()) + (palette ? "_palette.png" : "_rgba.png");
        writePng(path, palette);
        atexit([] {
            for (const std::string& p : paths)
                if (!p.empty())
                    unlink(p.c_str());
        });
    }
    return path;
}

void reportPixels(benchmark::State& state)
{
    state.counters["MP/s"] =
        benchmark::Counter(double(W) * H * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_imageLoadPNG(benchmark::State& state)
{
    const std::string& path = benchFile(state.range(0) != 0);
    for (auto _ : state) {
        imageData_t* image = imageLoadPNG(path.c_str());
        if (!image)
            abort();
        benchmark::DoNotOptimize(image->pixels);
        imageDataFree(image);
    }
    reportPixels(state);
}

void BM_libpngSimplified(benchmark::State& state)
{
    const std::string& path = benchFile(state.range(0) != 0);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str()))
            abort();
        image.format = PNG_FORMAT_RGBA;
        void* pixels = malloc(PNG_IMAGE_SIZE(image));
        // Negative stride: bottom row first, as the engine stores images.
        if (!pixels || !png_image_finish_read(&image, nullptr, pixels, -int(PNG_IMAGE_ROW_STRIDE(image)), nullptr))
            abort();
        benchmark::DoNotOptimize(pixels);
        free(pixels);
    }
    reportPixels(state);
}

} // namespace

BENCHMARK(BM_imageLoadPNG)->ArgName("palette")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_libpngSimplified)->ArgName("palette")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
