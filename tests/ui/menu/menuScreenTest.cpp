// The player screen as the main loop drives it: its table, its first frame,
// the GL state it hands back, and its answers to real SDL events.

#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "system/timer/timer.h"
#include "tests/support/fakeClock.h"
#include "tests/ui/menu/menuTestHelpers.h"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_syswm.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

int stopCalls = 0;
void countStop(void)
{
    stopCalls++;
}

class PlayerScreen : public ::testing::Test {
protected:
    void SetUp() override { open(800, 500); }
    void TearDown() override
    {
        menuDeinit();
        testDrainEvents();
    }

    void open(int width, int height)
    {
        REQUIRE_GL_WINDOW(width, height);
        resetViewport();
        menuInit();
        menuSetSoundStop(countStop);
        stopCalls = 0;
        testDrainEvents();
        opened = true;
    }

    // Where the next button events happen, in window pixels.
    void pointAt(int x, int y)
    {
        pointerX = x;
        pointerY = y;
    }

    // One frame that takes one button event at the pointer. Stray window
    // events are drained first so the frame takes exactly this one.
    int frameWith(int type, int button)
    {
        testDrainEvents();
        testPushButton(type, button, pointerX, pointerY);
        return menuDraw();
    }

    int selectedMask()
    {
        int mask = 0;
        for (int i = 0; i < MENU_COMPONENTS; i++)
            if (get_gui_component(i)->selected)
                mask |= 1 << i;
        return mask;
    }

    bool opened = false;
    int pointerX = 0, pointerY = 0;
};

#define REQUIRE_OPEN()                                                                   \
    do {                                                                                 \
        if (!opened)                                                                     \
            GTEST_SKIP();                                                                \
    } while (0)

TEST_F(PlayerScreen, TableHoldsTheButtonsTheLabelAndTwelveLogoLines)
{
    REQUIRE_OPEN();
    struct {
        int index, type, x, y, w, h;
        const char* text;
        int align;
    } table[] = {
        {0, GUI_BUTTON, 10, 400, 50, 50, "PREV", 1}, {1, GUI_BUTTON, 70, 400, 50, 50, "PLAY", 1},
        {2, GUI_NONE, 0, 0, 0, 0, nullptr, 0},       {3, GUI_BUTTON, 130, 400, 50, 50, "STOP", 1},
        {4, GUI_BUTTON, 190, 400, 50, 50, "NEXT", 1}, {5, GUI_LABEL, 0, 340, 800, 50, "", 1},
    };
    for (auto t : table) {
        const gui_component_t* c = get_gui_component(t.index);
        EXPECT_EQ(c->type, t.type) << t.index;
        EXPECT_EQ(c->x, t.x) << t.index;
        EXPECT_EQ(c->y, t.y) << t.index;
        EXPECT_EQ(c->w, t.w) << t.index;
        EXPECT_EQ(c->h, t.h) << t.index;
        EXPECT_EQ(c->textalign, t.align) << t.index;
        EXPECT_EQ(c->visible + c->enabled, 2) << t.index;
        if (t.text)
            EXPECT_STREQ(c->text, t.text) << t.index;
        else
            EXPECT_EQ(c->text, nullptr) << t.index;
    }
    for (int i = 0; i < 12; i++) {
        const gui_component_t* line = get_gui_component(6 + i);
        EXPECT_EQ(line->type, GUI_LABEL);
        EXPECT_EQ(line->y, 300 - 20 * i);
        EXPECT_EQ(line->w, 700);
        EXPECT_EQ(line->h, 20);
        EXPECT_EQ(line->textalign, 0);
        ASSERT_NE(line->text, nullptr);
        size_t length = strlen(line->text);
        EXPECT_GE(length, 49u) << "logo line " << i;
        EXPECT_LE(length, 76u) << "logo line " << i << " runs off the screen";
        EXPECT_EQ(strspn(line->text, " _/\\|0123456789QORabcdefghijklmnopqrstuvwxyz"), length)
            << "logo line " << i;
    }
    for (int i = 18; i < MENU_COMPONENTS; i++)
        EXPECT_EQ(get_gui_component(i)->type, GUI_NONE) << i;
}

