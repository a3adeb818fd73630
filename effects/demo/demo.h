#ifndef TESSELLUNE_EFFECTS_DEMO_H
#define TESSELLUNE_EFFECTS_DEMO_H

// The demo production: a night sky with the moon, a plane of tiles and vector
// drawings, played on the bundled module. Its scenes and syncs sit on the
// module's structure: an order is 64 rows, a row 0.12 s (speed 6, 125 BPM),
// so order o starts at o x 7.68 s. The module's twelve orders: intro (0),
// the kick and bass coming in (1), build-up (2, 3, ending in a snare roll),
// the drop (4 to 7, a crash on each order's first row), a break without
// kick (8, 9), the final drop with the lead an octave up (10) and the
// ending, one last kick and crash fading to silence (11). The demo ends
// with the music at 1:32.16.

#include "system/graphics/image/image.h"
#include "system/math/splines/spline.h"
#include "system/player/player.h"

#define DEMO_MUSIC "data/music/tessellate.mod"
const int DEMO_ROWS_PER_ORDER = 64;
const int DEMO_ROW_MS = 120;
const int DEMO_ORDERS = 12;
// The module's instruments (tools/makeModule.py), as note sync numbers them.
const int DEMO_KICK = 1;
const int DEMO_SNARE = 2;
const int DEMO_HAT = 3;
const int DEMO_BASS = 4;
const int DEMO_LEAD = 5;
const int DEMO_PAD = 6;
const int DEMO_CRASH = 7;

float demoLength(void);
// Adds the scenes in drawing order: the sky behind everything, then title,
// tiles, drawing and finale one after another.
void demoRegisterScenes(void);

// --- the scenes' callbacks (one file each) ------------------------------------

void demoSkyInit(void* scene);
void demoSkyRun(void* scene);
void demoSkyDeinit(void* scene);
void demoTitleInit(void* scene);
void demoTitleRun(void* scene);
void demoTilesInit(void* scene);
void demoTilesRun(void* scene);
void demoDrawingInit(void* scene);
void demoDrawingRun(void* scene);
void demoFinaleInit(void* scene);
void demoFinaleRun(void* scene);

// --- shared by the scenes (common.cpp) -----------------------------------------

// Time texts of module positions, for addPlayerScene and addSync: from the
// start of the music, and a span of rows. A sync's start is counted from
// its scene's start unless it is absolute ("#m:ss.fff", absolute set).
// Each call writes one of a few rotating buffers; the callers convert them
// at once.
const char* demoAt(int order, int row, int absolute);
const char* demoRows(int rows);
float demoSeconds(int order, int row);

// The pictures and drawings, loaded by the sky scene's initialiser. A file
// that is missing leaves a texture with id 0 or a null drawing, and the
// scenes draw without it.
struct demoAssets_t {
    texture_t sky, moon, tiles, glow;
    splineContainer* crescent;
    splineContainer* lettering;
    splineContainer* mosaic;
};
const demoAssets_t* demoAssets(void);
void demoLoadAssets(void);
void demoReleaseAssets(void);

// The module's kicks and chords, asked once a frame by the sky scene: how
// strongly the last one still sounds, 1 at its row and fading within about
// a beat.
void demoUpdateBeat(void);
float demoBeat(void);

float demoProgress(const sceneSync_t* sync); // 0 before its window, 1 after
float demoSmooth(float x);                   // 0 to 1, eased at both ends
float demoMix(float a, float b, float f);
void demoQuad(float x0, float y0, float x1, float y1);
// A rectangle of the virtual screen in a colour over what is drawn; alpha
// from 0 to 1, the alpha test set aside so that faint values still show.
void demoOverlay(float r, float g, float b, float alpha);
// A texture drawn with its centre at (x, y) of the virtual screen, `size`
// pixels wide, in the current colour; nothing without the picture.
void demoShowCentred(texture_t texture, float x, float y, float size, float angle);

// The drawings are in the spline editor's 800 x 600 pixels: a 2D view of
// that height, as wide as the screen's aspect needs, the drawing centred,
// then scaled by `scale` about the centre and moved by (dx, dy).
void demoDrawingViewBegin(float scale, float dx, float dy);
void demoDrawingViewEnd(void);
// A drawing up to `end` (0 to 1) as glowing ink: a wide faint stroke and a
// thin bright one. Returns where the pen is, in drawing pixels.
void demoDrawInk(splineContainer* drawing, float end, float r, float g, float b, float alpha, float* penX,
                 float* penY);

// The tiled plane of the tiles and finale scenes, below the eye, running
// towards it and fading into the sky far off; flash (0 to 1) lights the
// tiles up, fade (0 to 1) lets the sky through the whole plane.
void demoDrawPlane(float t, float flash, float fade);
// A word of the texture font standing in 3D, centred on the current
// origin, each letter turned and pushed back by `arrive` (1 in place, 0 far
// off), with a darker body behind its face.
void demoDrawWord3d(const char* word, const float* arrive, float light);

#endif
