// What the demo's scenes share: module positions as time texts, the assets,
// the module's beat, and the few drawing helpers more than one scene uses.

#include "effects/demo/demo.h"

#include "system/audio/noteSync.h"
#include "system/graphics/font/font.h"
#include "system/graphics/graphics.h"
#include "system/io/io.h"
#include "system/production/fileWatch.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <algorithm>
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

const float PLANE_Y = -2.2f;   // the floor, below the eye
const float PLANE_FAR = 90.0f; // where it ends in the fog
const float TILE_SIDE = 3.0f;  // units one copy of the tile picture covers
const float HORIZON[3] = {0.05f, 0.06f, 0.14f};

struct common_t {
    demoAssets_t assets;
    char times[8][48]; // room for any long, so the writer never cuts
    int nextTime;
    float lastBeat = -100.0f; // timer time of the last module sync row
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

// Samples a drawing emits in all: a spline of k points gives (k - 1) x
// detail, though pointsCount counts k x detail.
float drawnFraction(const splineContainer* drawing)
{
    float samples = 0;
    for (splineLayer* layer = drawing->splineLayerHead; layer; layer = layer->next)
        for (spline* s = layer->splineHead; s; s = s->next)
            if (s->size > 0)
                samples += float((s->size - 1) * s->detail);
    return drawing->pointsCount ? samples / float(drawing->pointsCount) : 1.0f;
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

// Opaque near, then thinning out over the last third, so the far edge
// melts into the sky instead of ending on a line.
float planeAlpha(float z)
{
    float far = (-z - PLANE_FAR * 0.6f) / (PLANE_FAR * 0.4f);
    return 1.0f - fminf(fmaxf(far, 0.0f), 1.0f);
}

void planeStrips(float scroll, float r, float g, float b, float alpha)
{
    const int strips = 24;
    for (int i = 0; i < strips; i++) {
        // Strips get longer with distance, where they cover fewer pixels.
        float z0 = -1.0f - PLANE_FAR * powf(float(i) / strips, 1.6f);
        float z1 = -1.0f - PLANE_FAR * powf(float(i + 1) / strips, 1.6f);
        float t0 = -z0 / TILE_SIDE + scroll, t1 = -z1 / TILE_SIDE + scroll;
        float x = PLANE_FAR, s = PLANE_FAR / TILE_SIDE;
        float a0 = alpha * planeAlpha(z0), a1 = alpha * planeAlpha(z1);
        glBegin(GL_QUADS);
        glColor4f(r, g, b, a0);
        glTexCoord2f(s, t0);
        glVertex3f(x, PLANE_Y, z0);
        glTexCoord2f(-s, t0);
        glVertex3f(-x, PLANE_Y, z0);
        glColor4f(r, g, b, a1);
        glTexCoord2f(-s, t1);
        glVertex3f(-x, PLANE_Y, z1);
        glTexCoord2f(s, t1);
        glVertex3f(x, PLANE_Y, z1);
        glEnd();
    }
}

void linearFog(const float* colour)
{
    float fog[4] = {colour[0], colour[1], colour[2], 1.0f};
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, 4.0f);
    glFogf(GL_FOG_END, PLANE_FAR * 0.75f);
    glHint(GL_FOG_HINT, GL_NICEST);
    glFogfv(GL_FOG_COLOR, fog);
}

} // namespace

// --- module positions -------------------------------------------------------------

const char* demoAt(int order, int row, int absolute)
{
    return formatMs(long(order) * DEMO_ROWS_PER_ORDER * DEMO_ROW_MS + long(row) * DEMO_ROW_MS, absolute);
}

const char* demoRows(int rows)
{
    return formatMs(long(rows) * DEMO_ROW_MS, 0);
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
    // made the mipmaps, so use them.
    glBindTexture(GL_TEXTURE_2D, picture.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
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
    } pictures[] = {{SKY_PNG, &a->sky}, {MOON_PNG, &a->moon}, {TILES_PNG, &a->tiles}, {GLOW_PNG, &a->glow}};
    for (auto& p : pictures) {
        *p.picture = loadPicture(p.path);
        fileWatchAdd(p.path, reloadPicture, p.picture);
    }
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
}

