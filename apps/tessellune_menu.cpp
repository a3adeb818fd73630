// The player screen on its own: no playlist, no sound, no start-up; for
// looking at the screen and trying its buttons. Closing the window ends it.

#include "system/ui/window/menu.h"

#include <SDL.h>

int main(int, char**)
{
    draw_menu();
    menuDeinit();
    SDL_Quit();
    return 0;
}