// What a person sees first: the four button texts and the logo, white on
// black, exactly where the layout puts them.
TEST_F(PlayerScreen, FirstFrameShowsButtonTextsAndLogoWhiteOnBlack)
{
    REQUIRE_OPEN();
    EXPECT_EQ(menuDraw(), 0);
    EXPECT_TRUE(testTextAt("PREV", 15, 420, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("PLAY", 75, 420, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("STOP", 135, 420, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("NEXT", 195, 420, WHITE, BLACK));
    for (int i = 0; i < 12; i++)
        EXPECT_TRUE(testTextAt(get_gui_component(6 + i)->text, 3, 305 - 20 * i, WHITE, BLACK))
            << "logo line " << i;
    EXPECT_EQ(testReadPixel(400, 365), BLACK) << "the empty label draws nothing";

    // The main loop writes the song name; it shows from the next frame on.
    gui_component_set_text(get_gui_component(5), "Song");
    menuDraw();
    EXPECT_TRUE(testTextAt("Song", 380, 360, WHITE, BLACK));
}

// The rest of the frame (and the scene code) expects the default 3D view,
// depth test on, and both matrix stacks exactly as deep as before.
TEST_F(PlayerScreen, HandsTheFrameBackInThe3dState)
{
    REQUIRE_OPEN();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glGetError();
    for (int frame = 0; frame < 40; frame++)
        menuDraw();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "no stack over- or underflow";
    GLint value = 0;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &value);
    EXPECT_EQ(value, 1);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &value);
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    double f = 1.0 / tan(22.5 * M_PI / 180.0), nearPlane = double(0.01f), farPlane = 1000.0;
    EXPECT_NEAR(m[0], f / (15.0 / 13.0), 1e-5);
    EXPECT_NEAR(m[5], f, 1e-5);
    EXPECT_NEAR(m[10], (farPlane + nearPlane) / (nearPlane - farPlane), 1e-5);
    EXPECT_NEAR(m[14], 2 * farPlane * nearPlane / (nearPlane - farPlane), 1e-5);
    EXPECT_FLOAT_EQ(m[11], -1.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2], 0.0f);
}

// One click, one action: the main loop acts on every frame in which a
// button is selected, so a held button must not act again.
TEST_F(PlayerScreen, LeftPressSelectsForOneFrameAndTheLatchStopsRepeats)
{
    REQUIRE_OPEN();
    pointAt(90, 75); // GUI (90, 425): PLAY
    EXPECT_EQ(frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), 0);
    EXPECT_EQ(selectedMask(), 1 << 1);
    EXPECT_EQ(get_gui_component(1)->mousePressedX, 90);
    EXPECT_EQ(get_gui_component(1)->mousePressedY, 425);
    EXPECT_EQ(get_gui_mouse()->left, 1);

    menuDraw();
    EXPECT_EQ(selectedMask(), 0) << "cleared the next frame although still held";
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 0) << "a second press before the release is ignored";

    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    EXPECT_EQ(get_gui_mouse()->left, 0);
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 1 << 1) << "a new click after the release acts again";
}

// Queued clicks are worked off one a frame, each where it happened, even
// though the pointer has long moved on when the later ones are taken.
TEST_F(PlayerScreen, OneEventIsTakenPerFrameEachWhereItHappened)
{
    REQUIRE_OPEN();
    testDrainEvents();
    testPushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 215, 75); // NEXT
    testPushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 215, 75);
    testPushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 75); // PREV
    menuDraw();
    EXPECT_EQ(selectedMask(), 1 << 4);
    menuDraw();
    EXPECT_EQ(selectedMask(), 0);
    EXPECT_EQ(get_gui_mouse()->left, 0) << "the release, taken in the second frame";
    menuDraw();
    EXPECT_EQ(selectedMask(), 1 << 0) << "the queued second click, third frame, on PREV";
    EXPECT_EQ(get_gui_component(0)->mousePressedX, 30);
}

TEST_F(PlayerScreen, RightMiddleAndKeysRecordThePressButSelectNothing)
{
    REQUIRE_OPEN();
    pointAt(30, 60); // GUI (30, 440): PREV
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
    EXPECT_EQ(selectedMask(), 0);
    EXPECT_EQ(get_gui_component(0)->mousePressedX, 30);
    EXPECT_EQ(get_gui_component(0)->mousePressedY, 440);
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE);
    EXPECT_EQ(selectedMask(), 0);
    EXPECT_EQ(get_gui_mouse()->left, 0) << "only a left press latches";

    for (int key : {int(SDLK_ESCAPE), int(SDLK_RETURN), int(SDLK_SPACE)}) {
        testDrainEvents();
        testPushKey(key);
        EXPECT_EQ(menuDraw(), 0) << "keys never end the program";
        EXPECT_EQ(selectedMask(), 0) << "key " << key;
    }
}

