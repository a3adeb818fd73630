#ifndef TESSELLUNE_WINDOW_H
#define TESSELLUNE_WINDOW_H

// Window and virtual-screen dimensions. This half holds the arithmetic and
// knows nothing of SDL; windowSdl turns it into a video mode.

// Shared on purpose: the graphics code reads these directly.
extern char title[256];           // the current window caption
extern char fullscreen;           // non-zero: full-screen video mode
extern int windowWidth, windowHeight;
extern int screenWidth, screenHeight; // the virtual screen, 1280 x 720
extern int windowScreenAreaWidth, windowScreenAreaHeight; // the viewport size
extern int screenPositionX, screenPositionY; // viewport's lower-left corner
extern float aspectRatio;

// Computes every dimension, then brings up SDL's video subsystem.
void windowInit(unsigned int width, unsigned int height, unsigned int fullscreenFlag);
// For tests (and before a second windowInit): the module back to its start state.
void windowReset(void);
void resetViewport(void);
void setScreenDimensions(int width, int height);
// Fixes the drawing area; centres it only when called before windowInit.
void setWindowScreenAreaDimensions(int width, int height);
int getScreenWidth(void);
int getScreenHeight(void);
int getWindowWidth(void);
int getWindowHeight(void);
int getWindowScreenAreaWidth(void);
int getWindowScreenAreaHeight(void);
int getScreenPositionX(void);
int getScreenPositionY(void);
float getAspectRatio(void);
int getScreenPowerOfTwoSize(void);
char windowIsFullscreen(void);

#endif
