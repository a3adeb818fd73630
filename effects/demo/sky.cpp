// The sky behind every other scene: the night-sky picture, twinkling stars,
// and the moon with its glow. Its variables are tuned as sync tracks
// (tools/makeTracks.py), never written here after the start, so a track's
// value is the one drawn; it also asks the module for its notes once a
// frame, for everyone.

#include "effects/demo/demo.h"

#include "system/graphics/graphics.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdint>

namespace {

const int STARS = 160;

struct star_t {
    float x, y; // virtual screen pixels
    float size; // point size at a 720-line window
    float phase, speed;
};

struct sky_t {
    float light;    // "light": the picture's brightness
    float moonX;    // "moonX", "moonY": the moon's centre, fractions of the screen
    float moonY;
    float moonSize; // "moonSize": virtual screen pixels across
    float stars;    // "stars": how much the stars show
    star_t star[STARS];
};

sky_t sky;

// The same sky on every run and every machine: a small generator of our own.
float nextRandom(uint32_t* seed)
{
    *seed = *seed * 1664525u + 1013904223u;
    return float(*seed >> 8) / float(1u << 24);
}

void placeStars(void)
{
    uint32_t seed = 20240917u;
    for (star_t& s : sky.star) {
        s.x = nextRandom(&seed) * 1280.0f;
        s.y = 200.0f + nextRandom(&seed) * 520.0f;
        s.size = 1.0f + 2.2f * nextRandom(&seed) * nextRandom(&seed);
        s.phase = nextRandom(&seed) * 6.2832f;
        s.speed = 0.6f + 2.0f * nextRandom(&seed);
    }
}

void drawBackground(void)
{
    const demoAssets_t* a = demoAssets();
    float l = sky.light;
    if (a->sky.id) {
        texture_t picture = a->sky;
        setTextureSizeToScreenSize(&picture);
        glColor4f(l, l, l, 1);
        showImage(picture);
        return;
    }
    // Without the picture: the same night, as a gradient.
    perspective2dBegin(getScreenWidth(), getScreenHeight());
    glBegin(GL_QUADS);
    glColor3f(0.01f * l, 0.02f * l, 0.08f * l);
    glVertex3f(1280, 720, 0);
    glVertex3f(0, 720, 0);
    glColor3f(0.08f * l, 0.1f * l, 0.25f * l);
    glVertex3f(0, 0, 0);
    glVertex3f(1280, 0, 0);
    glEnd();
    perspective2dEnd();
}

void drawStars(float t, float beat)
{
    if (sky.stars <= 0.0f)
        return;
    // Point sizes are window pixels: keep the stars' size to the window's.
    float pixels = float(getWindowScreenAreaHeight()) / 720.0f;
    perspective2dBegin(getScreenWidth(), getScreenHeight());
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (int big = 0; big < 2; big++) {
        glPointSize(fmaxf(1.0f, (big ? 2.6f : 1.4f) * pixels));
        glBegin(GL_POINTS);
        for (const star_t& s : sky.star) {
            if ((s.size > 2.0f) != (big != 0))
                continue;
            float twinkle = 0.55f + 0.45f * sinf(s.phase + t * s.speed);
            float a = sky.stars * fminf(1.0f, twinkle + 0.5f * beat);
            glColor4f(0.85f, 0.9f, 1.0f, a);
            glVertex3f(s.x, s.y, 0);
        }
        glEnd();
    }
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glPointSize(1.0f);
    glColor4f(1, 1, 1, 1);
    perspective2dEnd();
}

void drawMoon(float t, float beat)
{
    const demoAssets_t* a = demoAssets();
    float x = sky.moonX * getScreenWidth(), y = sky.moonY * getScreenHeight();
    // The halo breathes with the pads' chords and jumps with the kick.
    float glow = 0.5f + 0.15f * demoHit(DEMO_PAD, 0.8f) + 0.3f * beat;
    glColor4f(0.75f, 0.82f, 1.0f, glow);
    demoShowCentred(a->glow, x, y, sky.moonSize * 2.7f, 0.0f);
    glColor4f(1, 1, 1, 1);
    // A slow turn, so the face is never quite still.
    demoShowCentred(a->moon, x, y, sky.moonSize, 4.0f * sinf(t * 0.2f) + 0.01f);
    glColor4f(1, 1, 1, 1);
}

} // namespace

void demoSkyInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    demoLoadAssets();
    placeStars();
    sky.light = 1.0f;
    sky.moonX = 0.72f;
    sky.moonY = 0.12f;
    sky.moonSize = 230.0f;
    sky.stars = 1.0f;
    addVariableDecimal(self, "light", &sky.light);
    addVariableDecimal(self, "moonX", &sky.moonX);
    addVariableDecimal(self, "moonY", &sky.moonY);
    addVariableDecimal(self, "moonSize", &sky.moonSize);
    addVariableDecimal(self, "stars", &sky.stars);
}

void demoSkyRun(void* scene)
{
    // The stored values win over anything written since the last frame.
    updateSceneVariables(static_cast<playerScene*>(scene));
    demoUpdateHits();
    float t = timerGetTime(), beat = demoBeat();
    drawBackground();
    drawStars(t, fmaxf(beat, demoHit(DEMO_HAT, 9.0f)));
    drawMoon(t, beat);
}

void demoSkyDeinit(void* scene)
{
    (void)scene;
    demoReleaseAssets();
}
