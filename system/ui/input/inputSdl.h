#ifndef TESSELLUNE_INPUTSDL_H
#define TESSELLUNE_INPUTSDL_H

// Input polling. isUserExit drains SDL's event queue and keeps these flags
// current; held keys are accepted again only after a short wait, so the
// one-shot flags stay one-shot.

// Shared on purpose: the spline editor reads them every frame.
extern int mouseX, mouseY;            // window pixels, origin bottom-left
extern unsigned char buttonPressed;   // a mouse button is held
extern unsigned char buttonReleased;  // one-shot: released during the last call
extern unsigned char ctrlPressed, shiftPressed; // held
extern unsigned char enterPressed, f1Pressed, f2Pressed, deletePressed, zPressed; // one-shot
extern unsigned int lineWidth;        // editor line width, Page Up / Page Down
extern signed char lineRedraw;        // editor point spacing, digit keys 1-9

// For the apps, tests and benchmarks: every flag, value and wait back to
// its start value.
void inputInit(void);
// 1 once the user has asked to leave (window close or Escape), for good.
int isUserExit(void);
// For the main loop: 1 when that request was the window's close (not
// Escape); reads no events.
int inputQuitRequested(void);
// Takes SIGTERM and SIGINT from here on (call after SDL_Init, whose own
// handlers only queue an event behind every other one): the program is
// then asked to end through its normal shutdown.
void inputCatchSignals(void);
// 1 once SIGTERM or SIGINT has arrived, for good.
int inputSignalled(void);

#endif
