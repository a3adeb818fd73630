#include "system/ui/window/windowSdl.h"

#include "system/ui/window/window.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define WINDOW_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WINDOW_LEAK_CHECKED 1
#endif
#endif

#ifdef WINDOW_LEAK_CHECKED
#include <dlfcn.h>
#include <link.h>
#endif

namespace {
SDL_Surface* screen = nullptr;
unsigned int options = 0;

#ifdef WINDOW_LEAK_CHECKED
// Sanitizer builds only. The OpenGL driver SDL loads keeps a few blocks for
// good, referenced from its own data. SDL unloads it at SDL_Quit, before the
// leak checker runs at exit, which then reports those blocks under an
// unknown module that no suppression can name (and now and then crashes
// walking the unmapped code). Every library mapped once the window is up is
// kept mapped to the end, so the checker still sees the references.
void keepLibrariesMapped(void)
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && info->dlpi_name[0])
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
#else
void keepLibrariesMapped(void) {}
#endif
} // namespace

void windowInitSdl(void)
{
    options = SDL_OPENGL;
    SDL_Init(SDL_INIT_VIDEO);
    if (fullscreen)
        options |= SDL_FULLSCREEN;
}

int windowShow(void)
{
    screen = SDL_SetVideoMode(windowWidth, windowHeight, 0, options);
    if (screen)
        keepLibrariesMapped();
    return screen ? 1 : -1;
}

void windowSetTitle(const char* text)
{
    snprintf(title, sizeof title, "%s", text ? text : "");
    SDL_WM_SetCaption(title, nullptr);
}

void windowSetTitleTimer(const char* text)
{
    // snprintf cuts an over-long caption at the buffer's end instead of
    // writing past it.
    char caption[288];
    snprintf(caption, sizeof caption, "%s %s", title, text ? text : "");
    SDL_WM_SetCaption(caption, nullptr);
}

void windowDeinit(void)
{
    screen = nullptr;
    SDL_Quit();
}

unsigned int windowGetVideoFlags(void)
{
    return options;
}
