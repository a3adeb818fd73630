#include "tests/support/glWindow.h"

#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <GL/gl.h>
#include <SDL.h>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

namespace {
int openWidth = 0, openHeight = 0;

// The OpenGL driver keeps a few allocations of its first draw for good. SDL
// closes the context at exit and the driver is unloaded before the leak
// checker runs, which then cannot name the module its suppression is for.
// Loading it once more with RTLD_NODELETE keeps it mapped to the end.
void keepOpenGlDriverLoaded(void)
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const char* name = info->dlpi_name;
            if (name && (strstr(name, "_dri.so") || strstr(name, "libgallium")))
                dlopen(name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
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
        keepOpenGlDriverLoaded();
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
