// A small production on the scene timeline: three overlapping scenes with
// window and trigger syncs and scene variables, the loading bar while their
// initialisers run, then a paced frame loop until the end or Escape.
//
//     tessellune_demo [--length m:ss]

#include "system/debug/debugPrint.h"
#include "system/graphics/graphics.h"
#include "system/player/player.h"
#include "system/player/timeString.h"
#include "system/timer/timer.h"
#include "system/ui/input/inputSdl.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <GL/gl.h>
#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const char USAGE[] = "usage: tessellune_demo [--length m:ss[.fff]]";
const int CANVAS_W = 800, CANVAS_H = 600;
const int TILES = 8;

// How far a window sync has come, held at 0 before and 1 after its window:
// a finished sync keeps being populated, so its raw percent runs past 1.
float progress(const sceneSync_t* sync)
{
    if (sync->active == SYNC_FINISHED)
        return 1.0f;
    if (sync->active == SYNC_WAITING)
        return 0.0f;
    return fminf(fmaxf(sync->time.percent, 0.0f), 1.0f);
}

float mix(float a, float b, float f)
{
    return a + (b - a) * f;
}

void quad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glVertex3f(x0, y0, 0);
    glVertex3f(x1, y0, 0);
    glVertex3f(x1, y1, 0);
    glVertex3f(x0, y1, 0);
    glEnd();
}

// --- dawn: the sky brightens, a sun pulses on a trigger sync -----------------

struct dawn_t {
    sceneSync_t* rise;
    sceneSync_t* beat;
    float flash; // 1 at each beat, decays over the beat's interval
    float glow;  // bound to the variable "glow"
    int32_t rays; // bound to "rays"; the tiles scene sets it
} dawn;

void dawnInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    dawn = dawn_t();
    dawn.rise = addSync(self, "0:00.5", "0:04");
    dawn.beat = addSync(self, "0:01", "0:06");
    setTriggerSync(dawn.beat, "0:00.5");
    dawn.glow = 1.0f;
    dawn.rays = 2;
    addVariableDecimal(self, "glow", &dawn.glow);
    addVariableInteger(self, "rays", &dawn.rays);
}

void dawnRun(void* scene)
{
    (void)scene;
    float sky = progress(dawn.rise);
    if (isSync(dawn.beat))
        dawn.flash = 1.0f;
    else if (dawn.beat->active >= 0)
        dawn.flash = fmaxf(0.0f, 1.0f - dawn.beat->time.percent);
    else
        dawn.flash = 0.0f;

    perspective2dBegin(CANVAS_W, CANVAS_H);
    glColor3f(mix(0.05f, 0.95f, sky), mix(0.05f, 0.55f, sky), mix(0.25f, 0.2f, sky));
    quad(0, 0, CANVAS_W, CANVAS_H);
    float g = dawn.glow * (0.75f + 0.25f * dawn.flash);
    glColor3f(g, g * 0.95f, g * 0.7f);
    float r = 40 + 30 * dawn.flash;
    float sunY = 150 + 200 * sky;
    quad(400 - r, sunY - r, 400 + r, sunY + r);
    for (int i = 0; i < dawn.rays; i++) {
        float x = 400 + (i - (dawn.rays - 1) * 0.5f) * 60;
        quad(x - 3, 0, x + 3, (sunY - r) * sky);
    }
    perspective2dEnd();
}

// --- tiles: eight tiles grow in one after the other --------------------------

struct tiles_t {
    sceneSync_t* grow[TILES];
} tiles;

void tilesInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    tiles.grow[0] = addSync(self, "0:00.5", "0:00.6");
    for (int i = 1; i < TILES; i++)
        tiles.grow[i] = addSyncAfterLast(self, "0:00.2", "0:00.6");
}

