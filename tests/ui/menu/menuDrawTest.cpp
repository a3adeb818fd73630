// Every component kind and the raster font, drawn into a real OpenGL window
// and read back pixel by pixel.

#include "system/ui/window/menu.h"
#include "tests/ui/menu/menuTestHelpers.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class GuiDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL_WINDOW(800, 500);
        menuInit(); // the raster font
        testGuiProjection();
        glColor3f(1, 1, 1);
        glGetError();
    }
    void TearDown() override { menuDeinit(); }

    // Every shape must leave the fill mode, width-1 lines and balanced stacks
    // behind, or the next component (and the rest of the frame) inherits them.
    void expectStateRestored(const char* what)
    {
        GLint mode[2] = {0, 0}, depth = 0;
        GLfloat width = 0;
        glGetIntegerv(GL_POLYGON_MODE, mode);
        EXPECT_EQ(mode[0], GL_FILL) << what;
        EXPECT_EQ(mode[1], GL_FILL) << what;
        glGetFloatv(GL_LINE_WIDTH, &width);
        EXPECT_EQ(width, 1.0f) << what;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1) << what;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 0) << what;
        glGetIntegerv(GL_LIST_BASE, &depth);
        EXPECT_EQ(depth, 0) << what << ": the list base leaked out of the text";
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << what;
    }

    rgb_t currentColour()
    {
        GLfloat c[4];
        glGetFloatv(GL_CURRENT_COLOR, c);
        return rgb_t{uint8_t(c[0] * 255 + 0.5f), uint8_t(c[1] * 255 + 0.5f), uint8_t(c[2] * 255 + 0.5f)};
    }
};

TEST_F(GuiDrawing, ButtonIsABlackBoxWithCentredWhiteTextAndNoOutline)
{
    gui_component_t c = testComponent(GUI_BUTTON, 100, 100, 200, 100, "OK", 1);
    c.pressed = 1;
    gui_component_draw_button(&c);
    EXPECT_EQ(testReadPixel(150, 150), BLACK);
    EXPECT_EQ(testReadPixel(100, 150), BLACK) << "no outline on the left edge";
    EXPECT_EQ(testReadPixel(299, 199), BLACK) << "no outline at the top right";
    EXPECT_EQ(testReadPixel(99, 150), BLUE);
    EXPECT_EQ(testReadPixel(300, 150), BLUE);
    EXPECT_TRUE(testTextAt("OK", 190, 145, WHITE, BLACK)); // (20 - 2) x 5, 100 + 50 - 5
    EXPECT_EQ(currentColour(), WHITE) << "the text colour stays current for the labels after";
    expectStateRestored("button");
}

TEST_F(GuiDrawing, LabelIsOnlyTextInWhateverColourIsCurrent)
{
    gui_component_t c = testComponent(GUI_LABEL, 100, 100, 200, 30, "Hi", 0);
    glColor3f(1, 0, 0);
    gui_component_draw_label(&c);
    EXPECT_TRUE(testTextAt("Hi", 103, 110, rgb_t{255, 0, 0}, BLUE));
    EXPECT_EQ(testReadPixel(250, 120), BLUE) << "no box";
    EXPECT_EQ(currentColour(), (rgb_t{255, 0, 0}));

    gui_component_t silent = testComponent(GUI_LABEL, 100, 300, 200, 30, nullptr, 0);
    gui_component_draw(&silent);
    EXPECT_TRUE(testTextAt("     ", 103, 310, BLUE, BLUE)) << "no text, no drawing";
    expectStateRestored("label");
}

TEST_F(GuiDrawing, TextAreaIsAnOutlinedBoxWithLeftText)
{
    gui_component_t c = testComponent(GUI_TEXT_AREA, 100, 100, 200, 100, "Notes", 0);
    gui_component_draw_text_area(&c);
    EXPECT_TRUE(testVerticalEdge(100, 150, WHITE));
    EXPECT_TRUE(testVerticalEdge(300, 150, WHITE));
    EXPECT_TRUE(testHorizontalEdge(150, 100, WHITE));
    EXPECT_TRUE(testHorizontalEdge(150, 200, WHITE));
    EXPECT_EQ(testReadPixel(250, 180), BLACK);
    EXPECT_TRUE(testTextAt("Notes", 103, 145, WHITE, BLACK));
    expectStateRestored("text area");
}

