#include "system/graphics/font/font.h"
#include "system/graphics/graphics.h"
#include "tests/graphics/glCanvas.h"
#include "tests/support/glWindow.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <algorithm>
#include <cstring>
#include <string>

namespace {

const unsigned char* text(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

// A glyph drawn alone into its cell: its ink stays inside the cell and covers
// most of it (texture filtering blurs the edges by a pixel at most).
void expectGlyphInCell(const std::vector<uint8_t>& pixels, int x0, int y0, int w, int h, int minW, int minH)
{
    box_t ink = inkIn(pixels, x0 - 20, y0 - 20, x0 + w + 19, y0 + h + 19);
    ASSERT_FALSE(ink.empty()) << "no ink near the cell at (" << x0 << ", " << y0 << ")";
    EXPECT_GE(ink.x0, x0);
    EXPECT_GE(ink.y0, y0);
    EXPECT_LE(ink.x1, x0 + w - 1);
    EXPECT_LE(ink.y1, y0 + h - 1);
    EXPECT_GE(ink.x1 - ink.x0 + 1, minW);
    EXPECT_GE(ink.y1 - ink.y0 + 1, minH);
}

// Counts differing bytes between two frames, so a layout can be compared with
// the same glyphs drawn one by one at the cells they should take.
int framesDiffer(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    int differing = 0;
    for (size_t i = 0; i < a.size(); i++)
        differing += a[i] != b[i];
    return differing;
}

void expectTextStateOff(void)
{
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

class TextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!canvasPrepare())
            return;
        testing::internal::CaptureStdout();
        fontInit();
        dump = testing::internal::GetCapturedStdout();
    }
    void SetUp() override
    {
        REQUIRE_CANVAS();
        setTextSize(1, 1);
        setTextPivot(0, 0);
        setTextAngle(0);
        setTextPivot2(0, 0);
        setTextAngle2(0);
    }
    // Draws in the caller's own 2D view of the whole canvas, as text users do.
    static std::vector<uint8_t> drawIn2d(float ox, float oy, const char* s)
    {
        perspective2dBegin(1280, 720);
        drawTextIn2d(ox, oy, text(s));
        perspective2dEnd();
        return canvasRead();
    }
    // Each glyph drawn on its own, with the origin at its expected cell.
    struct placed_t {
        float x, y;
        const char* glyph;
    };
    static std::vector<uint8_t> drawOneByOne(std::initializer_list<placed_t> glyphs)
    {
        canvasPrepare();
        perspective2dBegin(1280, 720);
        for (const placed_t& g : glyphs)
            drawTextIn2d(g.x, g.y, text(g.glyph));
        perspective2dEnd();
        std::vector<uint8_t> pixels = canvasRead();
        canvasPrepare();
        return pixels;
    }
    static std::string dump;
};
std::string TextTest::dump;

// Guards against a changed dump format: other tools read it, so it must be
// byte for byte the documented one, rows top first, leftmost pixel first.
TEST_F(TextTest, InitDumpsEveryGlyphInTheDocumentedFormat)
{
    const char* blockA = "\n# A\n"
                         "00011000\n00111100\n01100110\n11000011\n11000011\n11000011\n11111111\n"
                         "11000011\n11000011\n11000011\n11000011\n00000000\n00000000\n";
    EXPECT_NE(dump.find(blockA), std::string::npos);
    const size_t block = 5 + 13 * 9; // "\n# c\n" and 13 lines of 8 digits
    ASSERT_EQ(dump.size(), FONT_GLYPHS * block);
    EXPECT_EQ(dump.substr(0, 5), "\n# \x20\n");
    EXPECT_EQ(dump.substr((CHAR_THETA - 32) * block, 5), "\n# \x84\n") << "codes above 127 as one raw byte";
    for (size_t i = 0; i < dump.size(); i += block)
        EXPECT_EQ(dump.substr(i, 3), "\n# ") << "block " << i / block;
}

// Guards against init or deinit wiping the text state: a size and a turn set
// before fontInit survive it, and fontDeinit leaves glyphs and state alone.
TEST_F(TextTest, InitAndDeinitLeaveTheTextStateAlone)
{
    setTextSize(2, 2);
    setTextPivot(640, 360);
    setTextAngle(90);
    std::vector<uint8_t> shaped = drawIn2d(700, 360, "A");
    expectGlyphInCell(shaped, 614, 420, 26, 18, 15, 12);
    testing::internal::CaptureStdout();
    fontInit();
    testing::internal::GetCapturedStdout();
    canvasPrepare();
    EXPECT_EQ(framesDiffer(drawIn2d(700, 360, "A"), shaped), 0) << "after fontInit";
    fontDeinit();
    canvasPrepare();
    EXPECT_EQ(framesDiffer(drawIn2d(700, 360, "A"), shaped), 0) << "after fontDeinit";
}

// Guards against a wrong pen advance, line height or origin: "AB", newline,
// "C" must give exactly the picture of A, B and C drawn alone in the cells
// (100, 200), (109, 200) and (100, 187), and a glyph alone sits in its cell.
TEST_F(TextTest, EveryByteTakesACellAndNewlineStartsThirteenUnitsLower)
{
    expectGlyphInCell(drawIn2d(100, 200, "A"), 100, 200, 9, 13, 8, 11);
    std::vector<uint8_t> cells = drawOneByOne({{100, 200, "A"}, {109, 200, "B"}, {100, 187, "C"}});
    EXPECT_EQ(framesDiffer(drawIn2d(100, 200, "AB\nC"), cells), 0);
    expectTextStateOff();
    EXPECT_EQ(boundTexture(), 0);
}

