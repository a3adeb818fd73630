#include "system/graphics/graphics.h"
#include "system/ui/window/window.h"
#include "tests/graphics/glCanvas.h"
#include "tests/support/glWindow.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cmath>

namespace {

const uint8_t WHITE[4] = {255, 255, 255, 255};
const uint8_t RED[4] = {255, 0, 0, 255};
const uint8_t GREEN[4] = {0, 255, 0, 255};

void expectBox(box_t box, int x0, int y0, int x1, int y1)
{
    EXPECT_EQ(box.x0, x0);
    EXPECT_EQ(box.y0, y0);
    EXPECT_EQ(box.x1, x1);
    EXPECT_EQ(box.y1, y1);
}

bool isRed(rgb_t p) { return p.r > 200 && p.g < 50 && p.b < 50; }
bool isGreen(rgb_t p) { return p.g > 200 && p.r < 50 && p.b < 50; }

// Guards against a wrong origin, size or alignment formula: each case is read
// back as the box of lit pixels on the 1280 x 720 canvas.
TEST(ShowImageTest, PlacesTheImageWhereItsFieldsSay)
{
    REQUIRE_CANVAS();
    texture_t texture = makeSolidTexture(64, 32, WHITE);

    showImage(texture);
    expectBox(canvasInkBox(), 0, 0, 63, 31);

    canvasPrepare();
    alignTextureCenter(&texture, 1);
    showImage(texture);
    expectBox(canvasInkBox(), 608, 344, 671, 375);

    canvasPrepare();
    setTexturePositionPercent(&texture, 0.25f, -0.1f); // offsets from the centred place
    showImage(texture);
    expectBox(canvasInkBox(), 928, 272, 991, 303);

    canvasPrepare();
    alignTextureCenter(&texture, 2); // horizontally only
    setTexturePositionPercent(&texture, 0, 0.5f);
    showImage(texture);
    expectBox(canvasInkBox(), 608, 360, 671, 391);

    canvasPrepare();
    alignTextureCenter(&texture, 3); // vertically only
    setTexturePositionPixel(&texture, 100, 0);
    showImage(texture);
    expectBox(canvasInkBox(), 100, 344, 163, 375);

    canvasPrepare();
    alignTextureCenter(&texture, 7); // unknown modes place like 0
    scaleTexture(&texture, 2.0f, 0.5f);
    showImage(texture);
    expectBox(canvasInkBox(), 100, 0, 227, 15);

    canvasPrepare();
    texture_t full = makeSolidTexture(16, 16, WHITE);
    setTextureSizeToScreenSize(&full);
    showImage(full);
    expectBox(canvasInkBox(), 0, 0, 1279, 719);
}

// Guards against an image drawn upside down or mirrored: the first row in
// memory is the bottom row, and the left of the image stays on the left.
TEST(ShowImageTest, DrawsTheImageUpright)
{
    REQUIRE_CANVAS();
    texture_t bottomRed = makeSplitTexture(64, 64, RED, GREEN, true);
    showImage(bottomRed);
    EXPECT_TRUE(isRed(testReadPixel(32, 8)));
    EXPECT_TRUE(isGreen(testReadPixel(32, 56)));

    canvasPrepare();
    texture_t leftRed = makeSplitTexture(64, 64, RED, GREEN, false);
    showImage(leftRed);
    EXPECT_TRUE(isRed(testReadPixel(8, 32)));
    EXPECT_TRUE(isGreen(testReadPixel(56, 32)));
}

// Guards against rotating about the corner instead of the centre, turning
// the wrong way, or treating a tiny angle like none.
TEST(ShowImageTest, AnyAngleButZeroTurnsTheImageAboutItsPosition)
{
    REQUIRE_CANVAS();
    texture_t texture = makeSplitTexture(64, 32, RED, GREEN, false);
    setTexturePositionPercent(&texture, 0.5f, 0.5f);
    setTextureAngle(&texture, 90.0f);
    showImage(texture);
    // A quarter turn counter-clockwise about (640, 360): the left half (red)
    // ends up below the centre.
    expectBox(canvasInkBox(), 624, 328, 655, 391);
    EXPECT_TRUE(isRed(testReadPixel(640, 340)));
    EXPECT_TRUE(isGreen(testReadPixel(640, 380)));

    canvasPrepare();
    setTextureAngle(&texture, 0.0f);
    showImage(texture);
    expectBox(canvasInkBox(), 640, 360, 703, 391);

    canvasPrepare();
    setTextureAngle(&texture, 1e-6f);
    showImage(texture);
    expectBox(canvasInkBox(), 608, 344, 671, 375);

    canvasPrepare();
    setTextureAngle(&texture, NAN); // not zero, so not the corner placement
    showImage(texture);
    box_t box = canvasInkBox();
    EXPECT_TRUE(box.empty() || box.x0 != 640 || box.y0 != 360);
}

// Guards against state leaking out of showImage into whatever the caller
// draws next: blending, texturing, the bound texture, the matrix stacks.
TEST(ShowImageTest, LeavesBlendingAndTexturingOffTextureZeroAndTheDefaultView)
{
    REQUIRE_CANVAS();
    texture_t texture = makeSolidTexture(8, 8, WHITE);
    texture_t other = makeSolidTexture(8, 8, RED);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, other.id);
    glStacks_t before = canvasStacks();
    showImage(texture);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "the 2D view's end turns depth testing on";
    EXPECT_EQ(boundTexture(), 0);
    glStacks_t after = canvasStacks();
    EXPECT_EQ(after.modelview, before.modelview);
    EXPECT_EQ(after.projection, before.projection);
    EXPECT_EQ(after.mode, GL_MODELVIEW);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Guards against the image's alpha being ignored (showImage always blends)
// and against a colour set by the caller being overridden.
TEST(ShowImageTest, BlendsWithTheImageAlphaAndTheCurrentColour)
{
    REQUIRE_CANVAS();
    const uint8_t halfWhite[4] = {255, 255, 255, 128};
    texture_t texture = makeSolidTexture(16, 16, halfWhite);
    showImage(texture);
    rgb_t p = testReadPixel(8, 8);
    EXPECT_NEAR(p.r, 128, 3);

    canvasPrepare();
    texture_t opaque = makeSolidTexture(16, 16, WHITE);
    glColor4f(0, 1, 0, 1);
    showImage(opaque);
    EXPECT_TRUE(isGreen(testReadPixel(8, 8)));
    glColor4f(1, 1, 1, 1);
}

// Guards against the 0-means-own-size rule and the pixel-to-fraction
// conversion, which reads the virtual screen size at the time of the call.
TEST(PlacementSetterTest, ZeroKeepsTheOwnSizeAndPixelsBecomeFractions)
{
    texture_t texture = {};
    texture.w = 30;
    texture.h = 20;
    setCustomDimensionToTexture(&texture, 0, 0);
    EXPECT_EQ(texture.hasCustomDimensions, 1u);
    EXPECT_EQ(texture.customWidth, 30u);
    EXPECT_EQ(texture.customHeight, 20u);
    setCustomDimensionToTexture(&texture, 0, 50);
    EXPECT_EQ(texture.customWidth, 30u);
    EXPECT_EQ(texture.customHeight, 50u);

    int savedW = getScreenWidth(), savedH = getScreenHeight();
    setScreenDimensions(1280, 720);
    setTexturePositionPixel(&texture, 640, 360);
    EXPECT_EQ(texture.x, 640u);
    EXPECT_EQ(texture.y, 360u);
    EXPECT_FLOAT_EQ(texture.percentX, 0.5f);
    EXPECT_FLOAT_EQ(texture.percentY, 0.5f);
    setScreenDimensions(800, 600);
    setTextureSizeToScreenSize(&texture);
    EXPECT_EQ(texture.customWidth, 800u);
    EXPECT_EQ(texture.customHeight, 600u);
    setScreenDimensions(savedW, savedH);
}

} // namespace