TEST_F(PlayerScreen, EdgesCountAndOnlyTheFirstNineComponentsCanBeHit)
{
    REQUIRE_OPEN();
    pointAt(60, 50); // GUI (60, 450): PREV's top-right corner
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 1 << 0);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);

    pointAt(61, 50); // one unit beyond: between PREV and PLAY
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 0);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);

    pointAt(400, 135); // GUI (400, 365): the song label
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 1 << 5);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);

    // Logo line 4 (component 10) lies beyond the hit range.
    pointAt(100, 270); // GUI (100, 230)
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 0);
    EXPECT_EQ(get_gui_component(10)->mousePressedX, 0);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);

    pointAt(100, 190); // GUI (100, 310): logo line 0, component 6
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 1 << 6);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 0) << "a label's selection ends with the release";
}

// Kinds that outlive a frame (outside components 0..5): the check box
// toggles per press and keeps its state over the release, the combo box is
// held open only while pressed, and a press that lands on nothing forgets
// which component the release belongs to.
TEST_F(PlayerScreen, ReleaseRulesFollowTheKind)
{
    REQUIRE_OPEN();
    gui_component_set_type(get_gui_component(7), GUI_CHECK_BOX); // logo line 1, GUI y 280..300
    gui_component_set_type(get_gui_component(8), GUI_COMBO_BOX);  // logo line 2, GUI y 260..280

    pointAt(100, 210); // GUI (100, 290)
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    EXPECT_EQ(get_gui_component(7)->selected, 1) << "checked, and kept over the release";
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    EXPECT_EQ(get_gui_component(7)->selected, 0) << "the second press unchecks";

    pointAt(100, 230); // GUI (100, 270)
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    menuDraw();
    EXPECT_EQ(get_gui_component(8)->selected, 1) << "open while held";
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    EXPECT_EQ(get_gui_component(8)->selected, 0) << "closed by the release";

    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    pointAt(700, 480); // GUI (700, 20): nothing
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    EXPECT_EQ(get_gui_component(8)->selected, 1) << "the release no longer belongs to it";
    EXPECT_EQ(get_gui_mouse()->left, 0) << "but the latch is cleared";

}

TEST_F(PlayerScreen, CloseRequestStopsTheSoundOnceAndEndsForGood)
{
    REQUIRE_OPEN();
    EXPECT_EQ(menuDraw(), 0);
    testDrainEvents();
    testPushQuit();
    // One event a frame: the window system may still slip an event of its
    // own (focus, expose) in ahead of the close request.
    int done = 0;
    for (int frame = 0; frame < 10 && !done; frame++)
        done = menuDraw();
    EXPECT_EQ(done, 1);
    EXPECT_EQ(stopCalls, 1);
    for (int frame = 0; frame < 3; frame++)
        EXPECT_EQ(menuDraw(), 1) << "frame " << frame;
    EXPECT_EQ(stopCalls, 1) << "no more close requests, no more stops";
    menuInit();
    EXPECT_EQ(menuDraw(), 1) << "building the screen again does not undo the close request";
}

