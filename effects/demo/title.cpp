// Orders 0 and 1, the intro: from the first frame the sky and the moon, and
// the name written in the air by a pen of light while the pads play; with
// the kick in order 1 the name stands in 3D over the tiles that come up
// out of the dark, and punches with every kick. A line under it in order 1.

#include "effects/demo/demo.h"

#include "system/graphics/graphics.h"
#include "system/timer/timer.h"

#include <GL/gl.h>
#include <cmath>

namespace {

const char WORD[] = "TESSELLUNE";
const char SUBTITLE[] = "moonlight on a tiled night";
const float WORD_SIZE = 1.9f;    // capital height, world units
const int BODY_LAYERS = 6;       // copies behind the face that make the name a block
const float BODY_DEPTH = 0.07f;  // world units between them
const float GOLD[3] = {1.0f, 0.85f, 0.5f};
const float ICE[3] = {0.6f, 0.8f, 1.0f};

// A slow glide low over the tiles towards the moon.
const float GLIDE[][3] = {{0, 3.2f, 30}, {1, 2.8f, 10}, {-1, 2.4f, -10}, {0, 2.2f, -30}};

struct title_t {
    float sway; // "sway" (a track): degrees the word turns to and fro
};

title_t title;

// The face of the name and, once it stands, its body: darker copies
// further back, so the lines read as a block.
void drawWord(float t, float reveal, float depth, float punch)
{
    float width = demoTextWidth(WORD, WORD_SIZE);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.0f, 0.2f, -15.0f);
    glRotatef(title.sway * sinf(t * 0.6f), 0, 1, 0);
    glRotatef(6.0f, 1, 0, 0);
    float scale = 1.0f + 0.07f * punch;
    glScalef(scale, scale, scale);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int k = BODY_LAYERS; k >= 1 && depth > 0.0f; k--) {
        float shade = 0.12f + 0.3f * float(BODY_LAYERS - k) / BODY_LAYERS;
        glColor4f(shade * 0.45f, shade * 0.5f, shade, depth);
        glPushMatrix();
        glTranslatef(0, 0, -BODY_DEPTH * float(k) * 10.0f);
        demoDrawText(WORD, -width * 0.5f, 0, WORD_SIZE, 7.0f, reveal);
        glPopMatrix();
    }
    demoDrawGlowText(WORD, -width * 0.5f, 0, WORD_SIZE, 4.0f + 2.0f * punch, reveal, GOLD, 0.9f + 0.1f * punch);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

void drawSubtitle(float reveal, float alpha)
{
    if (reveal <= 0.0f || alpha <= 0.0f)
        return;
    const float size = 24.0f;
    perspective2dBegin(1280, 720);
    demoDrawGlowText(SUBTITLE, 640.0f - demoTextWidth(SUBTITLE, size) * 0.5f, 250.0f, size, 2.2f, reveal, ICE,
                     alpha);
    perspective2dEnd();
}

} // namespace

void demoTitleInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    title = title_t();
    title.sway = 8.0f;
    addVariableDecimal(self, "sway", &title.sway);
}

void demoTitleRun(void* scene)
{
    updateSceneVariables(static_cast<playerScene*>(scene));
    float t = timerGetTime();
    // The tiles come up with the kick; the name is written over order 0.
    float ground = demoSmooth(demoBetween(1, 0, 16));
    float leave = demoSmooth(demoBetween(1, 56, 8));
    demoFly(GLIDE, 4, demoBetween(0, 0, 2 * DEMO_ROWS_PER_ORDER), 0.1f, 0.5f, 0.0f);
    float tint[3] = {0.5f, 0.7f, 1.0f};
    demoDrawPlane(0.5f * demoBeat(), tint, ground * (1.0f - leave));
    float reveal = demoBetween(0, 4, 52);
    float depth = demoSmooth(demoBetween(1, 0, 4)) * (1.0f - leave);
    drawWord(t, reveal * (1.0f - leave), depth, demoBeat());
    drawSubtitle(demoBetween(1, 16, 24), 1.0f - leave);
}
