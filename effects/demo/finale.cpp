// Orders 6 to the end: everything together. The sky comes back, the moon stands
// large, the tiles run below, the drawings return whole, the name stands in
// 3D, the credits come one by one in 2D text, and the last bars fade to
// black.

#include "effects/demo/demo.h"

#include "system/graphics/font/font.h"
#include "system/graphics/graphics.h"
#include "system/timer/timer.h"

#include <GL/gl.h>
#include <cmath>
#include <cstring>

namespace {

const char WORD[] = "TESSELLUNE";
const int LETTERS = sizeof WORD - 1;
const char* const CREDITS[] = {
    "code      the tessellune engine",
    "music     tessellate.mod",
    "pictures  drawn by script",
    "drawings  made in tessellune_editor",
    "thank you for watching",
};
const int CREDIT_COUNT = sizeof CREDITS / sizeof CREDITS[0];

struct finale_t {
    sceneSync_t* open;  // the sky lights up again
    sceneSync_t* word;  // the name comes back
    sceneSync_t* credit[CREDIT_COUNT];
    sceneSync_t* fade;  // the last bars, to black
    float rise;         // "rise" (a track): how far the plane has sunk away
};

finale_t finale;

void drawCredits(void)
{
    for (int i = 0; i < CREDIT_COUNT; i++) {
        const sceneSync_t* sync = finale.credit[i];
        float p = demoProgress(sync);
        if (p <= 0.0f || p >= 1.0f)
            continue;
        // In quickly, held, out quickly.
        float alpha = fminf(1.0f, fminf(p * 5.0f, (1.0f - p) * 5.0f));
        float size = 2.5f;
        float width = float(strlen(CREDITS[i])) * 9.0f * size / 1280.0f;
        setTextSize(size, size);
        setTextAngle(0);
        glColor4f(0.85f, 0.9f, 1.0f, alpha);
        drawText2d(0.5f - width * 0.5f, 0.2f + 0.02f * p, reinterpret_cast<const unsigned char*>(CREDITS[i]));
    }
    glColor4f(1, 1, 1, 1);
}

void drawWord(float t, float beat)
{
    float arrive[LETTERS];
    float p = demoProgress(finale.word);
    for (int i = 0; i < LETTERS; i++)
        arrive[i] = demoSmooth(p * 2.0f - float(i) / LETTERS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(0.0f, -0.1f, -13.0f);
    glRotatef(6.0f * sinf(t * 0.5f), 0, 1, 0);
    glScalef(0.1f, 0.1f, 0.1f);
    demoDrawWord3d(WORD, arrive, 0.85f + 0.15f * beat);
    glPopMatrix();
}

void drawPlane(float t, float open)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    // Looking a little up: the horizon sinks below the middle and leaves
    // the sky to the moon.
    glRotatef(-2.0f, 1, 0, 0);
    glRotatef(20.0f * sinf(t * 0.15f), 0, 1, 0);
    glTranslatef(0, -finale.rise, 0);
    demoDrawPlane(t, 0.5f * demoBeat(), 0.85f * open);
    glPopMatrix();
}

void drawArt(float open)
{
    const demoAssets_t* a = demoAssets();
    if (a->crescent) {
        demoDrawingViewBegin(0.4f, -380.0f, 150.0f);
        demoDrawInk(a->crescent, 1.0f, 1.0f, 0.86f, 0.45f, 0.7f * open, nullptr, nullptr);
        demoDrawingViewEnd();
    }
    if (a->mosaic) {
        demoDrawingViewBegin(0.4f, 380.0f, 150.0f);
        demoDrawInk(a->mosaic, 1.0f, 0.35f, 0.75f, 1.0f, 0.7f * open, nullptr, nullptr);
        demoDrawingViewEnd();
    }
}

} // namespace

void demoFinaleInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    finale = finale_t();
    finale.open = addSync(self, "0:00", demoRows(16));
    finale.word = addSync(self, demoRows(8), demoRows(32));
    finale.credit[0] = addSync(self, demoRows(16), demoRows(16));
    for (int i = 1; i < CREDIT_COUNT; i++)
        finale.credit[i] = addSyncAfterLast(self, demoRows(2), demoRows(16));
    finale.fade = addSync(self, demoAt(DEMO_ORDERS - 1, 40, 1), demoRows(22));
    finale.rise = 0.0f;
    addVariableDecimal(self, "rise", &finale.rise);
}

void demoFinaleRun(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    updateSceneVariables(self);
    float t = timerGetTime();
    float open = demoSmooth(demoProgress(finale.open));
    float beat = demoBeat();
    drawPlane(t, open);
    drawArt(open);
    // The word stands in front of the plane, never in it.
    glClear(GL_DEPTH_BUFFER_BIT);
    drawWord(t, beat);
    drawCredits();
    demoOverlay(0, 0, 0, demoSmooth(demoProgress(finale.fade)));
}
