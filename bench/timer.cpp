// Frame pacing of the main loop and the cost of time-text conversion.
#include "system/player/timeString.h"
#include "system/timer/timer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

// A small synthetic frame: a few hundred microseconds of arithmetic.
double syntheticWork(int n)
{
    double sum = 0;
    for (int i = 1; i <= n; i++)
        sum += std::sqrt(double(i)) * std::sin(double(i));
    return sum;
}

// The loop the player runs: update, work, pace. Counters give the frame rate
// and the distribution of whole frame times measured on an outside clock.
void BM_FramePacing(benchmark::State& state)
{
    const int frames = int(state.range(0));
    std::vector<double> frameMs;
    for (auto _ : state) {
        frameMs.clear();
        timerInit(-1.0f);
        timerUpdate();
        auto last = std::chrono::steady_clock::now();
        auto begin = last;
        for (int f = 0; f < frames; f++) {
            timerUpdate();
            benchmark::DoNotOptimize(syntheticWork(20000));
            timerAdjustFramerate();
            auto now = std::chrono::steady_clock::now();
            frameMs.push_back(std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        }
        double seconds = std::chrono::duration<double>(last - begin).count();
        std::sort(frameMs.begin(), frameMs.end());
        state.counters["fps"] = frames / seconds;
        state.counters["min_ms"] = frameMs.front();
        state.counters["median_ms"] = frameMs[frameMs.size() / 2];
        state.counters["p99_ms"] = frameMs[frameMs.size() * 99 / 100];
        state.counters["max_ms"] = frameMs.back();
    }
}
BENCHMARK(BM_FramePacing)->Arg(250)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ConvertTimeToSeconds(benchmark::State& state)
{
    const char* texts[] = {"2:08", "#0:05.250", "12:34.5678", "1:30 .5"};
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(convertTimeToSeconds(texts[i++ & 3]));
}
BENCHMARK(BM_ConvertTimeToSeconds);

void BM_ConvertSecondsToTime(benchmark::State& state)
{
    char text[16];
    float t = 0;
    for (auto _ : state) {
        convertSecondsToAbsoluteTime(t, text);
        benchmark::DoNotOptimize(text);
        t += 0.37f;
    }
}
BENCHMARK(BM_ConvertSecondsToTime);

} // namespace

BENCHMARK_MAIN();
