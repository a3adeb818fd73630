#include "system/ui/window/window.h"

#include "system/ui/window/windowSdl.h"

#include <GL/gl.h>

char title[256];
char fullscreen;
int windowWidth, windowHeight;
int screenWidth, screenHeight;
int windowScreenAreaWidth, windowScreenAreaHeight;
int screenPositionX, screenPositionY;
float aspectRatio;

namespace {
int screenPowerOfTwoSize = 2048;
int windowScreenArea_dimensions_set = 0;
}

void windowReset(void)
{
    title[0] = 0;
    fullscreen = 0;
    windowWidth = windowHeight = 0;
    screenWidth = screenHeight = 0;
    windowScreenAreaWidth = windowScreenAreaHeight = 0;
    screenPositionX = screenPositionY = 0;
    aspectRatio = 0;
    screenPowerOfTwoSize = 2048;
    windowScreenArea_dimensions_set = 0;
}

void windowInit(unsigned int width, unsigned int height, unsigned int fullscreenFlag)
{
    setScreenDimensions(1280, 720);
    screenPositionX = screenPositionY = 0;
    windowWidth = int(width);
    windowHeight = int(height);
    if (!windowScreenArea_dimensions_set) {
        windowScreenAreaWidth = int(width);
        windowScreenAreaHeight = int(height);
    }
    if (screenWidth <= 1024)
        screenPowerOfTwoSize = 1024;
    // Centre a fixed drawing area inside a larger window; the half pixel of
    // an odd difference is dropped.
    if (windowHeight != windowScreenAreaHeight)
        screenPositionY = int((windowHeight - windowScreenAreaHeight) * 0.5);
    if (windowWidth != windowScreenAreaWidth)
        screenPositionX = int((windowWidth - windowScreenAreaWidth) * 0.5);
    fullscreen = char(fullscreenFlag & 0xff);
    windowInitSdl();
}

void resetViewport(void)
{
    glViewport(screenPositionX, screenPositionY, windowScreenAreaWidth, windowScreenAreaHeight);
}

void setScreenDimensions(int width, int height)
{
    screenWidth = width;
    screenHeight = height;
    aspectRatio = float(width) / float(height);
}

void setWindowScreenAreaDimensions(int width, int height)
{
    windowScreenArea_dimensions_set = 1;
    windowScreenAreaWidth = width;
    windowScreenAreaHeight = height;
}

int getScreenWidth(void) { return screenWidth; }
int getScreenHeight(void) { return screenHeight; }
int getWindowWidth(void) { return windowWidth; }
int getWindowHeight(void) { return windowHeight; }
int getWindowScreenAreaWidth(void) { return windowScreenAreaWidth; }
int getWindowScreenAreaHeight(void) { return windowScreenAreaHeight; }
int getScreenPositionX(void) { return screenPositionX; }
int getScreenPositionY(void) { return screenPositionY; }
float getAspectRatio(void) { return aspectRatio; }
int getScreenPowerOfTwoSize(void) { return screenPowerOfTwoSize; }
char windowIsFullscreen(void) { return fullscreen; }
