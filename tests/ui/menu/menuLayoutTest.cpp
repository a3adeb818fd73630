// The GUI's arithmetic, without a window: hit test, default sizes, colours,
// text layout and the pointer conversion.

#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "tests/ui/menu/menuTestHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// An off-by-one here moves every button's hit area by a pixel: the edges
// themselves must count as inside, one unit beyond must not.
TEST(GuiHitTest, AllFourEdgesAreInsideAndOneBeyondIsOutside)
{
    gui_component_t prev = testComponent(GUI_BUTTON, 10, 400, 50, 50, "PREV", 1);
    struct {
        int x, y, hit;
    } cases[] = {
        {10, 400, 1}, {60, 450, 1}, {10, 450, 1}, {60, 400, 1}, {35, 425, 1},
        {61, 450, 0}, {9, 425, 0},  {35, 399, 0}, {35, 451, 0}, {61, 451, 0},
    };
    for (auto c : cases)
        EXPECT_EQ(gui_component_mouse_entered(&prev, c.x, c.y), c.hit) << c.x << ", " << c.y;

    gui_component_t empty = testComponent(GUI_NONE, 0, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(gui_component_mouse_entered(&empty, 0, 0), 1) << "a zero-size slot is one point";
    EXPECT_EQ(gui_component_mouse_entered(&empty, 1, 0), 0);
    EXPECT_EQ(gui_component_mouse_entered(&empty, 0, 1), 0);
    EXPECT_EQ(gui_component_mouse_entered(&empty, -1, -1), 0);

    gui_component_t far = testComponent(GUI_BUTTON, 2147483600, 0, 100, 10, nullptr, 0);
    EXPECT_EQ(gui_component_mouse_entered(&far, 2147483647, 5), 1) << "the far edge must not wrap";
}

TEST(GuiComponent, InitialStateKeepsPressPositionAndText)
{
    gui_component_t c{};
    c.resize = c.pressed = c.selected = 7;
    c.x = c.y = c.w = c.h = c.type = c.radioGroup = c.textalign = 9;
    c.red = c.green = c.blue = 0.5f;
    c.mousePressedX = 11;
    c.mousePressedY = 12;
    c.text = "kept";
    gui_component_init(&c);
    EXPECT_EQ(c.resize + c.pressed + c.selected, 0);
    EXPECT_EQ(c.visible, 1);
    EXPECT_EQ(c.enabled, 1);
    EXPECT_EQ(c.x | c.y | c.w | c.h | c.type | c.radioGroup | c.textalign, 0);
    EXPECT_EQ(c.red + c.green + c.blue, 0.0f);
    EXPECT_EQ(c.mousePressedX, 11);
    EXPECT_EQ(c.mousePressedY, 12);
    EXPECT_STREQ(c.text, "kept");
}

TEST(GuiComponent, DefaultSizeFollowsTheKindAndUnknownKindsKeepTheirs)
{
    struct {
        int type, w, h;
    } sizes[] = {{GUI_NONE, 33, 44},          {GUI_BUTTON, 50, 20},      {GUI_LABEL, 100, 15},
                 {GUI_CHECK_BOX, 15, 15},     {GUI_TEXT_AREA, 300, 200}, {GUI_COMBO_BOX, 100, 15},
                 {GUI_RADIO_BUTTON, 15, 15},  {GUI_DRAG_BUTTON, 50, 20}, {8, 33, 44},
                 {-1, 33, 44}};
    for (auto s : sizes) {
        gui_component_t c = testComponent(s.type, 1, 2, 33, 44, "a long text that is not consulted", 0);
        gui_component_set_dimension2i(&c, 5, 6);
        EXPECT_EQ(c.x, 5);
        EXPECT_EQ(c.y, 6);
        EXPECT_EQ(c.w, s.w) << "kind " << s.type;
        EXPECT_EQ(c.h, s.h) << "kind " << s.type;
    }
}

TEST(GuiComponent, DragButtonTypeSetsRedButALaterColourWins)
{
    gui_component_t c{};
    gui_component_init(&c);
    gui_component_set_color(&c, 0.1f, 0.2f, 0.3f);
    gui_component_set_type(&c, GUI_DRAG_BUTTON);
    EXPECT_FLOAT_EQ(c.red, 0.8f);
    EXPECT_FLOAT_EQ(c.green, 0.0f);
    EXPECT_FLOAT_EQ(c.blue, 0.0f);
    gui_component_set_color(&c, 0.1f, 0.2f, 0.3f);
    EXPECT_FLOAT_EQ(c.red, 0.1f);
    gui_component_set_type(&c, GUI_BUTTON);
    EXPECT_FLOAT_EQ(c.red, 0.1f) << "only the drag button has a colour of its own";
}

// Where the player screen's texts start: the e2e checks and the eye both
// rely on these positions.
TEST(GuiTextLayout, PlacesTextByAlignmentOnATenUnitPitch)
{
    struct {
        const char* text;
        int align, x, y, w, h, nw, wantX, wantY;
    } cases[] = {
        {"PREV", 1, 10, 400, 50, 50, 50, 15, 420},   // chars 5, textlen 4
        {"NEXT", 1, 190, 400, 50, 50, 50, 195, 420},
        {"", 1, 10, 400, 50, 50, 50, 35, 420},       // empty: the middle of the box
        {"", 1, 0, 340, 800, 50, 800, 400, 360},     // the song label before any song
        {"Song", 1, 0, 340, 800, 50, 800, 380, 360}, // (80 - 4) x 5
        {"PREV", 0, 10, 400, 50, 50, 50, 13, 420},
        {"PREV", 2, 10, 400, 50, 50, 50, 20, 420},   // right: (5 - 4) x 10
        {"PREV", -3, 10, 400, 50, 50, 50, 20, 420},  // any other value is right
        {"fourteen chars", 1, 0, 0, 100, 21, 100, 0, 5}, // too long: laid out as 10
        {"x", 1, 0, 0, 15, 15, 15, 0, 2},            // 15 / 10 = 1 character, h / 2 truncates
        {"abc", 1, 0, 0, 5, 20, 5, 0, 5},            // no room at all: chars 0
    };
    for (auto c : cases) {
        gui_component_t label = testComponent(GUI_LABEL, c.x, c.y, c.w, c.h, c.text, c.align);
        int x = -1, y = -1;
        gui_component_text_position(&label, c.x, c.y, c.nw, &x, &y);
        EXPECT_EQ(x, c.wantX) << "\"" << c.text << "\" align " << c.align;
        EXPECT_EQ(y, c.wantY) << "\"" << c.text << "\" align " << c.align;
    }

    // A name longer than the label's 80 characters starts at its left edge.
    std::string longName(90, 'n');
    gui_component_t label = testComponent(GUI_LABEL, 0, 340, 800, 50, longName.c_str(), 1);
    int x = -1, y = -1;
    gui_component_text_position(&label, 0, 340, 800, &x, &y);
    EXPECT_EQ(x, 0);

    // A negative width compares as a huge unsigned room: the full text counts.
    gui_component_t odd = testComponent(GUI_LABEL, 100, 0, 0, 0, "abcd", 1);
    gui_component_text_position(&odd, 100, 0, -20, &x, &y);
    EXPECT_EQ(x, 100 + (-2 - 4) * 5);
}

TEST(GuiTextLayout, LogoLineLayoutStartsThreeUnitsIn)
{
    for (int i = 0; i < 12; i++) {
        gui_component_t line = testComponent(GUI_LABEL, 0, 300 - 20 * i, 700, 20,
                                         "a line of the logo, up to 76 characters long", 0);
        int x = -1, y = -1;
        gui_component_text_position(&line, line.x, line.y, line.w, &x, &y);
        EXPECT_EQ(x, 3);
        EXPECT_EQ(y, 305 - 20 * i) << "line " << i;
    }
}

// The window module's size is shared state; keep the GL tests' window intact.
class PointerToGui : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedWidth = windowWidth;
        savedHeight = windowHeight;
    }
    void TearDown() override
    {
        windowWidth = savedWidth;
        windowHeight = savedHeight;
    }
    int savedWidth = 0, savedHeight = 0;
};