// Guards the keys: each stands for its command for exactly the frame that
// takes it (so the main loop acts once per press) and selects nothing
// itself; held down (a second key-down before the key-up), only seeking and
// the volume act again; '<' and '>' are found as typed or as Shift with
// comma and period; Escape and Return stand for nothing.
TEST_F(PlayerScreen, KeysBecomeCommandsAndOnlySeekAndVolumeRepeat)
{
    REQUIRE_OPEN();
    struct {
        int key, mod, unicode;
        playerAction_t action;
        float value;
        bool repeats;
    } keys[] = {
        {SDLK_SPACE, 0, ' ', PLAYER_PLAY_PAUSE, 0, false},
        {SDLK_s, 0, 's', PLAYER_STOP, 0, false},
        {SDLK_PAGEDOWN, 0, 0, PLAYER_NEXT, 0, false},
        {SDLK_PAGEUP, 0, 0, PLAYER_PREVIOUS, 0, false},
        {SDLK_PERIOD, KMOD_LSHIFT, '>', PLAYER_NEXT, 0, false},
        {SDLK_COMMA, KMOD_RSHIFT, 0, PLAYER_PREVIOUS, 0, false},
        {SDLK_LESS, KMOD_LSHIFT, '>', PLAYER_NEXT, 0, false}, // a layout with its own '<' key
        {SDLK_LESS, 0, '<', PLAYER_PREVIOUS, 0, false},
        {SDLK_RIGHT, 0, 0, PLAYER_SEEK_BY, 5, true},
        {SDLK_LEFT, 0, 0, PLAYER_SEEK_BY, -5, true},
        {SDLK_UP, 0, 0, PLAYER_SEEK_BY, 60, true},
        {SDLK_DOWN, 0, 0, PLAYER_SEEK_BY, -60, true},
        {SDLK_0, 0, '0', PLAYER_VOLUME_BY, 5, true},
        {SDLK_9, 0, '9', PLAYER_VOLUME_BY, -5, true},
        {SDLK_m, 0, 'm', PLAYER_MUTE, 0, false},
        {SDLK_z, 0, 'z', PLAYER_SHUFFLE, 0, false},
        {SDLK_r, 0, 'r', PLAYER_REPEAT, 0, false},
        {SDLK_ESCAPE, 0, 27, PLAYER_NONE, 0, false},
        {SDLK_RETURN, 0, 13, PLAYER_NONE, 0, false},
    };
    fakeClockInstall();
    timerInit(-1.0f);
    // Other tests' windows on the same display take the focus now and then,
    // and a focus loss rightly forgets held keys: not what is judged here.
    SDL_EventState(SDL_ACTIVEEVENT, SDL_IGNORE);
    double now = 1.0;
    for (auto k : keys) {
        fakeClockUpdateTo(now += 1.0);
        testDrainEvents();
        testPushKey(k.key, SDL_KEYDOWN, k.mod, k.unicode);
        EXPECT_EQ(menuDraw(), 0);
        EXPECT_EQ(selectedMask(), 0) << "the main loop acts, not the screen";
        playerCommand_t command = menuTakeCommand();
        EXPECT_EQ(command.action, k.action) << "key " << k.key;
        EXPECT_EQ(command.value, k.value) << "key " << k.key;
        EXPECT_EQ(menuTakeCommand().action, PLAYER_NONE) << "taken once";
        // A second key-down before the release (a system's own repeat) is
        // no second press; held past half a second, only seeking and the
        // volume act again, on the frame timer.
        testPushKey(k.key, SDL_KEYDOWN, k.mod, k.unicode);
        menuDraw();
        EXPECT_EQ(menuTakeCommand().action, PLAYER_NONE) << "key " << k.key << " pressed again while down";
        fakeClockUpdateTo(now += 0.6);
        menuDraw();
        EXPECT_EQ(menuTakeCommand().action, k.repeats ? k.action : PLAYER_NONE) << "key " << k.key << " held";
        testPushKey(k.key, SDL_KEYUP, k.mod);
        menuDraw();
        EXPECT_EQ(menuTakeCommand().action, PLAYER_NONE) << "a release acts on nothing";
        fakeClockUpdateTo(now += 0.6);
        menuDraw();
        EXPECT_EQ(menuTakeCommand().action, PLAYER_NONE) << "key " << k.key << " released: no repeat";
    }
    SDL_EventState(SDL_ACTIVEEVENT, SDL_ENABLE);
    fakeClockRemove();
    testPushKey(SDLK_SPACE);
    menuDraw();
    menuDraw();
    EXPECT_EQ(menuTakeCommand().action, PLAYER_NONE) << "the command lasts one frame";
}

