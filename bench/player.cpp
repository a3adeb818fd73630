// Cost of one frame of the scene timeline: playerRun plus
// updateSceneVariables on every scene, with 100 scenes of 10 syncs and 10
// variables each, all of them on (the worst case: every scene runs, every
// sync is populated twice, every variable is written back).
//
// Needs an X display for the OpenGL context the runner pushes matrices in:
//     tools/with-xvfb.sh ./build/bench_player --benchmark_repetitions=5

#include "system/player/player.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

namespace {

const int SCENES = 100, SYNCS = 10, VARIABLES = 10;
const uint64_t FRAME_NS = 12000000; // one paced frame

uint64_t nowNs = 0;
int frequency(uint64_t* ticksPerSecond)
{
    *ticksPerSecond = 1000000000ull;
    return 1;
}
uint64_t counter(void) { return nowNs; }
uint32_t milliseconds(void) { return uint32_t(nowNs / 1000000ull); }
void noSleep(uint32_t) {}
const timerPlatform_t benchClock = {frequency, counter, milliseconds, noSleep};

struct benchScene_t {
    float decimals[VARIABLES / 2];
    int32_t integers[VARIABLES / 2];
};
benchScene_t sceneData[SCENES];
char names[SCENES][16];

// What scene code does each frame: ask its syncs, follow their percent into
// one of its own numbers (which the write-back then overrules).
void run(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    float level = 0;
    for (sceneSync_t* sync = self->syncHead; sync; sync = sync->next)
        if (isSync(sync))
            level += sync->time.percent;
    *self->variablesHead->pointer.decimal = level;
    benchmark::DoNotOptimize(level);
}

void buildTimeline(void)
{
    for (int s = 0; s < SCENES; s++) {
        snprintf(names[s], sizeof names[s], "scene%d", s);
        playerScene* scene = addPlayerScene(names[s], "0:00", "#999:00", nullptr, run, nullptr);
        for (int i = 0; i < SYNCS; i++) {
            sceneSync_t* sync = addSync(scene, "0:00", "900:00");
            if (i % 2)
                setTriggerSync(sync, "0:00.5");
        }
        for (int i = 0; i < VARIABLES / 2; i++) {
            addVariableDecimal(scene, "decimal", &sceneData[s].decimals[i]);
            addVariableInteger(scene, "integer", &sceneData[s].integers[i]);
        }
    }
}

bool openContext(void)
{
    if (!getenv("DISPLAY"))
        return false;
    windowInit(64, 64, 0);
    return windowShow() == 1;
}

void BM_playerFrame(benchmark::State& state)
{
    static bool hasContext = openContext();
    if (!hasContext) {
        state.SkipWithError("no X display: run under tools/with-xvfb.sh");
        return;
    }
    timerSetPlatform(&benchClock);
    nowNs = 0;
    timerInit(-1.0f);
    playerReset();
    buildTimeline();
    for (auto _ : state) {
        nowNs += FRAME_NS;
        timerUpdate();
        playerRun();
        for (playerScene* scene = getPlayerSceneHead(); scene; scene = scene->next)
            updateSceneVariables(scene);
    }
    playerReset();
    timerSetPlatform(nullptr);
}
BENCHMARK(BM_playerFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
