// What the demo's scenes share: module positions as time texts, the assets,
// the module's notes, the camera, and the few drawing helpers more than one
// scene uses.

#include "effects/demo/demo.h"

#include "system/audio/noteSync.h"
#include "system/graphics/graphics.h"
#include "system/io/io.h"
#include "system/math/splines/cubic/cubicSpline.h"
#include "system/production/fileWatch.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const SKY_PNG = "data/production/images/sky.png";
const char* const MOON_PNG = "data/production/images/moon.png";
const char* const TILES_PNG = "data/production/images/tiles.png";
const char* const GLOW_PNG = "data/production/images/glow.png";
const char* const CRESCENT_DAT = "data/production/art/crescent.dat";
const char* const LETTERING_DAT = "data/production/art/lettering.dat";
const char* const MOSAIC_DAT = "data/production/art/mosaic.dat";

const float PLANE_FAR = 70.0f; // where the plane ends in the fog, from the camera
const int PLANE_CELLS = 16;    // quads a side: the alpha fades per vertex
const float TILE_SIDE = 4.5f;  // units one copy of the tile picture covers
// The plane darkens from FOG_NEAR to FOG_FAR units in front of the eye.
const float FOG_NEAR = 6.0f;
const float FOG_FAR = PLANE_FAR * 0.8f;
const int MOST_PATH_POINTS = 32;
const int PATH_DETAIL = 24; // samples a segment of a camera path
const float NEVER = -1000.0f;
// Below this a note's light is no longer seen, and the passes that draw it
// are left out: each costs a pass over much of the screen.
const float HIT_UNSEEN = 0.01f;

struct common_t {
    demoAssets_t assets;
    char times[8][48]; // room for any long, so the writer never cuts
    int nextTime;
    float lastHit[DEMO_INSTRUMENTS]; // seconds: the start of the row of each instrument's last note
    int hits[DEMO_INSTRUMENTS];
    float lastUpdate = NEVER;
    float camera[3]; // where demoFly put the eye
    point3d path[MOST_PATH_POINTS * PATH_DETAIL];
};

common_t common;

texture_t loadPicture(const char* path)
{
    texture_t texture = imageLoadImage(path);
    if (!texture.id)
        fprintf(stderr, "tessellune_demo: cannot load %s; that picture is left out\n", path);
    return texture;
}

splineContainer* loadDrawing(const char* path)
{
    size_t size = 0;
    char* data = ioReadFileWithSize(path, &size);
    if (!data) {
        fprintf(stderr, "tessellune_demo: cannot read %s; that drawing is left out\n", path);
        return nullptr;
    }
    splineContainer* drawing = loadSplineContainer(data, unsigned(size));
    free(data);
    return drawing;
}

char* nextTimeBuffer(void)
{
    char* text = common.times[common.nextTime];
    common.nextTime = (common.nextTime + 1) % 8;
    return text;
}