// The media keys have no symbol of their own in this SDL: they must be
// recognised from the window system's event, as a real keyboard sends it.
TEST_F(PlayerScreen, MediaKeysFromTheWindowSystemBecomeCommands)
{
    REQUIRE_OPEN();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "needs X11 and xdotool";
    struct {
        const char* name;
        playerAction_t action;
    } keys[] = {{"XF86AudioPlay", PLAYER_PLAY_PAUSE}, {"XF86AudioPause", PLAYER_PLAY_PAUSE},
                {"XF86AudioStop", PLAYER_STOP},       {"XF86AudioNext", PLAYER_NEXT},
                {"XF86AudioPrev", PLAYER_PREVIOUS}};
    for (auto k : keys) {
        testDrainEvents();
        std::string command = "xdotool key --window " + std::to_string(info.info.x11.window) + " " + k.name;
        ASSERT_EQ(system(command.c_str()), 0);
        // The window system's events of one key come over a few frames,
        // one a frame; none of them may stand for anything else.
        std::vector<playerAction_t> taken;
        for (int frame = 0, after = 0; frame < 200 && after < 5; frame++, after += !taken.empty()) {
            menuDraw();
            playerCommand_t c = menuTakeCommand();
            if (c.action != PLAYER_NONE)
                taken.push_back(c.action);
        }
        EXPECT_EQ(taken, std::vector<playerAction_t>{k.action}) << k.name;
    }
}

