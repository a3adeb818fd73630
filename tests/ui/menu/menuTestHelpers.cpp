#include "tests/ui/menu/menuTestHelpers.h"

#include <GL/gl.h>
#include <SDL.h>

#include "system/graphics/font/font.h"

#include <cstring>
#include <vector>

bool operator==(rgb_t a, rgb_t b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

std::ostream& operator<<(std::ostream& out, rgb_t c)
{
    return out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

void testGuiProjection(void)
{
    glViewport(0, 0, 800, 500);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 800, 0, 500, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLineWidth(1.0f);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

namespace {
std::vector<rgb_t> readBlock(int x, int y, int w, int h)
{
    std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<rgb_t> pixels(size_t(w) * size_t(h));
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = rgb_t{rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]};
    return pixels;
}
} // namespace

::testing::AssertionResult testTextAt(const char* text, int rx, int ry, rgb_t ink, rgb_t paper)
{
    int length = int(strlen(text));
    const int pitch = 10, rows = 13, drop = 2;
    std::vector<rgb_t> block = readBlock(rx, ry - drop, length * pitch, rows);
    for (int i = 0; i < length; i++) {
        int code = (unsigned char)text[i];
        for (int row = 0; row < rows; row++) {
            for (int column = 0; column < pitch; column++) {
                bool inked = column < 8 && code >= 32 && code <= 126 &&
                             (font_rasters[code - 32][row] & (0x80 >> column));
                rgb_t want = inked ? ink : paper;
                rgb_t got = block[size_t(row) * size_t(length * pitch) + size_t(i * pitch + column)];
                if (!(got == want))
                    return ::testing::AssertionFailure()
                           << "'" << text[i] << "' (character " << i << ") pixel (" << column
                           << ", " << row << ") at window (" << rx + i * pitch + column << ", "
                           << ry - drop + row << ") is " << got << ", expected " << want;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult testVerticalEdge(int x, int y, rgb_t colour)
{
    rgb_t left = testReadPixel(x - 1, y), right = testReadPixel(x, y);
    if (left == colour || right == colour)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no " << colour << " edge at x = " << x << ", y = " << y
                                         << ": " << left << " | " << right;
}

::testing::AssertionResult testHorizontalEdge(int x, int y, rgb_t colour)
{
    rgb_t below = testReadPixel(x, y - 1), above = testReadPixel(x, y);
    if (below == colour || above == colour)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no " << colour << " edge at y = " << y << ", x = " << x
                                         << ": " << below << " / " << above;
}

void testRasterPosition(int* x, int* y, bool* valid)
{
    GLfloat position[4];
    GLboolean isValid = GL_FALSE;
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &isValid);
    *x = int(position[0]);
    *y = int(position[1]);
    *valid = isValid == GL_TRUE;
}

gui_component_t testComponent(int type, int x, int y, int w, int h, const char* text, int align)
{
    gui_component_t c{};
    gui_component_init(&c);
    gui_component_set_type(&c, type);
    gui_component_set_dimension4i(&c, x, y, w, h);
    gui_component_set_text(&c, text);
    c.textalign = align;
    return c;
}

void testDrainEvents(void)
{
    SDL_Event event;
    SDL_PumpEvents();
    while (SDL_PollEvent(&event)) {
    }
}

void testPushButton(int type, int button, int x, int y)
{
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = Uint8(type);
    event.button.type = Uint8(type);
    event.button.button = Uint8(button);
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = Uint16(x);
    event.button.y = Uint16(y);
    SDL_PushEvent(&event);
}

void testPushKey(int key, int type, int mod, int unicode)
{
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = Uint8(type);
    event.key.type = Uint8(type);
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = SDLKey(key);
    event.key.keysym.mod = SDLMod(mod);
    event.key.keysym.unicode = Uint16(unicode);
    SDL_PushEvent(&event);
}

void testPushMotion(int x, int y, int buttons)
{
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_MOUSEMOTION;
    event.motion.state = Uint8(buttons);
    event.motion.x = Uint16(x);
    event.motion.y = Uint16(y);
    SDL_PushEvent(&event);
}

void testPushQuit(void)
{
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}
