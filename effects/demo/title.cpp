// Orders 0 and 1, the pad alone: the sky comes up from black, the moon
// rises, and the name arrives letter by letter in 3D, one letter every four
// rows; a line of 2D text under it.

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
const char SUBTITLE[] = "moonlight on a tiled night";

struct title_t {
    sceneSync_t* dawn;    // from black
    sceneSync_t* letter[LETTERS];
    sceneSync_t* subtitle;
    sceneSync_t* leave;   // the word lifts off before the drums
    float sway;           // "sway" (a track): degrees the word turns to and fro
};

title_t title;

void drawWord(float t, float beat)
{
    float arrive[LETTERS];
    // Before the drums the letters go back the way they came, the last first.
    float leave = demoProgress(title.leave);
    for (int i = 0; i < LETTERS; i++) {
        float away = demoSmooth(leave * 2.0f - float(LETTERS - 1 - i) / LETTERS);
        arrive[i] = demoSmooth(demoProgress(title.letter[i])) * (1.0f - away);
    }
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(0.0f, -0.2f, -12.0f);
    glRotatef(title.sway * sinf(t * 0.7f), 0, 1, 0);
    glRotatef(8.0f, 1, 0, 0);
    glScalef(0.12f, 0.12f, 0.12f);
    demoDrawWord3d(WORD, arrive, 0.85f + 0.15f * beat);
    glPopMatrix();
}

void drawSubtitle(void)
{
    float p = demoProgress(title.subtitle) * (1.0f - demoProgress(title.leave));
    if (p <= 0.0f)
        return;
    float size = 2.0f;
    float width = float(strlen(SUBTITLE)) * 9.0f * size / 1280.0f;
    setTextSize(size, size);
    setTextAngle(0);
    glColor4f(0.75f, 0.82f, 1.0f, fminf(1.0f, p * 1.5f));
    drawText2d(0.5f - width * 0.5f, 0.27f, reinterpret_cast<const unsigned char*>(SUBTITLE));
    glColor4f(1, 1, 1, 1);
}

} // namespace

void demoTitleInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    title = title_t();
    title.dawn = addSync(self, "0:00", demoRows(24));
    // The first letter with the first sync row of the module (row 32 of
    // order 0), then one every four rows.
    title.letter[0] = addSync(self, demoAt(0, 32, 0), demoRows(12));
    for (int i = 1; i < LETTERS; i++)
        title.letter[i] = addSync(self, demoAt(0, 32 + 4 * i, 0), demoRows(12));
    title.subtitle = addSync(self, demoAt(1, 16, 0), demoRows(16));
    title.leave = addSync(self, demoAt(1, 52, 0), demoRows(12));
    title.sway = 12.0f;
    addVariableDecimal(self, "sway", &title.sway);
}

void demoTitleRun(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    // Syncs at this frame's time, not the last frame's.
    updateSceneVariables(self);
    float t = timerGetTime();
    drawWord(t, demoBeat());
    drawSubtitle();
    demoOverlay(0, 0, 0, 1.0f - demoSmooth(demoProgress(title.dawn)));
}