// Guards the state the player adds around the time line: every text at its
// place and nothing over the song label, the logo or the buttons (their
// cells compared pixel by pixel); the progress bar fills to the position
// and is gone while stopped; a title beyond ASCII is centred on what is
// drawn; the volume shows large only after it changes.
TEST_F(PlayerScreen, PlayerStateIsDrawnInFreeSlotsAroundTheTimeLine)
{
    REQUIRE_OPEN();
    EXPECT_EQ(get_gui_component(MENU_TIME_LINE)->type, GUI_NONE) << "not part of the screen on its own";
    menuAddTimeLine();
    gui_component_set_text(get_gui_component(5), menuSongLabel("Premi\xc3\xa8re Lumi\xc3\xa8re", "x.ogg"));
    menuPlayerState_t state = {MENU_PLAYING, 83.99f, 184, 55, 0, 1, MENU_REPEAT_ONE, 0, 0,
                               "Caf\xc3\xa9 \xe2\x80\x9cNoir\xe2\x80\x9d", ""};
    menuSetPlayerState(&state);
    menuDraw();
    // Centred over 80 cells: raster x (80 - n) * 5; right-aligned over the
    // 29 cells from x 500: 500 + (29 - n) * 10.
    EXPECT_TRUE(testTextAt("Premiere Lumiere", 320, 360, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("1:23 / 3:04", 345, 325, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("Cafe \"Noir\"", 3, 325, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("vol 55%", 720, 325, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("> playing", 263, 420, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("shuffle on   repeat one", 263, 400, WHITE, BLACK));
    EXPECT_TRUE(testTextAt(get_gui_component(6)->text, 3, 305, WHITE, BLACK)) << "the logo stays";
    EXPECT_TRUE(testTextAt("PLAY", 75, 420, WHITE, BLACK)) << "the buttons stay";
    // 84 / 184 of the bar's 400 units are filled: up to x 382.
    EXPECT_EQ(testReadPixel(300, 319), WHITE);
    EXPECT_EQ(testReadPixel(390, 319), BLACK);
    EXPECT_EQ(testReadPixel(600, 470), BLACK) << "no volume shown before it changes";

    state.volume = 60;
    menuSetPlayerState(&state);
    menuDraw();
    EXPECT_TRUE(testTextAt("VOLUME 60%", 690, 475, WHITE, BLACK));
    EXPECT_EQ(testReadPixel(700, 461), WHITE) << "the meter, 60 % of 200 units from x 590";
    EXPECT_EQ(testReadPixel(785, 461), BLACK);

    state = {MENU_STOPPED, 0, 184, 60, 1, 0, MENU_REPEAT_OFF, 1, 0, "", ""};
    menuSetPlayerState(&state);
    menuDraw();
    EXPECT_TRUE(testTextAt("stopped", 365, 325, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("[] list ended", 263, 420, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("shuffle off   repeat off", 263, 400, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("muted", 740, 325, WHITE, BLACK));
    EXPECT_EQ(testReadPixel(300, 319), BLACK) << "no bar while stopped";

    state = {MENU_PAUSED, 7261.5f, -1, 60, 1, 0, MENU_REPEAT_LIST, 0, 1, "", "reconnecting..."};
    menuSetPlayerState(&state);
    menuDraw();
    EXPECT_TRUE(testTextAt("121:01 live", 345, 325, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("|| paused", 263, 420, WHITE, BLACK));
    EXPECT_TRUE(testTextAt("reconnecting...", 640, 420, WHITE, BLACK));

    // The time line alone, as the callers of menuSetPlayTime use it.
    menuSetPlayTime(1, 7.1f, 6);
    EXPECT_STREQ(get_gui_component(MENU_TIME_LINE)->text, "0:06 / 0:06") << "never past the length";
    menuSetPlayTime(0, 12.0f, 60);
    EXPECT_STREQ(get_gui_component(MENU_TIME_LINE)->text, "");
}

// A press on the progress bar seeks to where it lands, a drag goes on
// seeking (as far as the bar's ends), the release ends it; nothing else,
// nor the bar of a song not playing, seeks.
TEST_F(PlayerScreen, ProgressBarClickAndDragSeek)
{
    REQUIRE_OPEN();
    menuAddTimeLine();
    menuPlayerState_t state = {MENU_PLAYING, 10, 200, 100, 0, 0, MENU_REPEAT_LIST, 0, 0, "", ""};
    menuSetPlayerState(&state);
    auto next = [](int type, int x, int y) {
        testDrainEvents();
        if (type == SDL_MOUSEMOTION)
            testPushMotion(x, 500 - y);
        else
            testPushButton(type, SDL_BUTTON_LEFT, x, 500 - y);
        menuDraw();
        return menuTakeCommand();
    };
    playerCommand_t c = next(SDL_MOUSEBUTTONDOWN, 300, 319);
    EXPECT_EQ(c.action, PLAYER_SEEK_TO);
    EXPECT_FLOAT_EQ(c.value, 50.0f);
    c = next(SDL_MOUSEMOTION, 500, 340); // off the bar, still held
    EXPECT_EQ(c.action, PLAYER_SEEK_TO);
    EXPECT_FLOAT_EQ(c.value, 150.0f);
    c = next(SDL_MOUSEMOTION, 790, 319);
    EXPECT_FLOAT_EQ(c.value, 200.0f);
    EXPECT_EQ(next(SDL_MOUSEBUTTONUP, 790, 319).action, PLAYER_NONE);
    EXPECT_EQ(next(SDL_MOUSEMOTION, 400, 319).action, PLAYER_NONE) << "released";
    next(SDL_MOUSEBUTTONDOWN, 300, 319);
    testDrainEvents();
    testPushMotion(400, 181, 0); // released outside the window
    menuDraw();
    EXPECT_EQ(menuTakeCommand().action, PLAYER_NONE) << "no button held, no drag";
    EXPECT_EQ(next(SDL_MOUSEBUTTONDOWN, 400, 335).action, PLAYER_NONE) << "the time line";
    next(SDL_MOUSEBUTTONUP, 400, 335);
    state.status = MENU_STOPPED;
    menuSetPlayerState(&state);
    EXPECT_EQ(next(SDL_MOUSEBUTTONDOWN, 300, 319).action, PLAYER_NONE) << "no bar, no seek";
}

// The screen is stretched over a 1024 x 768 window: a click on what the user
// sees must land on that button.
TEST_F(PlayerScreen, ClicksLandOnWhatIsDrawnInA1024x768Window)
{
    menuDeinit();
    open(1024, 768);
    REQUIRE_OPEN();
    menuDraw();
    // PLAY's text starts at GUI (75, 420): window (96, 645) from the bottom.
    bool inked = false;
    for (int y = 640; y < 660; y++)
        for (int x = 94; x < 106; x++)
            inked = inked || testReadPixel(x, y) == WHITE;
    EXPECT_TRUE(inked) << "PLAY is drawn where the stretched layout puts it";

    pointAt(121, 115); // over the drawn PLAY: GUI (94, 426)
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 1 << 1);
    EXPECT_EQ(get_gui_component(1)->mousePressedX, 94);
    EXPECT_EQ(get_gui_component(1)->mousePressedY, 426);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);

    pointAt(306, 115); // over the drawn NEXT: GUI (239, 426)
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 1 << 4);
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);

    pointAt(0, 767); // the bottom-left pixel: GUI (0, 1)
    frameWith(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    EXPECT_EQ(selectedMask(), 0) << "the pause slot at GUI (0, 0) is out of reach";
    frameWith(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
}

} // namespace
