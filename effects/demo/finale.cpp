// Order 10, the final drop: the fastest flight, cut on every bar, the name
// standing huge in 3D over the tiles in gold, the drawings in the sky, all
// of it pulsing with the drums. Order 11, the ending: the camera lifts
// towards the moon, the credits stand on a dark panel, and the last bars
// fade to black with the music.

#include "effects/demo/demo.h"

#include "system/graphics/graphics.h"
#include "system/timer/timer.h"

#include <GL/gl.h>
#include <cassert>
#include <cmath>

namespace {

const char WORD[] = "TESSELLUNE";
const char* const CREDITS[] = {
    "code   the tessellune engine",
    "music  tessellate.mod",
    "art    drawn by script",
    "thank you for watching",
};
const int CREDIT_COUNT = sizeof CREDITS / sizeof CREDITS[0];
const float CREDIT_SIZE = 34.0f; // virtual pixels, capital height
const float CREDIT_LINE = 64.0f;

const float RUSH[][3] = {{0, 1.2f, 0}, {6, 1.0f, -20}, {-6, 1.4f, -40}, {6, 1.0f, -60}, {0, 1.2f, -80}};
const float SWEEP[][3] = {{-25, 5, -20}, {-8, 3, -32}, {8, 3, -44}, {25, 5, -56}};
const float LIFT[][3] = {{0, 2.0f, 0}, {0, 5.0f, -15}, {0, 11.0f, -30}, {0, 19.0f, -45}};
const float GOLD[3] = {1.0f, 0.8f, 0.35f};
const float ROSE[3] = {1.0f, 0.35f, 0.6f};
const float ICE[3] = {0.7f, 0.85f, 1.0f};

struct finale_t {
    float credits; // "credits" (a track): how far the credits are written, 0 to 1 a line
    float height;  // "height" (a track): world units added to the flight's height
};

finale_t finale;

const int MOST_PATH_POINTS = 5;

void lifted(const float (*path)[3], int count, float (*out)[3])
{
    assert(count <= MOST_PATH_POINTS);
    for (int i = 0; i < count; i++) {
        out[i][0] = path[i][0];
        out[i][1] = path[i][1] + finale.height;
        out[i][2] = path[i][2];
    }
}

// One camera a bar in order 10, cutting between the rush and the sweep;
// the lift in order 11.
void fly(float snare)
{
    float path[MOST_PATH_POINTS][3];
    float row = demoRowNow() - float(10 * DEMO_ROWS_PER_ORDER);
    float roll = 5.0f * snare * ((demoHitCount(DEMO_SNARE) & 1) ? 1.0f : -1.0f);
    if (row >= DEMO_ROWS_PER_ORDER) {
        lifted(LIFT, 4, path);
        demoFly(path, 4, demoSmooth(demoBetween(11, 0, 64)), 0.05f, -2.0f, 0.0f);
        return;
    }
    int bar = int(row) / DEMO_ROWS_PER_BAR;
    float along = demoBetween(10, bar * DEMO_ROWS_PER_BAR, DEMO_ROWS_PER_BAR);
    if (bar % 2 == 0) {
        lifted(RUSH, 5, path);
        demoFly(path, 5, 0.25f * float(bar / 2) + 0.25f * along, 0.05f, 0.4f, roll);
    } else {
        lifted(SWEEP, 4, path);
        demoFly(path, 4, along, 0.08f, 1.2f, roll);
    }
}

void drawWord(float t, float punch, float alpha)
{
    if (alpha <= 0.0f)
        return;
    const float size = 2.2f;
    float width = demoTextWidth(WORD, size);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, 0.4f, -16.0f);
    glRotatef(10.0f * sinf(t * 0.9f), 0, 1, 0);
    float scale = 1.0f + 0.1f * punch;
    glScalef(scale, scale, scale);
    glDisable(GL_DEPTH_TEST);
    for (int k = 5; k >= 1; k--) {
        glPushMatrix();
        glTranslatef(0, 0, -0.12f * float(k));
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        float shade = 0.15f + 0.08f * float(5 - k);
        glColor4f(shade, shade * 0.5f, shade * 0.7f, alpha);
        demoDrawText(WORD, -width * 0.5f, 0, size, 8.0f, 1.0f);
        glPopMatrix();
    }
    float colour[3];
    for (int c = 0; c < 3; c++)
        colour[c] = demoMix(GOLD[c], ROSE[c], demoHit(DEMO_SNARE, 6.0f));
    demoDrawGlowText(WORD, -width * 0.5f, 0, size, 5.0f + 3.0f * punch, 1.0f, colour, alpha);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

// A dark panel first: the lettering stays readable over whatever the
// flight shows behind it.
void drawCredits(float open)
{
    if (open <= 0.0f || finale.credits <= 0.0f)
        return;
    float width = 0;
    for (const char* line : CREDITS)
        width = fmaxf(width, demoTextWidth(line, CREDIT_SIZE));
    float left = 640.0f - width * 0.5f, top = 470.0f;
    perspective2dBegin(1280, 720);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.01f, 0.05f, 0.72f * open);
    demoQuad(left - 50.0f, top - CREDIT_LINE * CREDIT_COUNT - 10.0f, left + width + 50.0f, top + CREDIT_SIZE + 40.0f);
    for (int i = 0; i < CREDIT_COUNT; i++) {
        float reveal = fminf(1.0f, finale.credits * CREDIT_COUNT - float(i));
        demoDrawGlowText(CREDITS[i], left, top - CREDIT_LINE * float(i), CREDIT_SIZE, 2.6f, reveal, ICE, open);
    }
    perspective2dEnd();
}

} // namespace

void demoFinaleInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    finale = finale_t();
    addVariableDecimal(self, "credits", &finale.credits);
    addVariableDecimal(self, "height", &finale.height);
}

void demoFinaleRun(void* scene)
{
    updateSceneVariables(static_cast<playerScene*>(scene));
    float t = timerGetTime();
    float kick = demoBeat(), snare = demoHit(DEMO_SNARE, 7.0f);
    float ending = demoBetween(11, 0, 16);
    fly(snare);
    float tint[3];
    for (int c = 0; c < 3; c++)
        tint[c] = demoMix(GOLD[c], ROSE[c], fminf(1.0f, snare * 1.5f));
    demoDrawPlane(fmaxf(kick, snare), tint, 1.0f - 0.7f * demoSmooth(demoBetween(11, 16, 32)));
    drawWord(t, kick, 1.0f - demoSmooth(ending));
    drawCredits(demoSmooth(demoBetween(11, 8, 8)));
    demoOverlay(1, 1, 1, 0.5f * demoHit(DEMO_CRASH, 2.5f));
    demoOverlay(0, 0, 0, demoSmooth(demoBetween(11, 44, 20)));
}
