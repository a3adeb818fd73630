// Orders 2 to 7: the flight over the tiles. The build-up (orders 2 and 3)
// glides low and climbs; the drop (orders 4 to 7) cuts to another camera
// path on every half order. The kick lights the tiles, the snare turns
// their light from ice to magenta and rolls the camera, the crash on an
// order's first row whitens the frame; in orders 6 and 7 the drawings hang
// in the sky and flare with the lead. In orders 4 and 5 a word a bar
// is written across the sky; over the snare roll into the drop the beats
// are counted down and the frame brightens towards the crash.

#include "effects/demo/demo.h"

#include "system/graphics/graphics.h"
#include "system/timer/timer.h"

#include <GL/gl.h>
#include <cassert>
#include <cmath>

namespace {

const int MOST_PATH_POINTS = 8;

struct path_t {
    const float (*points)[3];
    int count;
    float dip; // how far the camera looks down
};

// Each path runs from z = 0 forwards (towards -z); the tiles repeat, so
// every shot may start at the origin.
const float LOW[][3] = {{0, 1.6f, 0}, {2, 1.4f, -25}, {-2, 1.2f, -50}, {0, 1.3f, -75}};
const float CLIMB[][3] = {{6, 1.5f, 0}, {3, 3.0f, -25}, {-3, 6.0f, -50}, {-6, 9.0f, -75}};
const float WEAVE[][3] = {{0, 1.0f, 0}, {5, 1.3f, -15}, {-5, 0.9f, -30}, {5, 1.2f, -45}, {0, 1.0f, -60}};
const float ORBIT[][3] = {{-20, 9, 0}, {-14, 9, -14}, {0, 9.5f, -20}, {14, 9, -14}, {20, 9, 0}};
const float DIVE[][3] = {{0, 10, 0}, {0, 6, -15}, {0, 2.0f, -35}, {0, 1.2f, -55}};
const float SIDE[][3] = {{-30, 2.5f, -10}, {-10, 2.0f, -16}, {10, 2.5f, -22}, {30, 3.0f, -28}};

const path_t PATHS[] = {
    {LOW, 4, 0.6f}, {CLIMB, 4, 1.2f}, {WEAVE, 5, 0.4f}, {ORBIT, 5, 2.4f}, {DIVE, 4, 0.8f}, {SIDE, 4, 0.6f},
};
enum { P_LOW, P_CLIMB, P_WEAVE, P_ORBIT, P_DIVE, P_SIDE };

// One shot a half order from order 4 on, one an order before.
struct shot_t {
    int path;
    int order, row, rows;
};

const shot_t SHOTS[] = {
    {P_LOW, 2, 0, 64},   {P_CLIMB, 3, 0, 64},  {P_DIVE, 4, 0, 32},  {P_ORBIT, 4, 32, 32},
    {P_WEAVE, 5, 0, 32}, {P_SIDE, 5, 32, 32},  {P_ORBIT, 6, 0, 32}, {P_DIVE, 6, 32, 32},
    {P_WEAVE, 7, 0, 32}, {P_SIDE, 7, 32, 32},
};
const int SHOT_COUNT = sizeof SHOTS / sizeof SHOTS[0];

const char* const WORDS[] = {"TILE", "BY", "TILE", "UNDER", "THE", "MOON", "WE", "FLY"};
const int WORD_COUNT = sizeof WORDS / sizeof WORDS[0];
const float WORD_SIZE = 120.0f; // virtual pixels, capital height
const float ICE[3] = {0.45f, 0.75f, 1.0f};
const float PALE[3] = {0.9f, 0.95f, 1.0f};
const float MAGENTA[3] = {1.0f, 0.25f, 0.8f};

struct tiles_t {
    float height; // "height" (a track): world units added to every path's height
};

tiles_t tiles;

const shot_t& currentShot(void)
{
    float row = demoRowNow();
    int i = SHOT_COUNT - 1;
    while (i > 0 && row < float(SHOTS[i].order * DEMO_ROWS_PER_ORDER + SHOTS[i].row))
        i--;
    return SHOTS[i];
}

void fly(const shot_t& shot, float snare)
{
    const path_t& p = PATHS[shot.path];
    float lifted[MOST_PATH_POINTS][3];
    assert(p.count <= MOST_PATH_POINTS);
    for (int i = 0; i < p.count; i++) {
        lifted[i][0] = p.points[i][0];
        lifted[i][1] = p.points[i][1] + tiles.height;
        lifted[i][2] = p.points[i][2];
    }
    // The snare rolls the camera one way, then the other.
    float roll = snare * 4.0f * ((demoHitCount(DEMO_SNARE) & 1) ? 1.0f : -1.0f);
    demoFly(lifted, p.count, demoBetween(shot.order, shot.row, shot.rows), 0.06f, p.dip, roll);
}

void drawArt(float flare)
{
    const demoAssets_t* a = demoAssets();
    float appear = demoSmooth(demoBetween(6, 0, 8)) * (1.0f - demoSmooth(demoBetween(7, 56, 8)));
    if (appear <= 0.0f)
        return;
    float alpha = appear * (0.55f + 0.45f * flare);
    if (a->crescent) {
        demoDrawingViewBegin(0.42f, -390.0f, 150.0f);
        demoDrawInk(a->crescent, 1.0f, 1.0f, 0.86f, 0.45f, alpha, nullptr, nullptr);
        demoDrawingViewEnd();
    }
    if (a->mosaic) {
        demoDrawingViewBegin(0.42f, 390.0f, 150.0f);
        demoDrawInk(a->mosaic, 1.0f, 0.35f, 0.75f, 1.0f, alpha, nullptr, nullptr);
        demoDrawingViewEnd();
    }
}

// A bar's word, written in its first rows and gone by its last; each note
// of the lead flares it.
void drawWord(float lead)
{
    float bars = (demoRowNow() - float(4 * DEMO_ROWS_PER_ORDER)) / float(DEMO_ROWS_PER_BAR);
    if (bars < 0.0f || bars >= float(WORD_COUNT))
        return;
    const char* word = WORDS[int(bars)];
    float into = bars - floorf(bars);
    float alpha = (0.55f + 0.45f * lead) * (1.0f - demoSmooth((into - 0.75f) * 4.0f));
    perspective2dBegin(1280, 720);
    demoDrawGlowText(word, 640.0f - demoTextWidth(word, WORD_SIZE) * 0.5f, 470.0f, WORD_SIZE, 5.0f,
                     fminf(1.0f, into * 4.0f), PALE, alpha);
    perspective2dEnd();
}

// The last bar before the drop: 3, 2, 1 on its first beats, each swelling
// with the roll's snares, then the light comes up to meet the crash.
void drawCountdown(float snare)
{
    float row = demoRowNow() - float(3 * DEMO_ROWS_PER_ORDER + 48);
    if (row < 0.0f || row >= 16.0f)
        return;
    int beat = int(row) / 4;
    if (beat < 3) {
        const char* digit[] = {"3", "2", "1"};
        float size = 200.0f * (1.0f + 0.15f * snare);
        float fade = 1.0f - demoSmooth((row - float(beat * 4) - 2.5f) / 1.5f);
        perspective2dBegin(1280, 720);
        demoDrawGlowText(digit[beat], 640.0f - demoTextWidth(digit[beat], size) * 0.5f, 360.0f - size * 0.5f, size,
                         7.0f, 1.0f, MAGENTA, fade);
        perspective2dEnd();
    }
    demoOverlay(1, 1, 1, 0.5f * demoSmooth((row - 12.0f) / 4.0f));
}

} // namespace

void demoTilesInit(void* scene)
{
    tiles = tiles_t();
    addVariableDecimal(static_cast<playerScene*>(scene), "height", &tiles.height);
}

void demoTilesRun(void* scene)
{
    updateSceneVariables(static_cast<playerScene*>(scene));
    float kick = demoBeat();
    float snare = demoHit(DEMO_SNARE, 7.0f);
    float crash = demoHit(DEMO_CRASH, 2.5f);
    fly(currentShot(), snare);
    float tint[3];
    for (int k = 0; k < 3; k++)
        tint[k] = demoMix(ICE[k], MAGENTA[k], fminf(1.0f, snare * 1.5f));
    float drop = demoRowNow() >= float(4 * DEMO_ROWS_PER_ORDER) ? 0.8f : 0.6f;
    demoDrawPlane(drop * fmaxf(kick, snare), tint, demoSmooth(demoBetween(2, 0, 8)));
    float lead = demoHit(DEMO_LEAD, 4.0f);
    drawArt(lead);
    drawWord(lead);
    drawCountdown(snare);
    demoOverlay(1, 1, 1, 0.45f * crash);
}
