#include "system/ui/input/inputSdl.h"

#include "system/timer/timer.h"
#include "system/ui/window/window.h"

#include <SDL.h>
#include <csignal>

int mouseX, mouseY;
unsigned char buttonPressed, buttonReleased;
unsigned char ctrlPressed, shiftPressed;
unsigned char enterPressed, f1Pressed, f2Pressed, deletePressed, zPressed;
unsigned int lineWidth = 3;
signed char lineRedraw = 4;

namespace {

const float WAIT_TIME = 0.2f; // seconds before a held key counts again

struct inputWaits_t {
    float button, ctrl, shift, enter, f1, f2, del, z;
};

inputWaits_t waits;
volatile sig_atomic_t signalled = 0; // written by the signal handler only

void onSignal(int)
{
    signalled = 1;
}
int exitPending = 0;
int quitPending = 0; // the exit request came from the window's close

// Accepts a key when its last acceptance is more than `wait` seconds ago.
void accept(unsigned char* flag, float* lastAccepted, float now, float wait)
{
    if (now > *lastAccepted + wait) {
        *flag = 1;
        *lastAccepted = now;
    }
}

signed char digitSpacing(SDLKey key)
{
    // Keys 5 and 6 both give 25: the table has always had that step twice.
    static const signed char spacing[9] = {5, 10, 15, 20, 25, 25, 30, 35, 40};
    return spacing[key - SDLK_1];
}

void handleKey(const SDL_Event& event, float now)
{
    SDLKey key = event.key.keysym.sym;
    bool released = event.type == SDL_KEYUP;
    switch (key) {
    case SDLK_RETURN:
        accept(&enterPressed, &waits.enter, now, 0.25f);
        break;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        accept(&ctrlPressed, &waits.ctrl, now, WAIT_TIME);
        if (released)
            ctrlPressed = 0;
        break;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        accept(&shiftPressed, &waits.shift, now, WAIT_TIME);
        if (released)
            shiftPressed = 0;
        break;
    case SDLK_1: case SDLK_2: case SDLK_3: case SDLK_4: case SDLK_5:
    case SDLK_6: case SDLK_7: case SDLK_8: case SDLK_9:
        lineRedraw = digitSpacing(key);
        break;
    case SDLK_z:
        accept(&zPressed, &waits.z, now, WAIT_TIME);
        break;
    case SDLK_DELETE:
        accept(&deletePressed, &waits.del, now, WAIT_TIME);
        break;
    case SDLK_F1:
        accept(&f1Pressed, &waits.f1, now, WAIT_TIME);
        break;
    case SDLK_F2:
        accept(&f2Pressed, &waits.f2, now, WAIT_TIME);
        break;
    case SDLK_PAGEUP:
        lineWidth++;
        break;
    case SDLK_PAGEDOWN:
        // Unsigned: stop at zero instead of wrapping to four billion pixels.
        if (lineWidth > 0)
            lineWidth--;
        break;
    default:
        break;
    }
}

} // namespace

void inputInit(void)
{
    mouseX = mouseY = 0;
    buttonPressed = buttonReleased = 0;
    ctrlPressed = shiftPressed = 0;
    enterPressed = f1Pressed = f2Pressed = deletePressed = zPressed = 0;
    lineWidth = 3;
    lineRedraw = 4;
    waits = inputWaits_t();
    exitPending = 0;
    quitPending = 0;
}

int isUserExit(void)
{
    if (exitPending)
        return 1;
    float now = timerGetTime();
    SDL_GetMouseState(&mouseX, &mouseY);
    mouseY = getWindowHeight() - mouseY;
    enterPressed = buttonReleased = deletePressed = 0;
    f1Pressed = f2Pressed = zPressed = 0;

    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        bool isKey = event.type == SDL_KEYDOWN || event.type == SDL_KEYUP;
        if (event.type == SDL_QUIT || (isKey && event.key.keysym.sym == SDLK_ESCAPE)) {
            exitPending = 1;
            quitPending = event.type == SDL_QUIT;
            return 1;
        }
        if (event.type == SDL_MOUSEBUTTONDOWN) {
            accept(&buttonPressed, &waits.button, now, 0.1f);
        } else if (event.type == SDL_MOUSEBUTTONUP) {
            buttonPressed = 0;
            buttonReleased = 1;
        } else if (isKey) {
            handleKey(event, now);
        }
    }
    return 0;
}

int inputQuitRequested(void)
{
    return quitPending;
}

void inputCatchSignals(void)
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

int inputSignalled(void)
{
    return signalled;
}
