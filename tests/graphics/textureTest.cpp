#include "system/graphics/graphics.h"
#include "system/graphics/image/image.h"
#include "tests/graphics/glCanvas.h"
#include "tests/support/glWindow.h"
#include "tests/support/testData.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <string>

namespace {

struct texState_t {
    GLint minFilter, magFilter, wrapS, wrapT, width0, height0, width1, alphaBits;
};

// Reads back what OpenGL holds for a texture, then unbinds it again.
texState_t inspect(GLuint id)
{
    texState_t s{};
    glBindTexture(GL_TEXTURE_2D, id);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &s.minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &s.magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &s.wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &s.wrapT);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &s.width0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &s.height0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &s.width1);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &s.alphaBits);
    glBindTexture(GL_TEXTURE_2D, 0);
    return s;
}

void expectFreshRecord(const texture_t& t, uint32_t w, uint32_t h, uint32_t hasAlpha)
{
    EXPECT_NE(t.id, 0u);
    EXPECT_EQ(t.name, nullptr);
    EXPECT_EQ(t.w, w);
    EXPECT_EQ(t.h, h);
    EXPECT_EQ(t.customWidth, w);
    EXPECT_EQ(t.customHeight, h);
    EXPECT_EQ(t.hasAlpha, hasAlpha);
    EXPECT_EQ(t.hasCustomDimensions, 0u);
    EXPECT_EQ(t.center, 0u);
    EXPECT_EQ(t.percentX, 0.0f);
    EXPECT_EQ(t.percentY, 0.0f);
    EXPECT_EQ(t.scaleW, 1.0f);
    EXPECT_EQ(t.scaleH, 1.0f);
    EXPECT_EQ(t.angle, 0.0f);
}

// Guards against the wrong size, format or filter on blank textures, a file
// being opened for them, and a binding left behind.
TEST(BlankTextureTest, BlackAndTransparentSquaresHaveTheirSizeFormatAndFilter)
{
    REQUIRE_CANVAS();
    texture_t black = imageCreateTexture(1, 64, "/no/such/file.png");
    expectFreshRecord(black, 64, 64, 0);
    EXPECT_EQ(boundTexture(), 0);
    texState_t s = inspect(black.id);
    EXPECT_EQ(s.minFilter, GL_NEAREST);
    EXPECT_EQ(s.magFilter, GL_NEAREST);
    EXPECT_EQ(s.width0, 64);
    EXPECT_EQ(s.width1, 0) << "a single level, no mipmaps";
    EXPECT_EQ(s.alphaBits, 0) << "stored without alpha";

    texture_t clear = imageCreateTextureWithAlpha(0, 128, nullptr);
    expectFreshRecord(clear, 128, 128, 1);
    EXPECT_EQ(boundTexture(), 0);
    s = inspect(clear.id);
    EXPECT_EQ(s.minFilter, GL_LINEAR);
    EXPECT_EQ(s.magFilter, GL_LINEAR);
    EXPECT_EQ(s.width0, 128);
    EXPECT_EQ(s.width1, 64) << "a mipmap chain";
    EXPECT_GT(s.alphaBits, 0) << "stored with alpha";

    s = inspect(imageCreateTexture(2, 16, "").id);
    EXPECT_EQ(s.minFilter, GL_NEAREST_MIPMAP_LINEAR) << "filter 2 sets nothing";
    EXPECT_EQ(s.magFilter, GL_LINEAR);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Guards against garbage in an odd-sized black texture: OpenGL pads
// three-byte rows to four bytes, so an odd side reads more than
// size x size x 3 bytes, and whatever lies past a short buffer would show.
TEST(BlankTextureTest, OddSizedBlackTextureIsBlackThroughout)
{
    REQUIRE_CANVAS();
    texture_t black = imageCreateTexture(0, 5, "");
    std::vector<uint8_t> texels(5 * 5 * 4, 0xee);
    glBindTexture(GL_TEXTURE_2D, black.id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    for (size_t i = 0; i < texels.size(); i += 4) {
        EXPECT_EQ(texels[i] | texels[i + 1] | texels[i + 2], 0) << "texel " << i / 4;
        EXPECT_EQ(texels[i + 3], 255) << "no alpha channel reads as opaque";
    }
}

// Guards against uploading the zero alpha byte of grey and RGB images: with
// an alpha format they would be invisible, since showImage always blends.
TEST(ImageTextureTest, ChannelCountChoosesTheFormatAndAlphaFlag)
{
    REQUIRE_CANVAS();
    const uint8_t greyNoAlpha[4] = {200, 200, 200, 0};
    texture_t grey = makeSolidTexture(16, 16, greyNoAlpha, 1);
    expectFreshRecord(grey, 16, 16, 0);
    EXPECT_EQ(boundTexture(), 0);
    texState_t s = inspect(grey.id);
    EXPECT_EQ(s.alphaBits, 0) << "stored without alpha";
    EXPECT_EQ(s.minFilter, GL_LINEAR);
    EXPECT_EQ(s.wrapS, GL_REPEAT);
    EXPECT_EQ(s.wrapT, GL_REPEAT);
    EXPECT_EQ(s.width1, 8) << "a mipmap chain";
    showImage(grey);
    EXPECT_NEAR(testReadPixel(8, 8).r, 200, 2) << "drawn opaque";

    canvasPrepare();
    const uint8_t greyHalf[4] = {200, 200, 200, 0};
    texture_t greyAlpha = makeSolidTexture(16, 16, greyHalf, 2);
    EXPECT_EQ(greyAlpha.hasAlpha, 1u);
    EXPECT_GT(inspect(greyAlpha.id).alphaBits, 0);
    showImage(greyAlpha);
    EXPECT_EQ(testReadPixel(8, 8).r, 0) << "fully transparent";

    EXPECT_EQ(makeSolidTexture(16, 16, greyHalf, 3).hasAlpha, 0u);
    EXPECT_EQ(makeSolidTexture(16, 16, greyHalf, 4).hasAlpha, 1u);
    EXPECT_EQ(makeSolidTexture(16, 16, greyHalf, 5).hasAlpha, 0u);
}

// Guards against the one-step loader keeping the decoded record (a leak the
// sanitizer build reports) or losing the image's own size.
TEST(ImageTextureTest, LoadImageTurnsAPngFileIntoATexture)
{
    std::string file = testDataDir("pngsuite") + "/basn3p08.png";
    REQUIRE_CANVAS();
    texture_t texture = imageLoadImage(file.c_str());
    expectFreshRecord(texture, 32, 32, 0);
    EXPECT_EQ(boundTexture(), 0);
    EXPECT_EQ(inspect(texture.id).width0, 32);
}

} // namespace