// Guards against scaling about the wrong point or only one axis.
TEST_F(TextTest, SizeScalesTheCellsFromTheSameOrigin)
{
    setTextSize(2, 2);
    expectGlyphInCell(drawIn2d(100, 200, "A"), 100, 200, 18, 26, 15, 21);
    std::vector<uint8_t> cells = drawOneByOne({{100, 200, "A"}, {118, 200, "B"}, {100, 174, "C"}});
    EXPECT_EQ(framesDiffer(drawIn2d(100, 200, "AB\nC"), cells), 0);
}

// Guards against bytes without a glyph indexing outside the table, or
// shifting the characters after them; and against trailing or doubled
// newlines being miscounted.
TEST_F(TextTest, BytesWithoutAGlyphAndNewlinesKeepTheirCells)
{
    std::vector<uint8_t> cells = drawOneByOne({{100, 200, "A"}, {127, 200, "\x7f"}, {136, 200, "B"}});
    EXPECT_EQ(framesDiffer(drawIn2d(100, 200, "A\x01\xff\x7f" "B"), cells), 0);

    canvasPrepare();
    cells = drawOneByOne({{100, 200, "A"}, {100, 174, "B"}});
    EXPECT_EQ(framesDiffer(drawIn2d(100, 200, "A\n\nB\n"), cells), 0);

    canvasPrepare();
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    std::vector<uint8_t> pixels = drawIn2d(100, 200, "");
    EXPECT_TRUE(inkIn(pixels).empty());
    expectTextStateOff();
}

// Guards against the two rotations being applied about the wrong point or
// in the wrong order: the first turns text and origin about a pivot in the
// caller's units, the second turns the text about its own origin.
TEST_F(TextTest, PivotsTurnTheTextAboutTheRightPoint)
{
    setTextPivot(640, 360);
    setTextAngle(90);
    // Origin (700, 360) is 60 units right of the pivot; a quarter turn
    // counter-clockwise takes it to (640, 420) and lays the cell on its side.
    std::vector<uint8_t> pixels = drawIn2d(700, 360, "A");
    expectGlyphInCell(pixels, 627, 420, 13, 9, 8, 6);

    canvasPrepare();
    setTextAngle(0);
    setTextAngle2(90);
    pixels = drawIn2d(100, 200, "A");
    expectGlyphInCell(pixels, 87, 200, 13, 9, 8, 6);

    canvasPrepare();
    setTextPivot2(4.5f, 6.5f); // the cell's centre: turned in place
    setTextAngle2(180);
    pixels = drawIn2d(100, 200, "A");
    expectGlyphInCell(pixels, 100, 200, 9, 13, 7, 10);
    box_t ink = inkIn(pixels, 90, 190, 120, 220);
    EXPECT_LE(ink.y0, 201) << "upside down, the apex is at the bottom";
}

// Guards against the screen-relative origin, the view it opens and the
// state it leaves: the caller's modelview matrix comes back.
TEST_F(TextTest, Text2dPlacesItsOriginAsAFractionOfTheScreen)
{
    glTranslatef(5, 6, -7);
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    glStacks_t stacks = canvasStacks();
    drawText2d(0.5f, 0.5f, text("X"));
    std::vector<uint8_t> pixels = canvasRead();
    expectGlyphInCell(pixels, 640, 360, 9, 13, 8, 11);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(0, memcmp(before, after, sizeof before));
    glStacks_t afterStacks = canvasStacks();
    EXPECT_EQ(afterStacks.modelview, stacks.modelview);
    EXPECT_EQ(afterStacks.projection, stacks.projection);
    expectTextStateOff();
    EXPECT_EQ(boundTexture(), 0);

    canvasPrepare();
    setTextSize(2, 2);
    setTextPivot(0.5f, 0.5f); // a fraction of the screen here
    setTextAngle(180);
    drawText2d(0.5f, 0.5f, text("X"));
    pixels = canvasRead();
    expectGlyphInCell(pixels, 622, 334, 18, 26, 15, 21);
}

// Guards against the 3D call applying the text state or leaving blending on.
TEST_F(TextTest, Text3dDrawsInTheCurrentCoordinatesUnshaped)
{
    std::vector<uint8_t> cells = drawOneByOne({{300, 300, "A"}, {309, 300, "B"}});
    setTextSize(3, 3);
    setTextAngle(45);
    perspective2dBegin(1280, 720);
    glTranslatef(300, 300, 0);
    drawText3d(text("AB"));
    expectTextStateOff();
    perspective2dEnd();
    EXPECT_EQ(framesDiffer(canvasRead(), cells), 0);
}

// Guards against text ignoring the current colour (glyphs are white and
// take the colour through the default modulate environment).
TEST_F(TextTest, TextTakesTheCurrentColour)
{
    glColor4f(1, 0, 0, 1);
    std::vector<uint8_t> pixels = drawIn2d(100, 200, "H");
    glColor4f(1, 1, 1, 1);
    int red = 0, other = 0;
    for (int y = 200; y < 213; y++)
        for (int x = 100; x < 109; x++) {
            const uint8_t* p = &pixels[(size_t(y) * 1280 + size_t(x)) * 4];
            red += p[0] > 100;
            other += p[1] > 40 || p[2] > 40;
        }
    EXPECT_GT(red, 10);
    EXPECT_EQ(other, 0);
}

} // namespace
