#include "system/ui/window/windowSdl.h"

#include "system/ui/window/window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xutil.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

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

// Captions are UTF-8 (playlist titles are converted on reading). SDL's X11
// title code converts them through the process's character type, and in
// the "C" locale every program starts in, the conversion fails for any
// text beyond ASCII: the window manager then keeps the previous caption.
// The user's own locale serves when it is UTF-8; otherwise C.UTF-8, which
// every current C library has. Only the character type changes: numbers
// are still read and written with a decimal point.
void useUtf8CharacterType(void)
{
    if (strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return;
    if (setlocale(LC_CTYPE, "") && strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return;
    setlocale(LC_CTYPE, "C.UTF-8");
}

// SDL writes the legacy WM_NAME as the caption's bytes typed with the
// locale's encoding name ("UTF-8"), which is no type the window system
// defines, or as STRING, which means Latin-1, where anything beyond ASCII
// reads as garbage. Written again in the type its text needs: STRING when
// Latin-1 holds it, else COMPOUND_TEXT; raw UTF-8 only when the conversion
// is not possible. (_NET_WM_NAME, which window managers prefer, SDL gets
// right once the character type is UTF-8.)
void setLegacyWindowName(const char* text)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11)
        return;
    Display* display = info.info.x11.display;
    // The compatibility layer reports the one window it has as `window`
    // and leaves the frame window of the old layout 0.
    Window window = info.info.x11.wmwindow ? info.info.x11.wmwindow : info.info.x11.window;
    char* list[] = {const_cast<char*>(text)};
    XTextProperty name;
    if (info.info.x11.lock_func)
        info.info.x11.lock_func();
    if (Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &name) == Success) {
        XSetWMName(display, window, &name);
        XFree(name.value);
    } else {
        XChangeProperty(display, window, XA_WM_NAME,
                        XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text), int(strlen(text)));
    }
    XFlush(display);
    if (info.info.x11.unlock_func)
        info.info.x11.unlock_func();
}

// Copies at most size - 1 bytes of UTF-8 text, backing up to the start of a
// character rather than ending in the middle of one.
void copyCaption(char* out, size_t size, const char* text)
{
    size_t length = strlen(text);
    if (length >= size) {
        length = size - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            length--;
    }
    memcpy(out, text, length);
    out[length] = 0;
}

void showCaption(const char* caption)
{
    SDL_WM_SetCaption(caption, nullptr);
    setLegacyWindowName(caption);
}
} // namespace

void windowInitSdl(void)
{
    options = SDL_OPENGL;
    useUtf8CharacterType();
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
    copyCaption(title, sizeof title, text ? text : "");
    showCaption(title);
}

void windowSetTitleTimer(const char* text)
{
    // The title always fits (255 of 288 bytes); the extra text is cut to
    // what is left instead of overflowing.
    char caption[288];
    size_t used = strlen(title);
    memcpy(caption, title, used);
    caption[used++] = ' ';
    copyCaption(caption + used, sizeof caption - used, text ? text : "");
    showCaption(caption);
}

void windowDeinit(void)
{
    screen = nullptr;
    SDL_Quit();
}

int windowHasDisplay(void)
{
    const char* asked = getenv("SDL_VIDEODRIVER");
    if (asked && asked[0])
        return 1;
    char driver[32];
    if (!SDL_VideoDriverName(driver, int(sizeof driver)))
        return 0;
    // What SDL falls back to when no display answers: a window nobody sees.
    return strcmp(driver, "offscreen") != 0 && strcmp(driver, "dummy") != 0;
}

unsigned int windowGetVideoFlags(void)
{
    return options;
}
