#ifndef TESSELLUNE_TEST_MENUHELPERS_H
#define TESSELLUNE_TEST_MENUHELPERS_H

// Reading back what the GUI drew, and driving it with real SDL events.

#include "system/ui/window/menu.h"
#include "tests/support/glWindow.h"

#include <SDL.h>

#include <gtest/gtest.h>

const rgb_t BLACK = {0, 0, 0}, WHITE = {255, 255, 255}, BLUE = {0, 0, 255};
const rgb_t GREY = {102, 102, 102}, RED = {204, 0, 0};

bool operator==(rgb_t a, rgb_t b);
std::ostream& operator<<(std::ostream& out, rgb_t c);

// The GUI space 1:1 on an 800 x 500 window, cleared to blue so that the
// GUI's black boxes show.
void testGuiProjection(void);
// Every pixel of `text` drawn from raster position (rx, ry) in window pixels:
// glyph ink in `ink`, the rest of each 10-pixel cell in `paper`.
::testing::AssertionResult testTextAt(const char* text, int rx, int ry, rgb_t ink, rgb_t paper);
// A line along x = `x` (or y = `y`) lights one of the two pixels beside it.
::testing::AssertionResult testVerticalEdge(int x, int y, rgb_t colour);
::testing::AssertionResult testHorizontalEdge(int x, int y, rgb_t colour);
// The raster position, window pixels; valid = false when it is clipped.
void testRasterPosition(int* x, int* y, bool* valid);

// A component set up through the public setters, as the player screen does.
gui_component_t testComponent(int type, int x, int y, int w, int h, const char* text, int align);

void testDrainEvents(void);
// SDL_MOUSEBUTTONDOWN / UP at window pixel (x, y), origin top left. Events
// carry their own position, so tests never move the display's one pointer,
// which parallel test processes share.
void testPushButton(int type, int button, int x, int y);
// A key event as SDL 1.2 gives it: type SDL_KEYDOWN or SDL_KEYUP, KMOD_*
// modifiers, the typed character.
void testPushKey(int key, int type = SDL_KEYDOWN, int mod = 0, int unicode = 0);
void testPushMotion(int x, int y, int buttons = SDL_BUTTON_LMASK); // SDL_BUTTON_*MASK held
void testPushQuit(void);

#endif
