#include "system/ui/window/windowSdl.h"

#include "system/ui/window/window.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>

namespace {
SDL_Surface* screen = nullptr;
unsigned int options = 0;
}

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
