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
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

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

// The sky picture's shaded grid, then its stars as round points, added.
void drawPicture(const demoSkyPicture_t& picture, float l)
{
    perspective2dBegin(1280, 720);
    const float cw = 1280.0f / DEMO_SKY_COLUMNS, ch = 720.0f / DEMO_SKY_ROWS;
    for (int j = 0; j < DEMO_SKY_ROWS; j++) {
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= DEMO_SKY_COLUMNS; i++) {
            for (int k = 1; k >= 0; k--) {
                const float* c = picture.corner[j + k][i];
                glColor3f(c[0] * l, c[1] * l, c[2] * l);
                glVertex3f(float(i) * cw, float(j + k) * ch, 0);
            }
        }
        glEnd();
    }
    // Point sizes are window pixels. The picture is stretched over the
    // screen, wider than high; a round point of its star's height and the
    // star's light reads as the blurred spot it stands for.
    float across = float(getWindowScreenAreaHeight()) / float(picture.height);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE); // the smoothed point's edge is in its alpha
    for (int i = 0; i < picture.stars;) {
        float size = picture.star[i].size;
        glPointSize(fmaxf(1.0f, size * across));
        glBegin(GL_POINTS);
        for (; i < picture.stars && picture.star[i].size == size; i++) {
            const demoSkyStar_t& s = picture.star[i];
            glColor4f(s.rgb[0] * l, s.rgb[1] * l, s.rgb[2] * l, 1.0f);
            glVertex3f(s.x * 1280.0f, s.y * 720.0f, 0);
        }
        glEnd();
    }
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glPointSize(1.0f);
    perspective2dEnd();
}

void drawBackground(void)
{
    const demoAssets_t* a = demoAssets();
    float l = sky.light;
    if (a->sky.ready) {
        drawPicture(a->sky, l);
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

// --- reading the sky out of its picture ------------------------------------------

// A star stands this far (of full brightness) above the darkest pixel
// around it; the haze and the gradient change far less over a few pixels.
const float STAR_CONTRAST = 0.05f;
const int STAR_REACH = 3; // pixels around a star's peak that belong to it

struct skyReader_t {
    const unsigned char* pixels; // RGBA, the bottom row first
    int w, h;
};

const unsigned char* pixelAt(const skyReader_t& r, int x, int y)
{
    return r.pixels + (size_t(y) * size_t(r.w) + size_t(x)) * 4;
}

float lightAt(const skyReader_t& r, int x, int y)
{
    const unsigned char* p = pixelAt(r, x, y);
    return float(std::max(p[0], std::max(p[1], p[2]))) / 255.0f;
}

// A pixel brighter than its eight neighbours (ties go to the first in
// reading order) and well above the darkest pixel near it; its star is
// filled in, `darkest` gets that pixel.
bool findStar(const skyReader_t& r, int x, int y, demoSkyStar_t* star, int* darkest)
{
    float peak = lightAt(r, x, y);
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++) {
            int nx = x + dx, ny = y + dy;
            if ((dx || dy) && nx >= 0 && ny >= 0 && nx < r.w && ny < r.h) {
                float other = lightAt(r, nx, ny);
                bool before = dy < 0 || (dy == 0 && dx < 0);
                if (other > peak || (before && other == peak))
                    return false;
            }
        }
    float low = peak;
    int x0 = std::max(0, x - STAR_REACH), x1 = std::min(r.w - 1, x + STAR_REACH);
    int y0 = std::max(0, y - STAR_REACH), y1 = std::min(r.h - 1, y + STAR_REACH);
    for (int ny = y0; ny <= y1; ny++)
        for (int nx = x0; nx <= x1; nx++)
            if (lightAt(r, nx, ny) < low) {
                low = lightAt(r, nx, ny);
                *darkest = ny * r.w + nx;
            }
    if (peak - low < STAR_CONTRAST)
        return false;
    // Where its light sits, and how wide the part above half its height is.
    float sum = 0, sx = 0, sy = 0;
    int wide = 0;
    for (int ny = y0; ny <= y1; ny++)
        for (int nx = x0; nx <= x1; nx++) {
            float above = lightAt(r, nx, ny) - low;
            if (abs(nx - x) <= 1 && abs(ny - y) <= 1) {
                sum += above;
                sx += above * float(nx);
                sy += above * float(ny);
            }
            wide += above * 2.0f >= peak - low;
        }
    star->x = (sx / sum + 0.5f) / float(r.w);
    star->y = (sy / sum + 0.5f) / float(r.h);
    star->size = fmaxf(1.0f, 2.0f * sqrtf(float(wide) / 3.14159f));
    return true;
}

// The background's colour around a grid corner: the mean of the pixels
// within half a cell that no star lights. Where stars cover all of them the
// reach doubles until it finds some; a picture all stars gives its mean.
void cornerColour(const skyReader_t& r, const std::vector<unsigned char>& lit, float u, float v, float* rgb)
{
    float reachX = 0.5f * float(r.w) / DEMO_SKY_COLUMNS, reachY = 0.5f * float(r.h) / DEMO_SKY_ROWS;
    for (bool wholePicture = false;; reachX *= 2, reachY *= 2) {
        int x0 = std::max(0, int(u - reachX)), x1 = std::min(r.w - 1, int(u + reachX));
        int y0 = std::max(0, int(v - reachY)), y1 = std::min(r.h - 1, int(v + reachY));
        double sum[3] = {0, 0, 0};
        int count = 0;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++) {
                if (!wholePicture && lit[size_t(y) * size_t(r.w) + size_t(x)])
                    continue;
                const unsigned char* p = pixelAt(r, x, y);
                for (int k = 0; k < 3; k++)
                    sum[k] += p[k];
                count++;
            }
        if (count > 0) {
            for (int k = 0; k < 3; k++)
                rgb[k] = float(sum[k] / count / 255.0);
            return;
        }
        // Every pixel of the picture lit: count them all next time.
        wholePicture = x0 == 0 && y0 == 0 && x1 == r.w - 1 && y1 == r.h - 1;
    }
}

} // namespace

