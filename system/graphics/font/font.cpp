#include "system/graphics/font/font.h"

#include "system/debug/debugMisuse.h"
#include "system/graphics/graphics.h"
#include "system/graphics/image/image.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A glyph texture is one column wider than the glyph, so neighbouring
// characters never touch.
const uint32_t CELL_WIDTH = 9;
const uint32_t CELL_HEIGHT = 13;

struct fontState_t {
    texture_t font[FONT_GLYPHS]; // index = code - 32
    imageData_t characterData;   // the one glyph image, refilled per glyph
    float textWidth, textHeight;
    float textPivotX, textPivotY, textAngle;
    float textPivotX2, textPivotY2, textAngle2;
};

const fontState_t START = {{}, {}, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
fontState_t state = START;

} // namespace

// The glyph drawn in ones and zeros, top row first.
static void dumpGlyph(int index)
{
    printf("\n# %c\n", FONT_FIRST_CODE + index);
    for (int row = 12; row >= 0; row--) {
        char line[10];
        for (int k = 0; k < 8; k++)
            line[k] = (font_rasters[index][row] >> (7 - k)) & 1 ? '1' : '0';
        line[8] = '\n';
        line[9] = 0;
        fputs(line, stdout);
    }
}

// Buffer row r holds glyph row r, so the image is bottom row first like
// every image the engine uploads.
static void fillGlyphPixels(int index, uint8_t* pixels)
{
    memset(pixels, 0, CELL_WIDTH * CELL_HEIGHT * 4);
    for (uint32_t r = 0; r < CELL_HEIGHT; r++)
        for (uint32_t k = 0; k < 8; k++)
            if ((font_rasters[index][r] >> (7 - k)) & 1)
                memset(pixels + (r * CELL_WIDTH + k) * 4, 255, 4);
}

// The text state is left as it is: a size or turn set before the glyphs
// exist still shapes the first text drawn.
void fontInit(void)
{
    uint8_t* pixels = static_cast<uint8_t*>(malloc(CELL_WIDTH * CELL_HEIGHT * 4));
    if (!pixels)
        return;
    state.characterData = imageData_t{"character", "character", CELL_WIDTH, CELL_HEIGHT, 4,
                                      reinterpret_cast<uintptr_t>(pixels)};
    for (int i = 0; i < FONT_GLYPHS; i++) {
        dumpGlyph(i);
        fillGlyphPixels(i, pixels);
        state.font[i] = imageCreateTextureByImageData(&state.characterData);
    }
    free(pixels);
    state.characterData.pixels = 0;
}

// The glyph textures go with the OpenGL context, and the text state is the
// caller's: nothing to release or reset.
void fontDeinit(void)
{
}

void setTextSize(float w, float h)
{
    state.textWidth = w;
    state.textHeight = h;
}

void setTextPivot(float x, float y)
{
    state.textPivotX = x;
    state.textPivotY = y;
}

void setTextAngle(float angle)
{
    state.textAngle = angle;
}

void setTextPivot2(float x, float y)
{
    state.textPivotX2 = x;
    state.textPivotY2 = y;
}

void setTextAngle2(float angle)
{
    state.textAngle2 = angle;
}

// Positions follow the byte index, so a newline still uses up a cell: the
// line after it starts by subtracting every cell before it.
static void layOutText(const unsigned char* txt)
{
    size_t length = strlen(reinterpret_cast<const char*>(txt));
    long offsetX = 0, offsetY = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned ch = txt[i];
        if (ch == '\n') {
            offsetX = long(i + 1) * long(state.font[0].w);
            offsetY -= long(state.font[0].h);
            continue;
        }
        // Codes outside the table would index past it; they keep their cell.
        if (ch < FONT_FIRST_CODE || ch >= FONT_FIRST_CODE + FONT_GLYPHS)
            continue;
        const texture_t& glyph = state.font[ch - FONT_FIRST_CODE];
        glBindTexture(GL_TEXTURE_2D, glyph.id);
        float x = float(long(i) * long(glyph.w) - offsetX);
        float y = float(offsetY);
        drawTexturedQuad(x, y, x + float(glyph.w), y + float(glyph.h));
    }
}

static void beginBlendedTexturing(void)
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
}

static void rotateAbout(float x, float y, float angle)
{
    glTranslatef(x, y, 0);
    glRotatef(angle, 0, 0, 1);
    glTranslatef(-x, -y, 0);
}

void drawTextIn2d(float ox, float oy, const unsigned char* txt)
{
    if (debugMisuseIfNull(txt, __func__, "the text"))
        return;
    glPushMatrix();
    beginBlendedTexturing();
    rotateAbout(state.textPivotX, state.textPivotY, state.textAngle);
    glTranslatef(ox, oy, 0);
    rotateAbout(state.textPivotX2, state.textPivotY2, state.textAngle2);
    glScalef(state.textWidth, state.textHeight, 1);
    layOutText(txt);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

void drawText2d(float ox, float oy, const unsigned char* txt)
{
    if (debugMisuseIfNull(txt, __func__, "the text"))
        return;
    glPushMatrix();
    beginBlendedTexturing();
    float canvasWidth = float(getScreenWidth());
    float canvasHeight = float(getScreenHeight());
    perspective2dBegin(int(canvasWidth), int(canvasHeight));
    rotateAbout(canvasWidth * state.textPivotX, canvasHeight * state.textPivotY, state.textAngle);
    glTranslatef(ox * canvasWidth, oy * canvasHeight, 0);
    glScalef(state.textWidth, state.textHeight, 1);
    layOutText(txt);
    perspective2dEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

void drawText3d(const unsigned char* txt)
{
    if (debugMisuseIfNull(txt, __func__, "the text"))
        return;
    beginBlendedTexturing();
    layOutText(txt);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