TEST_F(GuiDrawing, CheckBoxShowsACrossOnlyWhenSelected)
{
    gui_component_t c = testComponent(GUI_CHECK_BOX, 100, 100, 50, 50, "Loop", 0);
    gui_component_draw_check_box(&c);
    EXPECT_EQ(testReadPixel(125, 125), BLACK);
    EXPECT_TRUE(testVerticalEdge(100, 125, WHITE));
    EXPECT_TRUE(testHorizontalEdge(125, 150, WHITE));
    EXPECT_TRUE(testTextAt("Loop", 153, 120, WHITE, BLUE)) << "beside the box";
    expectStateRestored("check box");

    c.selected = 1;
    c.pressed = 1;
    gui_component_draw_check_box(&c);
    EXPECT_EQ(testReadPixel(125, 125), WHITE) << "the cross meets in the middle";
    EXPECT_EQ(testReadPixel(113, 137), WHITE) << "on the rising stroke's far end";
    EXPECT_EQ(testReadPixel(125, 108), BLACK) << "between the strokes";
    expectStateRestored("selected check box");
}

TEST_F(GuiDrawing, RadioButtonShowsAnInnerSquareOnlyWhenSelected)
{
    gui_component_t c = testComponent(GUI_RADIO_BUTTON, 100, 100, 50, 50, "FM", 0);
    gui_component_draw_radio_button(&c);
    EXPECT_EQ(testReadPixel(125, 125), BLACK);
    EXPECT_TRUE(testVerticalEdge(150, 125, WHITE));
    EXPECT_TRUE(testTextAt("FM", 153, 120, WHITE, BLUE));

    c.selected = 1;
    gui_component_draw_radio_button(&c);
    EXPECT_EQ(testReadPixel(125, 125), WHITE);
    EXPECT_EQ(testReadPixel(111, 111), WHITE) << "inset by a fifth";
    EXPECT_EQ(testReadPixel(105, 125), BLACK) << "a black ring inside the outline";
    EXPECT_EQ(testReadPixel(141, 125), BLACK);
    expectStateRestored("radio button");
}

TEST_F(GuiDrawing, ComboBoxArrowIsFilledClosedAndHollowWhileHeld)
{
    gui_component_t c = testComponent(GUI_COMBO_BOX, 100, 100, 200, 50, "Choose", 1);
    gui_component_draw_combo_box(&c);
    EXPECT_TRUE(testVerticalEdge(260, 125, WHITE)) << "the drop button's separator";
    EXPECT_EQ(testReadPixel(280, 130), WHITE) << "filled arrow";
    EXPECT_EQ(testReadPixel(280, 105), BLACK) << "below the arrow's tip";
    EXPECT_TRUE(testTextAt("Choose", 150, 120, WHITE, BLACK)) << "laid out left of the drop button";
    expectStateRestored("combo box");

    c.selected = 1;
    gui_component_draw_combo_box(&c);
    EXPECT_EQ(testReadPixel(280, 130), BLACK) << "hollow arrow";
    EXPECT_TRUE(testHorizontalEdge(280, 140, WHITE)) << "the arrow's top edge";
    expectStateRestored("held combo box");
}

TEST_F(GuiDrawing, DragButtonIsRedAndItsGhostKeepsTheGrabOffset)
{
    gui_component_t c = testComponent(GUI_DRAG_BUTTON, 100, 100, 200, 50, "Drag", 1);
    gui_mouse_t* mouse = get_gui_mouse();
    gui_component_draw_drag_button(&c);
    EXPECT_EQ(testReadPixel(110, 110), RED);
    EXPECT_TRUE(testVerticalEdge(100, 140, WHITE));
    EXPECT_TRUE(testTextAt("Drag", 180, 120, WHITE, RED));
    expectStateRestored("drag button");

    // Grabbed 50 right of and 20 above the corner; the pointer is now at
    // (450, 320), so the ghost's corner is at (400, 300).
    c.selected = 1;
    c.mousePressedX = 150;
    c.mousePressedY = 120;
    mouse->x = 450;
    mouse->y = 320;
    gui_component_draw_drag_button(&c);
    EXPECT_TRUE(testVerticalEdge(400, 325, GREY));
    EXPECT_TRUE(testVerticalEdge(600, 325, GREY));
    EXPECT_TRUE(testHorizontalEdge(500, 350, GREY));
    EXPECT_EQ(testReadPixel(420, 305), BLUE) << "the ghost is hollow";
    EXPECT_TRUE(testTextAt("Drag", 480, 320, GREY, BLUE)) << "the text follows the ghost";
    expectStateRestored("dragged button");

    // Resizing draws from the left edge to the pointer instead of the ghost.
    testGuiProjection();
    c.resize = 1;
    mouse->x = 250;
    gui_component_draw_drag_button(&c);
    EXPECT_TRUE(testVerticalEdge(250, 125, GREY));
    EXPECT_EQ(testReadPixel(420, 305), BLUE) << "no ghost while resizing";
    expectStateRestored("resized button");
    init_gui_mouse(mouse);
}

