// The demo's timeline: which scene plays at which order of the module.

#include "effects/demo/demo.h"

float demoLength(void)
{
    return demoSeconds(DEMO_ORDERS, 0);
}

void demoRegisterScenes(void)
{
    // The runner draws the scenes in list order: the sky first, behind the
    // others, and the glow and feedback last, over everything.
    addPlayerScene("sky", "0:00", demoAt(DEMO_ORDERS, 0, 1), demoSkyInit, demoSkyRun, demoSkyDeinit);
    addPlayerScene("title", demoAt(0, 0, 0), demoAt(2, 0, 1), demoTitleInit, demoTitleRun, nullptr);
    addPlayerScene("tiles", demoAt(2, 0, 0), demoAt(8, 0, 1), demoTilesInit, demoTilesRun, nullptr);
    addPlayerScene("drawing", demoAt(8, 0, 0), demoAt(10, 0, 1), demoDrawingInit, demoDrawingRun, nullptr);
    addPlayerScene("finale", demoAt(10, 0, 0), demoAt(DEMO_ORDERS, 0, 1), demoFinaleInit, demoFinaleRun, nullptr);
    addPlayerScene("post", "0:00", demoAt(DEMO_ORDERS, 0, 1), demoPostInit, demoPostRun, demoPostDeinit);
}