const char* formatMs(long ms, int absolute)
{
    char* text = nextTimeBuffer();
    snprintf(text, sizeof common.times[0], "%s%ld:%02ld.%03ld", absolute ? "#" : "", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

// The samples a drawing emits over pointsCount, which counts k x detail for
// a spline of k points where drawing gives (k - 1) x detail.
float drawnFraction(const splineContainer* drawing)
{
    return drawing->pointsCount ? demoDrawnSamples(drawing) / float(drawing->pointsCount) : 1.0f;
}

// Where the drawing stops at `end`: the control polygon at the sample the
// pen has reached, close enough to the curve for a spark to sit on.
void penAt(const splineContainer* drawing, float end, float* x, float* y)
{
    float left = end * float(drawing->pointsCount);
    for (splineLayer* layer = drawing->splineLayerHead; layer; layer = layer->next) {
        for (spline* s = layer->splineHead; s; s = s->next) {
            if (s->size < 2)
                continue;
            float samples = float((s->size - 1) * s->detail);
            if (left >= samples) {
                left -= samples;
                *x = s->splinePointTail->x;
                *y = s->splinePointTail->y;
                continue;
            }
            float along = left / float(s->detail);
            int index = int(along);
            splinePoint* p = s->splinePointHead;
            for (int i = 0; i < index && p->next; i++)
                p = p->next;
            splinePoint* q = p->next ? p->next : p;
            float f = along - float(index);
            *x = demoMix(p->x, q->x, f);
            *y = demoMix(p->y, q->y, f);
            return;
        }
    }
}

void setWidths(splineContainer* drawing, float width)
{
    for (splineLayer* layer = drawing->splineLayerHead; layer; layer = layer->next)
        for (spline* s = layer->splineHead; s; s = s->next)
            s->width = width;
}

} // namespace

// --- module positions -------------------------------------------------------------

const char* demoAt(int order, int row, int absolute)
{
    return formatMs(long(order) * DEMO_ROWS_PER_ORDER * DEMO_ROW_MS + long(row) * DEMO_ROW_MS, absolute);
}

float demoSeconds(int order, int row)
{
    return float(order * DEMO_ROWS_PER_ORDER + row) * float(DEMO_ROW_MS) / 1000.0f;
}

// --- assets -------------------------------------------------------------------------

const demoAssets_t* demoAssets(void)
{
    return &common.assets;
}

namespace {

void useMipmaps(const texture_t& picture)
{
    // Seen at a grazing angle the plain linear filter shimmers; the upload
    // made the mipmaps, so use them. The nearest level, not a blend of two:
    // half the texture reads of the software renderer's biggest pass, and
    // the seams between levels hide in the fog.
    glBindTexture(GL_TEXTURE_2D, picture.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// A picture saved anew during a live run replaces the one on screen; one
// that does not load leaves it.
int reloadPicture(const char* path, void* user)
{
    texture_t* picture = static_cast<texture_t*>(user);
    texture_t fresh = imageLoadImage(path);
    if (!fresh.id) {
        fprintf(stderr, "tessellune_demo: cannot load %s; the last good picture stays\n", path);
        return 0;
    }
    if (picture->id)
        glDeleteTextures(1, &picture->id);
    *picture = fresh;
    if (picture == &common.assets.tiles)
        useMipmaps(*picture);
    return 1;
}

// The sky is read out of its picture into `sky`; false, and `sky` as it
// was, when the picture does not load.
bool readSky(const char* path, demoSkyPicture_t* sky)
{
    imageData_t* image = imageLoadPNG(path);
    if (!image)
        return false;
    demoSkyFromImage(image, sky);
    imageDataFree(image);
    return true;
}

int reloadSky(const char* path, void* user)
{
    static demoSkyPicture_t fresh; // too large for the stack of a watcher's caller
    if (!readSky(path, &fresh)) {
        fprintf(stderr, "tessellune_demo: cannot load %s; the last good picture stays\n", path);
        return 0;
    }
    *static_cast<demoSkyPicture_t*>(user) = fresh;
    return 1;
}

// The scenes hold the drawing's container: the new drawing's content moves
// into it, and the new container, the list's last, goes with the old content.
int reloadDrawing(const char* path, void* user)
{
    splineContainer** drawing = static_cast<splineContainer**>(user);
    size_t size = 0;
    char* data = ioReadFileWithSize(path, &size);
    splineContainer* fresh = data ? loadSplineContainer(data, unsigned(size)) : nullptr;
    free(data);
    if (!fresh || fresh->pointsCount == 0 || !*drawing) {
        fprintf(stderr, "tessellune_demo: cannot load %s; the last good drawing stays\n", path);
        deleteSplineContainer(fresh);
        return 0;
    }
    splineContainer* old = *drawing;
    std::swap(old->size, fresh->size);
    std::swap(old->pointsCount, fresh->pointsCount);
    std::swap(old->splineLayerHead, fresh->splineLayerHead);
    std::swap(old->splineLayerTail, fresh->splineLayerTail);
    deleteSplineContainer(fresh);
    return 1;
}

} // namespace

void demoLoadAssets(void)
{
    demoAssets_t* a = &common.assets;
    struct {
        const char* path;
        texture_t* picture;
    } pictures[] = {{MOON_PNG, &a->moon}, {TILES_PNG, &a->tiles}, {GLOW_PNG, &a->glow}};
    for (auto& p : pictures) {
        *p.picture = loadPicture(p.path);
        fileWatchAdd(p.path, reloadPicture, p.picture);
    }
    if (!readSky(SKY_PNG, &a->sky))
        fprintf(stderr, "tessellune_demo: cannot load %s; that picture is left out\n", SKY_PNG);
    fileWatchAdd(SKY_PNG, reloadSky, &a->sky);
    if (a->tiles.id)
        useMipmaps(a->tiles);
    struct {
        const char* path;
        splineContainer** drawing;
    } drawings[] = {{CRESCENT_DAT, &a->crescent}, {LETTERING_DAT, &a->lettering}, {MOSAIC_DAT, &a->mosaic}};
    for (auto& d : drawings) {
        *d.drawing = loadDrawing(d.path);
        fileWatchAdd(d.path, reloadDrawing, d.drawing);
    }
    // After the drawings: the font's containers are the list's last, and go first.
    demoLoadLettering();
}

void demoReleaseAssets(void)
{
    demoAssets_t* a = &common.assets;
    demoReleaseLettering();
    splineContainer* drawings[] = {a->crescent, a->lettering, a->mosaic};
    // deleteSplineContainer takes the containers after it too: one at a time,
    // newest first, so each is the last of the list when it goes.
    for (int i = 2; i >= 0; i--)
        if (drawings[i])
            deleteSplineContainer(drawings[i]);
    texture_t* pictures[] = {&a->moon, &a->tiles, &a->glow};
    for (texture_t* picture : pictures)
        if (picture->id)
            glDeleteTextures(1, &picture->id);
    *a = demoAssets_t();
}

// --- the module's notes ------------------------------------------------------------------

void demoUpdateHits(void)
{
    float now = timerGetTime();
    // A step back is a seek: notes after the new time have not sounded yet.
    if (now < common.lastUpdate || common.lastUpdate == NEVER) {
        for (int i = 0; i < DEMO_INSTRUMENTS; i++) {
            common.lastHit[i] = NEVER;
            common.hits[i] = 0;
        }
    }
    common.lastUpdate = now;
    int order = -1, row = -1;
    if (!noteSyncPosition(&order, &row))
        return;
    // The row's own start, not the frame's time: the fall is the same at any frame rate.
    float start = fminf(now, noteSyncRowStart(order * DEMO_ROWS_PER_ORDER + row));
    for (int i = 1; i < DEMO_INSTRUMENTS; i++) {
        if (noteSyncInstrument(i)) {
            common.lastHit[i] = start;
            common.hits[i]++;
        }
    }
}

float demoHit(int instrument, float decay)
{
    if (instrument <= 0 || instrument >= DEMO_INSTRUMENTS)
        return 0.0f;
    float since = timerGetTime() - common.lastHit[instrument];
    float left = since < 0 ? 0.0f : expf(-since * decay);
    return left < HIT_UNSEEN ? 0.0f : left;
}

int demoHitCount(int instrument)
{
    return instrument > 0 && instrument < DEMO_INSTRUMENTS ? common.hits[instrument] : 0;
}

float demoBeat(void)
{
    return demoHit(DEMO_KICK, 5.0f);
}

// --- small helpers ---------------------------------------------------------------------

float demoRowNow(void)
{
    return timerGetTime() * 1000.0f / float(DEMO_ROW_MS);
}

float demoBetween(int order, int row, int rows)
{
    float from = float(order * DEMO_ROWS_PER_ORDER + row);
    return fminf(fmaxf((demoRowNow() - from) / float(rows), 0.0f), 1.0f);
}

float demoSmooth(float x)
{
    x = fminf(fmaxf(x, 0.0f), 1.0f);
    return x * x * (3.0f - 2.0f * x);
}

float demoMix(float a, float b, float f)
{
    return a + (b - a) * f;
}

void demoQuad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glVertex3f(x1, y1, 0);
    glVertex3f(x0, y1, 0);
    glVertex3f(x0, y0, 0);
    glVertex3f(x1, y0, 0);
    glEnd();
}

void demoOverlay(float r, float g, float b, float alpha)
{
    if (alpha <= 0.0f)
        return;
    perspective2dBegin(getScreenWidth(), getScreenHeight());
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(r, g, b, fminf(alpha, 1.0f));
    demoQuad(0, 0, float(getScreenWidth()), float(getScreenHeight()));
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glColor4f(1, 1, 1, 1);
    perspective2dEnd();
}

void demoShowCentred(texture_t texture, float x, float y, float size, float angle)
{
    if (!texture.id || size < 1.0f)
        return;
    float w = size, h = size * float(texture.h) / float(texture.w);
    setCustomDimensionToTexture(&texture, int(w), int(h));
    // An angle of exactly 0 puts the lower-left corner on the position, any
    // other centres the picture on it.
    if (angle == 0.0f)
        setTexturePositionPercent(&texture, (x - w * 0.5f) / getScreenWidth(), (y - h * 0.5f) / getScreenHeight());
    else
        setTexturePositionPercent(&texture, x / getScreenWidth(), y / getScreenHeight());
    setTextureAngle(&texture, angle);
    // Faint edges of a glow would fall under the alpha test's 0.1.
    glDisable(GL_ALPHA_TEST);
    showImage(texture);
    glEnable(GL_ALPHA_TEST);
}

// --- drawings ---------------------------------------------------------------------------

void demoDrawingViewBegin(float scale, float dx, float dy)
{
    float w = 600.0f * float(getScreenWidth()) / float(getScreenHeight());
    perspective2dBegin(int(w), 600);
    glTranslatef(w * 0.5f + dx, 300.0f + dy, 0);
    glScalef(scale, scale, 1);
    glTranslatef(-400, -300, 0);
}

void demoDrawingViewEnd(void)
{
    perspective2dEnd();
}

void demoDrawInk(splineContainer* drawing, float end, float r, float g, float b, float alpha, float* penX,
                 float* penY)
{
    if (!drawing || end <= 0.0f || alpha <= 0.0f)
        return;
    // drawSplineContainer's end counts every point's detail, but a spline
    // draws one segment fewer than it has points: scaled, 1 is the last stroke.
    float stop = end >= 1.0f ? 1.0f : end * drawnFraction(drawing);
    if (penX && penY)
        penAt(drawing, stop, penX, penY);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE); // ink that glows adds light
    const float widths[3] = {10.0f, 4.5f, 2.0f};
    const float strength[3] = {0.16f, 0.35f, 0.9f};
    // The glow passes are wide and faint, and their edges melt into each
    // other: smoothing them shows nowhere, but the software renderer builds
    // every smoothed segment on the CPU, a third of a drawing frame's cost.
    // Only the core line, thin and bright, is smoothed.
    for (int pass = 0; pass < 3; pass++) {
        float white = pass == 2 ? 0.55f : 0.0f;
        if (pass < 2)
            glDisable(GL_LINE_SMOOTH);
        else
            glEnable(GL_LINE_SMOOTH);
        setWidths(drawing, widths[pass]);
        glColor4f(demoMix(r, 1, white), demoMix(g, 1, white), demoMix(b, 1, white), alpha * strength[pass]);
        drawSplineContainer(drawing, 0.0f, stop);
    }
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glLineWidth(1.0f);
    glColor4f(1, 1, 1, 1);
}

// --- the camera and the plane --------------------------------------------------------------

namespace {

// The path's samples at `along`: between two samples in a straight line.
void pathAt(int samples, float along, float* at)
{
    float f = fminf(fmaxf(along, 0.0f), 1.0f) * float(samples - 1);
    int i = int(f);
    if (i >= samples - 1)
        i = samples - 2;
    f -= float(i);
    const point3d& p = common.path[i];
    const point3d& q = common.path[i + 1];
    at[0] = demoMix(p.x, q.x, f);
    at[1] = demoMix(p.y, q.y, f);
    at[2] = demoMix(p.z, q.z, f);
}

} // namespace

void demoFly(const float (*points)[3], int count, float along, float ahead, float dip, float roll)
{
    assert(count >= 2 && count <= MOST_PATH_POINTS);
    point3d control[MOST_PATH_POINTS];
    for (int i = 0; i < count; i++)
        control[i] = point3d{points[i][0], points[i][1], points[i][2]};
    createCubicSpline(common.path, count - 1, PATH_DETAIL, control);
    // createCubicSpline leaves the last point out; it closes the path.
    int samples = (count - 1) * PATH_DETAIL + 1;
    common.path[samples - 1] = control[count - 1];
    float eye[3], look[3];
    pathAt(samples, along, eye);
    pathAt(samples, along + ahead, look);
    if (along + ahead > 1.0f) {
        // Past the end: on along the last direction.
        float before[3];
        pathAt(samples, 1.0f - ahead, before);
        for (int k = 0; k < 3; k++)
            look[k] = eye[k] + (look[k] - before[k]);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(roll, 0, 0, 1);
    gluLookAt(eye[0], eye[1], eye[2], look[0], look[1] - dip, look[2], 0, 1, 0);
    for (int k = 0; k < 3; k++)
        common.camera[k] = eye[k];
}

namespace {

// Opaque near, thinning out over the outer part, so the far edge melts
// into the sky instead of ending on a line.
float planeAlpha(float x, float z)
{
    float far = (sqrtf(x * x + z * z) / PLANE_FAR - 0.55f) / 0.45f;
    return 1.0f - fminf(fmaxf(far, 0.0f), 1.0f);
}

// How much of a point's light is left after the darkening with distance:
// the eye-space depth through the modelview matrix `m`, as fog would take it.
float planeLight(const float* m, float x, float z)
{
    float depth = -(m[2] * x + m[10] * z + m[14]);
    return 1.0f - fminf(fmaxf((depth - FOG_NEAR) / (FOG_FAR - FOG_NEAR), 0.0f), 1.0f);
}

// The cells of one kind: opaque ones (every corner at full alpha) without
// blending, the others blended over the sky. Blending and per-pixel fog cost
// the software renderer a fifth of the plane, which covers most of the
// screen; the darkening is worked out at the corners instead, where the
// cells are small enough that it reads the same.
void planeCells(const float* rgb, float alpha, bool opaque)
{
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    // Whole tiles under the camera, so the picture stays put on the ground.
    float cx = floorf(common.camera[0] / TILE_SIDE) * TILE_SIDE;
    float cz = floorf(common.camera[2] / TILE_SIDE) * TILE_SIDE;
    float cell = 2.0f * PLANE_FAR / PLANE_CELLS;
    glBegin(GL_QUADS);
    for (int j = 0; j < PLANE_CELLS; j++) {
        for (int i = 0; i < PLANE_CELLS; i++) {
            float x0 = -PLANE_FAR + cell * float(i), z0 = -PLANE_FAR + cell * float(j);
            const float xs[4] = {x0, x0 + cell, x0 + cell, x0}, zs[4] = {z0 + cell, z0 + cell, z0, z0};
            float a[4];
            bool whole = alpha >= 1.0f;
            for (int k = 0; k < 4; k++) {
                a[k] = alpha * planeAlpha(xs[k], zs[k]);
                whole = whole && a[k] >= 1.0f;
            }
            if (whole != opaque)
                continue;
            for (int k = 0; k < 4; k++) {
                float x = cx + xs[k], z = cz + zs[k], light = planeLight(m, x, z);
                glColor4f(rgb[0] * light, rgb[1] * light, rgb[2] * light, a[k]);
                glTexCoord2f(x / TILE_SIDE, z / TILE_SIDE);
                glVertex3f(x, 0, z);
            }
        }
    }
    glEnd();
}

} // namespace

void demoDrawPlane(float flash, const float* tint, float fade)
{
    const demoAssets_t* a = &common.assets;
    if (fade <= 0.0f)
        return;
    if (a->tiles.id) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, a->tiles.id);
    }
    // One pass for the tiles and their flash: the picture times the colour,
    // doubled, so a colour of one half shows the picture as it is and a
    // flash lifts it above that. A second pass added on top would cost as
    // much again, and the plane is the frame's costliest pass under the
    // software renderer.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_PRIMARY_COLOR);
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 2.0f);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    // Nothing drawn later is tested against the ground, and the test and the
    // writes cost every pixel of it.
    glDisable(GL_DEPTH_TEST);
    // A little under full light, so that only a flash drives the tiles into the glow.
    float lift = 0.35f * fminf(fmaxf(flash, 0.0f), 1.0f);
    const float rgb[3] = {0.36f + lift * tint[0], 0.36f + lift * tint[1], 0.39f + lift * tint[2]};
    planeCells(rgb, fminf(fade, 1.0f), true);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    planeCells(rgb, fminf(fade, 1.0f), false);
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
}

float demoDrawnSamples(const splineContainer* drawing)
{
    float samples = 0;
    for (splineLayer* layer = drawing->splineLayerHead; layer; layer = layer->next)
        for (spline* s = layer->splineHead; s; s = s->next)
            if (s->size > 1)
                samples += float((s->size - 1) * s->detail);
    return samples;
}