TEST_F(GuiDrawing, DispatchDrawsByKindAndUnknownKindsDrawNothing)
{
    for (int type : {int(GUI_NONE), 8, -1, 1000}) {
        gui_component_t c = testComponent(type, 100, 100, 200, 50, "Hidden", 1);
        gui_component_draw(&c);
        EXPECT_TRUE(testTextAt("                    ", 100, 102, BLUE, BLUE)) << "kind " << type;
    }
    gui_component_t button = testComponent(GUI_BUTTON, 100, 100, 200, 50, nullptr, 1);
    gui_component_draw(&button);
    EXPECT_EQ(testReadPixel(150, 125), BLACK);
    expectStateRestored("dispatch");
}

// Every printable glyph through its display list: catches a flipped bitmap,
// a wrong origin or pitch, or a glyph compiled from the wrong table row.
TEST_F(GuiDrawing, RasterFontDrawsEveryPrintableGlyphOnATenUnitPitch)
{
    std::string first, second;
    for (int code = 32; code <= 126; code++)
        (code < 80 ? first : second) += char(code);
    gui_component_t line1 = testComponent(GUI_LABEL, 0, 200, 700, 20, first.c_str(), 0);
    gui_component_t line2 = testComponent(GUI_LABEL, 0, 100, 700, 20, second.c_str(), 0);
    gui_component_draw_label(&line1);
    int x = 0, y = 0;
    bool valid = false;
    testRasterPosition(&x, &y, &valid);
    EXPECT_TRUE(valid);
    EXPECT_EQ(x, 3 + 10 * int(first.size()));
    EXPECT_EQ(y, 205);
    gui_component_draw_label(&line2);
    EXPECT_TRUE(testTextAt(first.c_str(), 3, 205, WHITE, BLUE));
    EXPECT_TRUE(testTextAt(second.c_str(), 3, 105, WHITE, BLUE));
    expectStateRestored("raster font");
}

// The text is handed to glCallLists as bytes, so every byte value must land
// on a list of the font's own: codes without a glyph draw nothing and do not
// move the raster position, even when other lists follow the font's block.
TEST_F(GuiDrawing, CodesWithoutAGlyphDrawNothingAndDoNotAdvance)
{
    static const unsigned char solid[13] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                            0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    GLuint others = glGenLists(128);
    ASSERT_NE(others, 0u);
    for (GLuint i = 0; i < 128; i++) {
        glNewList(others + i, GL_COMPILE);
        glBitmap(8, 13, 0, 2, 10, 0, solid);
        glEndList();
    }
    gui_component_t c = testComponent(GUI_LABEL, 97, 100, 300, 20, "A\x01\x1f\x7f\x80\xc8\xff" "B", 0);
    gui_component_draw_label(&c);
    int x = 0, y = 0;
    bool valid = false;
    testRasterPosition(&x, &y, &valid);
    EXPECT_EQ(x, 120) << "only A and B advance";
    EXPECT_TRUE(testTextAt("AB  ", 100, 105, WHITE, BLUE));
    glDeleteLists(others, 128);
    expectStateRestored("codes without glyphs");
}

// After deinit (or a failed init) there is no font: text must not fall
// through to list names that now belong to someone else.
TEST_F(GuiDrawing, WithoutAFontTextDrawsNothing)
{
    menuDeinit();
    static const unsigned char solid[13] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                            0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    // Solid blocks on the list names a text would reach from base 0.
    std::vector<GLuint> others;
    for (GLuint name = 1; name < 256; name++) {
        if (glIsList(name))
            continue;
        glNewList(name, GL_COMPILE);
        glBitmap(8, 13, 0, 2, 10, 0, solid);
        glEndList();
        others.push_back(name);
    }
    ASSERT_TRUE(glIsList('A'));
    gui_component_t c = testComponent(GUI_LABEL, 97, 100, 300, 20, "AB", 0);
    gui_component_draw_label(&c);
    EXPECT_TRUE(testTextAt("  ", 100, 105, BLUE, BLUE));
    for (GLuint name : others)
        glDeleteLists(name, 1);
    expectStateRestored("no font");
}

} // namespace
