// Over every other scene: feedback and glow, made from copies of the frame
// without shaders. Feedback adds the last frame, a little larger and
// turned, to this one, so anything bright leaves trails that fly out from
// the middle. Glow copies the frame into a texture, draws it at a quarter
// of its size in a corner, raises it there to the fourth power so that only
// bright parts stay, copies that corner into a small texture, puts the
// corner back, and adds the small texture over the whole frame: its
// bilinear magnification is the blur. At 1280 x 720 that is one full copy
// of the frame and two full-screen quads (one without feedback).

#include "effects/demo/demo.h"

#include "system/graphics/graphics.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const int GLOW_DIVISOR = 4;   // the glow's picture is this many times smaller a side
const float GLOW_GAIN = 1.5f; // the glow's light for a strength of 1, the bright parts' share
const float FEEDBACK_TURN = 0.6f; // degrees the last frame turns in the feedback
const int LARGEST_TEXTURE = 8192;
const int GLOW_CELL = 8;         // texels a side of the cells the glow is added by
const int GLOW_UNSEEN = 2;       // a texel below this (of 255) adds nothing a pixel shows

struct target_t {
    GLuint id;
    int w, h; // the texture's sides: powers of two
};

struct post_t {
    float glow;     // "glow" (a track): strength of the glow, 0 off
    float feedback; // "feedback" (a track): share of the last frame added, 0 off
    float zoom;     // "zoom" (a track): how much larger the last frame comes back
    target_t frame; // the whole frame
    target_t small; // the glow's bright parts
    int hasLast;    // the frame texture holds the frame before this one
    std::vector<unsigned char> readBack; // the bright parts, read back
    std::vector<unsigned char> lit;      // a byte a cell, row by row: the cell adds light
    int litColumns, litRows;             // the cells' grid, as findLitCells last made it
};

post_t post;

int powerOfTwo(int at)
{
    int p = 1;
    while (p < at)
        p *= 2;
    return p;
}

// Room for w x h pixels; 0 when that is more than the texture may hold.
int prepare(target_t* t, int w, int h)
{
    int tw = powerOfTwo(w), th = powerOfTwo(h);
    if (tw > LARGEST_TEXTURE || th > LARGEST_TEXTURE)
        return 0;
    if (t->id && t->w == tw && t->h == th)
        return 1;
    if (!t->id)
        glGenTextures(1, &t->id);
    glBindTexture(GL_TEXTURE_2D, t->id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, tw, th, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    t->w = tw;
    t->h = th;
    post.hasLast = 0;
    return 1;
}

// The part (0, 0)-(w, h) pixels of the texture over the virtual rectangle,
// scaled by `scale` and turned by `angle` degrees about the screen's centre.
void drawPart(const target_t& t, int w, int h, float x0, float y0, float x1, float y1, float scale, float angle)
{
    float s = float(w) / float(t.w), u = float(h) / float(t.h);
    glBindTexture(GL_TEXTURE_2D, t.id);
    glPushMatrix();
    glTranslatef(640, 360, 0);
    glRotatef(angle, 0, 0, 1);
    glScalef(scale, scale, 1);
    glTranslatef(-640, -360, 0);
    glBegin(GL_QUADS);
    glTexCoord2f(s, u);
    glVertex3f(x1, y1, 0);
    glTexCoord2f(0, u);
    glVertex3f(x0, y1, 0);
    glTexCoord2f(0, 0);
    glVertex3f(x0, y0, 0);
    glTexCoord2f(s, 0);
    glVertex3f(x1, y0, 0);
    glEnd();
    glPopMatrix();
}

void copyInto(const target_t& t, int w, int h)
{
    glBindTexture(GL_TEXTURE_2D, t.id);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, getScreenPositionX(), getScreenPositionY(), w, h);
}

void feedback(int w, int h, float strength, float zoom)
{
    if (!post.hasLast || strength <= 0.0f)
        return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1, 1, 1, fminf(strength, 0.95f));
    drawPart(post.frame, w, h, 0, 0, 1280, 720, zoom, FEEDBACK_TURN);
}

size_t litCell(int cx, int cy)
{
    return size_t(cy) * size_t(post.litColumns) + size_t(cx);
}

