#include "tests/graphics/glCanvas.h"

#include "system/graphics/graphics.h"
#include "system/ui/window/window.h"
#include "tests/support/glWindow.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstddef>

bool canvasPrepare(void)
{
    if (!testGlWindow(1280, 720))
        return false;
    resetViewport();
    viewReset();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

std::vector<uint8_t> canvasRead(void)
{
    std::vector<uint8_t> pixels(size_t(getWindowWidth()) * size_t(getWindowHeight()) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, getWindowWidth(), getWindowHeight(), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

box_t inkIn(const std::vector<uint8_t>& pixels, int x0, int y0, int x1, int y1)
{
    int w = getWindowWidth(), h = getWindowHeight();
    box_t box{x1 + 1, y1 + 1, x0 - 1, y0 - 1};
    for (int y = std::max(y0, 0); y <= std::min(y1, h - 1); y++) {
        for (int x = std::max(x0, 0); x <= std::min(x1, w - 1); x++) {
            const uint8_t* p = &pixels[(size_t(y) * size_t(w) + size_t(x)) * 4];
            if (std::max({p[0], p[1], p[2]}) <= 40)
                continue;
            box.x0 = std::min(box.x0, x);
            box.y0 = std::min(box.y0, y);
            box.x1 = std::max(box.x1, x);
            box.y1 = std::max(box.y1, y);
        }
    }
    return box;
}

box_t canvasInkBox(void)
{
    return inkIn(canvasRead());
}

int boundTexture(void)
{
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    return bound;
}

static texture_t upload(uint32_t w, uint32_t h, uint32_t channels, std::vector<uint8_t>& pixels)
{
    imageData_t data{"test", "test", w, h, channels, reinterpret_cast<uintptr_t>(pixels.data())};
    return imageCreateTextureByImageData(&data);
}

texture_t makeSolidTexture(uint32_t w, uint32_t h, const uint8_t rgba[4], uint32_t channels)
{
    std::vector<uint8_t> pixels(size_t(w) * h * 4);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = rgba[i % 4];
    return upload(w, h, channels, pixels);
}

texture_t makeSplitTexture(uint32_t w, uint32_t h, const uint8_t first[4], const uint8_t second[4], bool vertical)
{
    std::vector<uint8_t> pixels(size_t(w) * h * 4);
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) {
            bool isFirst = vertical ? y < h / 2 : x < w / 2;
            for (int c = 0; c < 4; c++)
                pixels[(size_t(y) * w + x) * 4 + size_t(c)] = isFirst ? first[c] : second[c];
        }
    return upload(w, h, 4, pixels);
}

glStacks_t canvasStacks(void)
{
    glStacks_t stacks{};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stacks.modelview);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &stacks.projection);
    glGetIntegerv(GL_MATRIX_MODE, &stacks.mode);
    return stacks;
}