// Without scaling, a click on a button drawn stretched over a larger window
// lands somewhere else in GUI space.
TEST_F(PointerToGui, ScalesWithTheWindowAndFlipsY)
{
    struct {
        int windowW, windowH, px, py, gx, gy;
    } cases[] = {
        {800, 500, 90, 75, 90, 425},    // PLAY in the default window
        {800, 500, 0, 0, 0, 500},       // top-left pixel
        {800, 500, 799, 499, 799, 1},   // bottom-right pixel
        {1024, 768, 115, 115, 89, 426}, // PLAY, stretched
        {1024, 768, 1023, 767, 799, 1},
        {1600, 1000, 180, 150, 90, 425}, // twice the size: exact halves
        {400, 250, 45, 37, 90, 426},
        {0, 0, 90, 75, 90, 425}, // no window module (the stand-alone runner): 800 x 500
    };
    for (auto c : cases) {
        windowWidth = c.windowW;
        windowHeight = c.windowH;
        int gx = -1, gy = -1;
        menuPointerToGui(c.px, c.py, &gx, &gy);
        EXPECT_EQ(gx, c.gx) << c.windowW << "x" << c.windowH << " pixel " << c.px << ", " << c.py;
        EXPECT_EQ(gy, c.gy) << c.windowW << "x" << c.windowH << " pixel " << c.px << ", " << c.py;
    }
}

} // namespace
