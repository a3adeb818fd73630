#ifndef TESSELLUNE_EFFECTS_DEMO_H
#define TESSELLUNE_EFFECTS_DEMO_H

// The demo production: a night sky with the moon, a flight over a plane of
// tiles, vector lettering and drawings, glow and feedback, played on the
// bundled module. Its scenes and cuts sit on the module's structure: an
// order is 64 rows, a row 0.12 s (speed 6, 125 BPM), so order o starts at
// o x 7.68 s; twelve orders make 1:32.16. Order 0 and 1: intro; 2 and 3:
// build-up; 4 to 7: the drop; 8 and 9: the break; 10: the final drop; 11:
// the ending. The picture answers the drums and the lead from the module's
// own notes (system/audio/noteSync.h).

#include "system/graphics/image/image.h"
#include "system/math/splines/spline.h"
#include "system/player/player.h"

#define DEMO_MUSIC "data/music/tessellate.mod"
const int DEMO_ROWS_PER_ORDER = 64;
const int DEMO_ROWS_PER_BAR = 16;
const int DEMO_ROW_MS = 120;
const int DEMO_ORDERS = 12;
// The module's instruments (tools/makeModule.py), numbered as the module does.
const int DEMO_KICK = 1;
const int DEMO_SNARE = 2;
const int DEMO_HAT = 3;
const int DEMO_BASS = 4;
const int DEMO_LEAD = 5;
const int DEMO_PAD = 6;
const int DEMO_CRASH = 7;
const int DEMO_INSTRUMENTS = 8; // room for 1 to 7

float demoLength(void);
// Adds the scenes in drawing order: the sky behind everything, then title,
// tiles, drawing and finale one after another, and the glow and feedback
// over all of them.
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
void demoPostInit(void* scene);
void demoPostRun(void* scene);
void demoPostDeinit(void* scene);

// --- shared by the scenes (common.cpp) -----------------------------------------

// The time text of a module position, for addPlayerScene: from the start
// of the music, "#m:ss.fff" when `absolute` is set. Each call writes one of
// a few rotating buffers; the callers convert them at once.
const char* demoAt(int order, int row, int absolute);
float demoSeconds(int order, int row);

// The night-sky picture as the screen shows it: the colours of its
// background at the corners of a coarse grid over the screen, and the stars
// found in it, by size (the brightest when there are more than the room).
// Drawn as a shaded grid and points instead of the picture magnified five
// times, it costs the software renderer half as much, every frame of the
// production.
const int DEMO_SKY_COLUMNS = 32;
const int DEMO_SKY_ROWS = 18;
const int DEMO_SKY_MOST_STARS = 1024;
struct demoSkyStar_t {
    float x, y;   // fractions of the picture, from its bottom left corner
    float size;   // across, in the picture's pixels
    float rgb[3]; // the light it adds to the background
};
struct demoSkyPicture_t {
    int ready;         // 0 until a picture was read
    int width, height; // the picture's, in pixels
    float corner[DEMO_SKY_ROWS + 1][DEMO_SKY_COLUMNS + 1][3]; // [0] the bottom row
    int stars;
    demoSkyStar_t star[DEMO_SKY_MOST_STARS];
};
// Reads the sky out of a picture as imageLoadPNG returns it.
void demoSkyFromImage(const imageData_t* image, demoSkyPicture_t* sky);

// The pictures, drawings and the stroke font, loaded by the sky scene's
// initialiser. A file that is missing leaves a texture with id 0, a sky that
// is not ready or a null drawing, and the scenes draw without it.
struct demoAssets_t {
    demoSkyPicture_t sky;
    texture_t moon, tiles, glow;
    splineContainer* crescent;
    splineContainer* lettering;
    splineContainer* mosaic;
};
const demoAssets_t* demoAssets(void);
void demoLoadAssets(void);
void demoReleaseAssets(void);

// The module's notes, asked once a frame by the sky scene (the first to
// run): how strongly an instrument's last note still sounds, 1 on the row
// it starts and falling by e every 1/decay seconds; and how many notes of
// it have sounded since the start (or the last seek).
void demoUpdateHits(void);
float demoHit(int instrument, float decay);
int demoHitCount(int instrument);
// The kick's punch, shared by the scenes that pulse with it.
float demoBeat(void);

// Rows of the play order since the music's start, with the passed part of
// the row; and how far the time is through `rows` rows from (order, row):
// 0 before, 1 after.
float demoRowNow(void);
float demoBetween(int order, int row, int rows);
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
// What drawSplineContainer emits for a whole drawing: (k - 1) x detail
// samples for a spline of k points.
float demoDrawnSamples(const splineContainer* drawing);
// A drawing up to `end` (0 to 1) as glowing ink: a wide faint stroke and a
// thin bright one. Returns where the pen is, in drawing pixels.
void demoDrawInk(splineContainer* drawing, float end, float r, float g, float b, float alpha, float* penX,
                 float* penY);

// The camera: flies along a path of control points (x, y, z; the tiles lie
// at y = 0) as a natural cubic spline, `along` 0 at the first point and 1
// at the last, looking `ahead` further along the path and down by `dip`;
// `roll` in degrees. Sets the modelview matrix and remembers the position
// for the plane.
void demoFly(const float (*points)[3], int count, float along, float ahead, float dip, float roll);

// The tiled plane around the camera at y = 0, fading into the sky far off;
// flash (0 to 1) lights the tiles up in `tint` (r, g, b), fade (0 to 1)
// lets the sky through the whole plane.
void demoDrawPlane(float flash, const float* tint, float fade);

// --- the stroke font (lettering.cpp) ----------------------------------------------

void demoLoadLettering(void);
void demoReleaseLettering(void);
// Units of the current coordinates a text takes with capitals `size` high.
float demoTextWidth(const char* text, float size);
// A text with the left end of its baseline at (x, y) of the current
// coordinates, in the current colour, strokes `width` pixels wide; `reveal`
// from 0 to 1 is how far the pen has gone through its strokes.
void demoDrawText(const char* text, float x, float y, float size, float width, float reveal);
// The same, added as light: a wide faint halo and a bright core.
void demoDrawGlowText(const char* text, float x, float y, float size, float width, float reveal, const float* rgb,
                      float alpha);

#endif
