#ifndef TESSELLUNE_TEST_GLWINDOW_H
#define TESSELLUNE_TEST_GLWINDOW_H

// A real OpenGL window for tests (Xvfb with Mesa in CI). One per process;
// asking for another size sets a new video mode.

#include <cstdint>

// Opens the window through windowInit/windowShow; false when there is no
// display, so the caller can skip.
bool testGlWindow(int width, int height);

#define REQUIRE_GL_WINDOW(w, h)                                              \
    do {                                                                     \
        if (!testGlWindow((w), (h)))                                         \
            GTEST_SKIP() << "no X display for an OpenGL window";             \
    } while (0)

struct rgb_t {
    uint8_t r, g, b;
};

// Reads one pixel of the back buffer, window coordinates, origin lower left.
rgb_t testReadPixel(int x, int y);

#endif