void tilesRun(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    // The sun gets more rays as the tiles come in: a variable of another scene.
    playerScene* dawnScene = getPlayerScene("dawn");
    setVariable(dawnScene, nullptr, "rays", 2.0f + 6.0f * self->time.percent);

    perspective2dBegin(CANVAS_W, CANVAS_H);
    for (int i = 0; i < TILES; i++) {
        float size = 70 * progress(tiles.grow[i]);
        float cx = 85 + i * 90.0f, cy = 470;
        float hue = float(i) / TILES;
        glColor3f(0.5f + 0.5f * cosf(6.2832f * hue), 0.5f + 0.5f * cosf(6.2832f * (hue - 0.33f)),
                  0.5f + 0.5f * cosf(6.2832f * (hue - 0.67f)));
        quad(cx - size * 0.5f, cy - size * 0.5f, cx + size * 0.5f, cy + size * 0.5f);
    }
    perspective2dEnd();
}

// --- dusk: stripes come in, then everything fades to black --------------------

struct dusk_t {
    sceneSync_t* fade;
    int32_t stripes; // bound to "stripes"
} dusk;

void duskInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    dusk = dusk_t();
    dusk.fade = addSync(self, "0:03", "#0:18");
    dusk.stripes = 0;
    addVariableInteger(self, "stripes", &dusk.stripes);
}

void duskRun(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    // A window without bookkeeping: the stripes come in over the first 2 s.
    sceneSync_t window = {};
    if (checkSync(self, &window, "0:00", "0:02"))
        setVariable(self, nullptr, "stripes", 1.0f + 11.0f * window.time.percent);

    perspective2dBegin(CANVAS_W, CANVAS_H);
    glColor3f(0.1f, 0.05f, 0.2f);
    for (int i = 0; i < dusk.stripes; i++)
        quad(0, float(i * 50), CANVAS_W, float(i * 50 + 8));
    // The alpha test drops fragments at or below 0.1, so the fade starts from
    // a blend that is already visible.
    float fade = progress(dusk.fade);
    if (fade > 0) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(0, 0, 0, 0.11f + 0.89f * fade);
        quad(0, 0, CANVAS_W, CANVAS_H);
        glDisable(GL_BLEND);
    }
    perspective2dEnd();
}

void reportRelease(void* scene)
{
    __debugPrintf("scene %s released", static_cast<playerScene*>(scene)->name);
}

void registerScenes(void)
{
    addPlayerScene("dawn", "0:00", "0:08", dawnInit, dawnRun, reportRelease);
    addPlayerScene("tiles", "0:06", "#0:14", tilesInit, tilesRun, reportRelease);
    addPlayerScene("dusk", "0:12", "0:06", duskInit, duskRun, reportRelease);
    char start[16], end[16];
    for (playerScene* scene = getPlayerSceneHead(); scene; scene = scene->next) {
        convertSecondsToTime(scene->start, start);
        convertSecondsToTime(scene->end, end);
        __debugPrintf("scene %s from %s to %s", scene->name, start, end);
    }
}

// Returns -1 to go on, otherwise the exit status.
int parseArguments(int argc, char* argv[], float* length)
{
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            printf("%s\n", USAGE);
            return 0;
        }
        if (strcmp(argv[i], "--length") == 0 && i + 1 < argc) {
            *length = convertTimeToSeconds(argv[++i]);
            if (*length > 0)
                continue;
        }
        fprintf(stderr, "tessellune_demo: cannot use \"%s\"; %s\n", argv[i], USAGE);
        return 1;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    float length = 18.0f;
    int status = parseArguments(argc, argv, &length);
    if (status >= 0)
        return status;

    windowInit(CANVAS_W, CANVAS_H, 0);
    if (windowShow() == -1) {
        fprintf(stderr, "tessellune_demo: cannot open an OpenGL window: %s\n", SDL_GetError());
        return 1;
    }
    windowSetTitle("Tessellune demo");
    inputInit();
    registerScenes();
    playerInit();

    timerInit(length);
    timerUpdate();
    while (!isUserExit() && !timerIsEnd()) {
        timerUpdate();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        playerRun();
        // After the run, so the values set through the timeline win over what
        // scene code wrote this frame, and the syncs are ready for the next.
        for (playerScene* scene = getPlayerSceneHead(); scene; scene = scene->next)
            updateSceneVariables(scene);
        SDL_GL_SwapBuffers();
        timerAdjustFramerate();
    }

    playerDeinit();
    windowDeinit();
    return 0;
}