void demoSkyFromImage(const imageData_t* image, demoSkyPicture_t* sky)
{
    *sky = demoSkyPicture_t();
    if (!image || !image->pixels || image->w == 0 || image->h == 0)
        return;
    skyReader_t r = {reinterpret_cast<const unsigned char*>(image->pixels), int(image->w), int(image->h)};
    std::vector<demoSkyStar_t> found;
    std::vector<unsigned char> lit(size_t(r.w) * size_t(r.h), 0);
    for (int y = 0; y < r.h; y++)
        for (int x = 0; x < r.w; x++) {
            demoSkyStar_t star = {};
            int darkest = y * r.w + x;
            if (!findStar(r, x, y, &star, &darkest))
                continue;
            const unsigned char* peak = pixelAt(r, x, y);
            const unsigned char* low = pixelAt(r, darkest % r.w, darkest / r.w);
            for (int k = 0; k < 3; k++)
                star.rgb[k] = float(std::max(0, int(peak[k]) - int(low[k]))) / 255.0f;
            found.push_back(star);
            for (int ny = std::max(0, y - STAR_REACH); ny <= std::min(r.h - 1, y + STAR_REACH); ny++)
                for (int nx = std::max(0, x - STAR_REACH); nx <= std::min(r.w - 1, x + STAR_REACH); nx++)
                    lit[size_t(ny) * size_t(r.w) + size_t(nx)] = 1;
        }
    // The brightest when there are more than the room, drawn by size.
    auto light = [](const demoSkyStar_t& s) { return s.rgb[0] + s.rgb[1] + s.rgb[2]; };
    std::stable_sort(found.begin(), found.end(),
                     [&](const demoSkyStar_t& a, const demoSkyStar_t& b) { return light(a) > light(b); });
    if (found.size() > size_t(DEMO_SKY_MOST_STARS))
        found.resize(size_t(DEMO_SKY_MOST_STARS));
    for (demoSkyStar_t& s : found)
        s.size = roundf(s.size * 2.0f) * 0.5f; // a few sizes, so a few batches
    std::stable_sort(found.begin(), found.end(),
                     [](const demoSkyStar_t& a, const demoSkyStar_t& b) { return a.size < b.size; });
    for (int j = 0; j <= DEMO_SKY_ROWS; j++)
        for (int i = 0; i <= DEMO_SKY_COLUMNS; i++)
            cornerColour(r, lit, float(i) / DEMO_SKY_COLUMNS * float(r.w), float(j) / DEMO_SKY_ROWS * float(r.h),
                         sky->corner[j][i]);
    sky->stars = int(found.size());
    std::copy(found.begin(), found.end(), sky->star);
    sky->width = r.w;
    sky->height = r.h;
    sky->ready = 1;
}

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