// Which cells of the glow's picture hold light. The frame's dark parts,
// often most of it, would add nothing: the bright parts' picture is read
// back, a few hundred kilobytes, and the pass skips the cells below the
// least light a pixel shows. A cell counts its neighbouring texels too,
// since the magnification blends them in.
void findLitCells(int sw, int sh)
{
    size_t size = size_t(sw) * size_t(sh) * 4;
    if (post.readBack.size() < size)
        post.readBack.resize(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(getScreenPositionX(), getScreenPositionY(), sw, sh, GL_RGBA, GL_UNSIGNED_BYTE,
                 post.readBack.data());
    int columns = (sw + GLOW_CELL - 1) / GLOW_CELL, rows = (sh + GLOW_CELL - 1) / GLOW_CELL;
    post.litColumns = columns;
    post.litRows = rows;
    post.lit.assign(size_t(columns) * size_t(rows), 0);
    for (int y = 0; y < sh; y++) {
        const unsigned char* texel = post.readBack.data() + size_t(y) * size_t(sw) * 4;
        for (int x = 0; x < sw; x++, texel += 4) {
            if (std::max(texel[0], std::max(texel[1], texel[2])) < GLOW_UNSEEN)
                continue;
            for (int cy = (y - 1) / GLOW_CELL; cy <= std::min(rows - 1, (y + 1) / GLOW_CELL); cy++)
                for (int cx = std::max(0, (x - 1) / GLOW_CELL); cx <= std::min(columns - 1, (x + 1) / GLOW_CELL); cx++)
                    post.lit[litCell(cx, cy)] = 1;
        }
    }
}

// The lit cells, a row's neighbours joined into one quad.
void drawLitCells(int sw, int sh)
{
    int columns = post.litColumns, rows = post.litRows;
    float s = 1.0f / float(post.small.w), u = 1.0f / float(post.small.h);
    float px = 1280.0f / float(sw), py = 720.0f / float(sh); // virtual pixels a texel
    glBindTexture(GL_TEXTURE_2D, post.small.id);
    glBegin(GL_QUADS);
    for (int cy = 0; cy < rows; cy++) {
        for (int cx = 0; cx < columns;) {
            if (!post.lit[litCell(cx, cy)]) {
                cx++;
                continue;
            }
            int from = cx;
            while (cx < columns && post.lit[litCell(cx, cy)])
                cx++;
            float x0 = float(from * GLOW_CELL), x1 = float(std::min(sw, cx * GLOW_CELL));
            float y0 = float(cy * GLOW_CELL), y1 = float(std::min(sh, (cy + 1) * GLOW_CELL));
            glTexCoord2f(x1 * s, y1 * u);
            glVertex3f(x1 * px, y1 * py, 0);
            glTexCoord2f(x0 * s, y1 * u);
            glVertex3f(x0 * px, y1 * py, 0);
            glTexCoord2f(x0 * s, y0 * u);
            glVertex3f(x0 * px, y0 * py, 0);
            glTexCoord2f(x1 * s, y0 * u);
            glVertex3f(x1 * px, y0 * py, 0);
        }
    }
    glEnd();
}

void glow(int w, int h, float strength)
{
    int sw = w / GLOW_DIVISOR, sh = h / GLOW_DIVISOR;
    if (strength <= 0.0f || sw < 1 || sh < 1 || !prepare(&post.small, sw, sh))
        return;
    const float cw = 1280.0f / GLOW_DIVISOR, ch = 720.0f / GLOW_DIVISOR;
    // The bright parts: the frame small in the corner, then multiplied by
    // itself up to the fourth power, which leaves little below three quarters.
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    drawPart(post.frame, w, h, 0, 0, cw, ch, 1, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    for (int power = 2; power <= 4; power++)
        drawPart(post.frame, w, h, 0, 0, cw, ch, 1, 0);
    copyInto(post.small, sw, sh);
    findLitCells(sw, sh);
    // The corner back as it was, texel for pixel.
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, post.frame.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    drawPart(post.frame, sw, sh, 0, 0, float(sw) * 1280.0f / float(w), float(sh) * 720.0f / float(h), 1, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // One pass over the screen: each full-screen pass costs as much as the
    // tiles under the software renderer, and the fourfold magnification
    // already spreads the light. Only the parts with light to add.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    float light = fminf(strength * GLOW_GAIN, 1.0f);
    glColor4f(light, light, light, 1);
    drawLitCells(sw, sh);
}

} // namespace

void demoPostInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    post = post_t();
    post.glow = 0.6f;
    post.zoom = 1.02f;
    addVariableDecimal(self, "glow", &post.glow);
    addVariableDecimal(self, "feedback", &post.feedback);
    addVariableDecimal(self, "zoom", &post.zoom);
}

void demoPostRun(void* scene)
{
    updateSceneVariables(static_cast<playerScene*>(scene));
    // A capture draws the frames before its start into one scissored pixel:
    // nothing there to copy, and nothing to spend time on.
    int w = getWindowScreenAreaWidth(), h = getWindowScreenAreaHeight();
    if (glIsEnabled(GL_SCISSOR_TEST) || !prepare(&post.frame, w, h)) {
        post.hasLast = 0;
        return;
    }
    float kick = demoBeat();
    perspective2dBegin(1280, 720);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_FOG);
    glEnable(GL_TEXTURE_2D);
    feedback(w, h, post.feedback * (1.0f - 0.3f * kick), post.zoom + 0.02f * kick);
    copyInto(post.frame, w, h);
    post.hasLast = 1;
    glow(w, h, post.glow * (1.0f + 0.4f * kick));
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glColor4f(1, 1, 1, 1);
    perspective2dEnd();
}

void demoPostDeinit(void* scene)
{
    (void)scene;
    target_t* targets[] = {&post.frame, &post.small};
    for (target_t* t : targets)
        if (t->id)
            glDeleteTextures(1, &t->id);
    post = post_t();
}
