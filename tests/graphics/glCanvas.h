#ifndef TESSELLUNE_TEST_GL_CANVAS_H
#define TESSELLUNE_TEST_GL_CANVAS_H

// Drawing tests on a 1280 x 720 window, where one virtual-screen unit is one
// window pixel, so a position on the canvas can be read back as a pixel.

#include "system/graphics/image/image.h"

#include <cstdint>
#include <vector>

// Opens (or reuses) the window, sets the viewport and the default 3D view,
// clears to black and leaves the OpenGL state at its defaults.
bool canvasPrepare(void);

#define REQUIRE_CANVAS()                                                     \
    do {                                                                     \
        if (!canvasPrepare())                                                \
            GTEST_SKIP() << "no X display for an OpenGL window";             \
    } while (0)

struct box_t {
    int x0, y0, x1, y1; // inclusive; x1 < x0 when nothing was found
    bool empty() const { return x1 < x0; }
};

// The whole back buffer, RGBA, bottom row first.
std::vector<uint8_t> canvasRead(void);
// Smallest box around every pixel of a frame from canvasRead whose red, green
// or blue exceeds 40, within the given inclusive bounds (all of it by default).
box_t inkIn(const std::vector<uint8_t>& pixels, int x0 = 0, int y0 = 0, int x1 = 1279, int y1 = 719);
box_t canvasInkBox(void);
// The texture name bound to GL_TEXTURE_2D.
int boundTexture(void);

// An uploaded texture of w x h pixels, all of one RGBA colour, or split into
// a left and right half, or a bottom and top half, of two colours.
texture_t makeSolidTexture(uint32_t w, uint32_t h, const uint8_t rgba[4], uint32_t channels = 4);
texture_t makeSplitTexture(uint32_t w, uint32_t h, const uint8_t first[4], const uint8_t second[4], bool vertical);

// Depths of both matrix stacks and the current matrix mode.
struct glStacks_t {
    int modelview, projection, mode;
};
glStacks_t canvasStacks(void);

#endif
