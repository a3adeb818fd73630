#include "tests/support/glWindow.h"

#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <GL/gl.h>
#include <SDL.h>
#include <cstdlib>
#include <cstring>

namespace {
int openWidth = 0, openHeight = 0;
} // namespace

bool testGlWindow(int width, int height)
{
    const char* display = getenv("DISPLAY");
    if (!display || !*display)
        return false;
    if (openWidth == width && openHeight == height)
        return true;
    windowReset();
    windowInit(unsigned(width), unsigned(height), 0);
    if (windowShow() != 1)
        return false;
    static bool firstWindow = true;
    if (firstWindow) {
        firstWindow = false;
        atexit([] { SDL_Quit(); });
    }
    openWidth = width;
    openHeight = height;
    return true;
}

rgb_t testReadPixel(int x, int y)
{
    uint8_t pixel[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return rgb_t{pixel[0], pixel[1], pixel[2]};
}
