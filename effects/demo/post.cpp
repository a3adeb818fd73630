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
#include <cmath>

namespace {

const int GLOW_DIVISOR = 4;   // the glow's picture is this many times smaller a side
const float GLOW_GAIN = 1.5f; // the glow's light for a strength of 1, the bright parts' share
const float FEEDBACK_TURN = 0.6f; // degrees the last frame turns in the feedback
const int LARGEST_TEXTURE = 8192;

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
    // The corner back as it was, texel for pixel.
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, post.frame.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    drawPart(post.frame, sw, sh, 0, 0, float(sw) * 1280.0f / float(w), float(sh) * 720.0f / float(h), 1, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // One full-screen pass: each full-screen pass costs as much as the
    // tiles under the software renderer, and the fourfold magnification
    // already spreads the light.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    float light = fminf(strength * GLOW_GAIN, 1.0f);
    glColor4f(light, light, light, 1);
    drawPart(post.small, sw, sh, 0, 0, 1280, 720, 1, 0);
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
