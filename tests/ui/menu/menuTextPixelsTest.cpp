// The raster font draws glyphs as textured quads from an atlas instead of
// bitmaps (see make_raster_font), which only holds if they leave every pixel
// as the font's plain meaning does: one glBitmap(8, 13, 0, 2, 10, 0, row)
// per glyph at the raster position, nothing for codes without a glyph.
// Whole player screen frames are drawn both ways and compared pixel by pixel.

#include "system/graphics/font/font.h"
#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "tests/ui/menu/menuTestHelpers.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

namespace {
bool referenceText = false;
int referenceGlyphs = 0;
} // namespace

// This executable's glCallLists stands in front of the driver's, so the same
// frame can be drawn with the reference font: the bitmaps issued directly,
// without display lists. Otherwise the call goes on to the driver.
extern "C" void glCallLists(GLsizei n, GLenum type, const GLvoid* lists)
{
    typedef void (*callLists_t)(GLsizei, GLenum, const GLvoid*);
    static callLists_t driver = reinterpret_cast<callLists_t>(dlsym(RTLD_NEXT, "glCallLists"));
    if (!referenceText) {
        driver(n, type, lists);
        return;
    }
    ASSERT_EQ(type, GLenum(GL_UNSIGNED_BYTE));
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const unsigned char* codes = static_cast<const unsigned char*>(lists);
    for (GLsizei i = 0; i < n; i++) {
        if (codes[i] < 32 || codes[i] > 126)
            continue;
        glBitmap(8, 13, 0.0f, 2.0f, 10.0f, 0.0f, font_rasters[codes[i] - 32]);
        referenceGlyphs++;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

// The font's quads are the only thing the screen cuts out with the alpha
// test: the reference frame lets none of their pixels through, so that it
// holds the bitmaps alone.
extern "C" void glAlphaFunc(GLenum func, GLclampf ref)
{
    typedef void (*alphaFunc_t)(GLenum, GLclampf);
    static alphaFunc_t driver = reinterpret_cast<alphaFunc_t>(dlsym(RTLD_NEXT, "glAlphaFunc"));
    driver(referenceText ? GLenum(GL_NEVER) : func, ref);
}

namespace {

const char SONG[] = "Stardust Memories \x01- Part II (Extended)\x7f\xff";

class TextPixels : public ::testing::Test {
protected:
    void TearDown() override
    {
        referenceText = false;
        menuDeinit();
        testDrainEvents();
    }

    // The player screen with a song name, a drag button held with its ghost
    // away from it (its label is drawn in line polygon mode, which text must
    // not inherit) and one showing its resize feedback.
    bool open(int width, int height)
    {
        if (!testGlWindow(width, height))
            return false;
        resetViewport();
        menuInit();
        gui_component_set_text(get_gui_component(5), SONG);
        // The player's lines and the progress bar, whose outline is drawn
        // with smooth lines before texts of its own.
        menuAddTimeLine();
        glEnable(GL_POINT_SMOOTH); // as the player's start-up leaves it
        menuPlayerState_t state = {MENU_PLAYING, 42, 184, 55, 0, 1, MENU_REPEAT_ONE, 0, 0, "Album", ""};
        menuSetPlayerState(&state);
        gui_component_t* held = get_gui_component(27);
        gui_component_set_dimension4i(held, 500, 420, 120, 30);
        gui_component_set_type(held, GUI_DRAG_BUTTON);
        gui_component_set_text(held, "Drag me");
        held->selected = 1;
        held->mousePressedX = 530;
        held->mousePressedY = 430;
        gui_component_t* resized = get_gui_component(28);
        gui_component_set_dimension4i(resized, 640, 420, 120, 30);
        gui_component_set_type(resized, GUI_DRAG_BUTTON);
        gui_component_set_text(resized, "Size");
        resized->resize = 1;
        return true;
    }

    std::vector<uint8_t> frame(bool reference)
    {
        testDrainEvents();
        gui_mouse_t* mouse = get_gui_mouse();
        mouse->x = 453; // the ghost's corner lands at GUI (423, 157)
        mouse->y = 167;
        referenceText = reference;
        menuDraw();
        referenceText = false;
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        std::vector<uint8_t> pixels(size_t(viewport[2]) * size_t(viewport[3]) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, viewport[2], viewport[3], GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    void expectSameAsReference(int width)
    {
        std::vector<uint8_t> drawn = frame(false);
        referenceGlyphs = 0;
        std::vector<uint8_t> reference = frame(true);
        ASSERT_GT(referenceGlyphs, 600) << "the reference frame went past the font";
        ASSERT_EQ(drawn.size(), reference.size());
        size_t differing = 0, first = 0, lit = 0;
        for (size_t i = 0; i < drawn.size(); i++) {
            if (drawn[i] != reference[i] && differing++ == 0)
                first = i / 4;
            lit += i % 4 == 0 && reference[i] != 0;
        }
        EXPECT_GT(lit, 10000u) << "the frames hold text";
        EXPECT_EQ(differing, 0u) << "first differing pixel at window (" << first % size_t(width)
                                 << ", " << first / size_t(width) << ")";
    }
};

TEST_F(TextPixels, FrameMatchesPlainBitmapsInTheDefaultWindow)
{
    if (!open(800, 500))
        GTEST_SKIP() << "no X display for an OpenGL window";
    expectSameAsReference(800);
}

// Stretched, the raster positions fall between pixels: the rounding to the
// glyph's corner and the 10-pixel pitch must still match.
TEST_F(TextPixels, FrameMatchesPlainBitmapsStretchedTo1024x768)
{
    if (!open(1024, 768))
        GTEST_SKIP() << "no X display for an OpenGL window";
    expectSameAsReference(1024);
}

} // namespace