void demoReleaseAssets(void)
{
    demoAssets_t* a = &common.assets;
    splineContainer* drawings[] = {a->crescent, a->lettering, a->mosaic};
    // deleteSplineContainer takes the containers after it too: one at a time,
    // newest first, so each is the last of the list when it goes.
    for (int i = 2; i >= 0; i--)
        if (drawings[i])
            deleteSplineContainer(drawings[i]);
    texture_t* pictures[] = {&a->sky, &a->moon, &a->tiles, &a->glow};
    for (texture_t* picture : pictures)
        if (picture->id)
            glDeleteTextures(1, &picture->id);
    *a = demoAssets_t();
}

// --- the beat --------------------------------------------------------------------------

void demoUpdateBeat(void)
{
    // The kick drives the beat; before the drums come in, the pad's chords.
    if (noteSyncInstrument(DEMO_KICK) || noteSyncInstrument(DEMO_PAD))
        common.lastBeat = timerGetTime();
}

float demoBeat(void)
{
    float since = timerGetTime() - common.lastBeat;
    return since < 0 ? 0.0f : expf(-since * 3.5f);
}

// --- small helpers ---------------------------------------------------------------------

float demoProgress(const sceneSync_t* sync)
{
    if (sync->active == SYNC_FINISHED)
        return 1.0f;
    if (sync->active == SYNC_WAITING && sync->type == SYNC_WINDOW)
        return sync->time.absolute >= sync->time.end ? 1.0f : 0.0f;
    return fminf(fmaxf(sync->time.percent, 0.0f), 1.0f);
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

// --- the plane and the 3D word ----------------------------------------------------------

void demoDrawPlane(float t, float flash, float fade)
{
    const demoAssets_t* a = &common.assets;
    float scroll = t * 0.9f;
    if (fade <= 0.0f)
        return;
    if (a->tiles.id) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, a->tiles.id);
    }
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    linearFog(HORIZON);
    planeStrips(scroll, 1, 1, 1, fminf(fade, 1.0f));
    if (flash > 0.0f) {
        // The same tiles again, added on top: the lines and faces light up.
        const float black[3] = {0, 0, 0};
        linearFog(black);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glDepthMask(GL_FALSE);
        planeStrips(scroll, 0.55f, 0.7f, 1.0f, fminf(flash, 1.0f) * 0.6f * fade);
        glDepthMask(GL_TRUE);
    }
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glDisable(GL_FOG);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
}

void demoDrawWord3d(const char* word, const float* arrive, float light)
{
    size_t length = strlen(word);
    float left = -float(length) * 9.0f * 0.5f;
    unsigned char letter[2] = {0, 0};
    for (size_t i = 0; i < length; i++) {
        float a = arrive[i];
        if (a <= 0.0f)
            continue;
        letter[0] = static_cast<unsigned char>(word[i]);
        glPushMatrix();
        glTranslatef(left + float(i) * 9.0f + 4.5f, (1 - a) * 30.0f, -(1 - a) * 220.0f);
        glRotatef((1 - a) * 140.0f, 0, 1, 0);
        glTranslatef(-4.5f, -6.5f, 0);
        // The body: copies further back and darker, so the flat glyph
        // reads as a block.
        const int depth = 7;
        for (int k = depth; k >= 1; k--) {
            float shade = (0.10f + 0.25f * float(depth - k) / depth) * light;
            glColor4f(shade * 0.55f, shade * 0.6f, shade, a);
            glPushMatrix();
            glTranslatef(0, 0, -0.45f * float(k));
            drawText3d(letter);
            glPopMatrix();
        }
        glColor4f(0.86f * light, 0.9f * light, light, a);
        drawText3d(letter);
        glPopMatrix();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4f(1, 1, 1, 1);
}
