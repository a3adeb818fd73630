#ifndef TESSELLUNE_MENUPLAYER_H
#define TESSELLUNE_MENUPLAYER_H

// Between the player screen's two files: menu.cpp runs the frame and the
// GUI; menuPlayer.cpp turns keys and the progress bar into commands and
// draws the player's state. Not for callers outside the screen.

#include "system/ui/window/menu.h"

#include <SDL.h>

void menuPlayerInit(void);       // key repeat, typed characters, the media keys
void menuPlayerDeinit(void);     // every piece of its state back to the start
void menuPlayerFrameBegin(void); // a command lasts the frame that took its event
void menuPlayerTakeEvent(const SDL_Event& event);
void menuPlayerDraw(void);       // inside the GUI pass, after the components
// menu.cpp: a grey frame filled in white from the left by `fraction` (0..1).
void menuDrawMeter(const gui_component_t* c, float fraction);

#endif
