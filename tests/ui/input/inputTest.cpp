#include "system/timer/timer.h"
#include "system/ui/input/inputSdl.h"
#include "tests/support/fakeClock.h"
#include "tests/support/glWindow.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

// Real SDL events through a real event queue (Xvfb), with the frame timer on
// a fake clock so the key waits can be stepped exactly.
class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL_WINDOW(800, 500);
        fakeClockInstall();
        timerInit(-1.0f);
        timerUpdate();
        drain();
        inputInit();
    }
    void TearDown() override
    {
        fakeClockRemove();
        inputInit();
    }

    static void drain()
    {
        SDL_Event e;
        SDL_PumpEvents();
        while (SDL_PollEvent(&e)) {
        }
    }
    static void key(SDLKey sym, bool down)
    {
        SDL_Event e = {};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = sym;
        ASSERT_EQ(SDL_PushEvent(&e), 0);
    }
    static void button(bool down)
    {
        SDL_Event e = {};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        ASSERT_EQ(SDL_PushEvent(&e), 0);
    }
    static void at(double seconds) { fakeClockUpdateTo(seconds); }
};

TEST_F(InputTest, EmptyQueueClearsTheOneShotFlags)
{
    enterPressed = f1Pressed = f2Pressed = deletePressed = zPressed = buttonReleased = 1;
    ctrlPressed = 1;
    EXPECT_EQ(isUserExit(), 0);
    EXPECT_EQ(enterPressed | f1Pressed | f2Pressed | deletePressed | zPressed | buttonReleased, 0);
    EXPECT_EQ(ctrlPressed, 1) << "held flags live until their release";
}

// The exit request is a latch: once asked, the program is leaving, and the
// queue is not touched again.
TEST_F(InputTest, QuitAndEscapeLatchTheExitRequest)
{
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    key(SDLK_RETURN, true);
    EXPECT_EQ(isUserExit(), 1);
    EXPECT_EQ(isUserExit(), 1);
    EXPECT_EQ(inputQuitRequested(), 1) << "the window's close is told apart";
    EXPECT_EQ(enterPressed, 0);
    SDL_Event left;
    EXPECT_EQ(SDL_PeepEvents(&left, 1, SDL_PEEKEVENT, SDL_ALLEVENTS), 1) << "events after the quit stay queued";

    drain();
    inputInit();
    key(SDLK_ESCAPE, true);
    EXPECT_EQ(isUserExit(), 1);
    EXPECT_EQ(inputQuitRequested(), 0) << "Escape only cuts a loading short";
    inputInit();
    key(SDLK_ESCAPE, false);
    EXPECT_EQ(isUserExit(), 1) << "an Escape release counts too";
}

TEST_F(InputTest, MouseButtonWaitsATenthOfASecond)
{
    at(1.0);
    button(true);
    EXPECT_EQ(isUserExit(), 0);
    EXPECT_EQ(buttonPressed, 1);
    button(false);
    at(1.05);
    button(true);
    EXPECT_EQ(isUserExit(), 0);
    EXPECT_EQ(buttonPressed, 0) << "second press within 0.1 s is not accepted";
    EXPECT_EQ(buttonReleased, 1);
    at(1.12);
    button(true);
    EXPECT_EQ(isUserExit(), 0);
    EXPECT_EQ(buttonPressed, 1) << "the refused press did not renew the wait";
}

TEST_F(InputTest, ReleasesCountLikePressesAfterTheWait)
{
    at(1.0);
    key(SDLK_RETURN, true);
    isUserExit();
    EXPECT_EQ(enterPressed, 1);
    at(1.1);
    key(SDLK_RETURN, false);
    isUserExit();
    EXPECT_EQ(enterPressed, 0) << "release 0.1 s after the press";

    inputInit();
    at(2.0);
    key(SDLK_RETURN, true);
    isUserExit();
    at(2.3);
    key(SDLK_RETURN, false);
    isUserExit();
    EXPECT_EQ(enterPressed, 1) << "release 0.3 s after the press sets it again";
}

TEST_F(InputTest, ModifiersAreHeldUntilReleasedInTheSameCall)
{
    at(1.0);
    key(SDLK_LCTRL, true);
    isUserExit();
    EXPECT_EQ(ctrlPressed, 1);
    key(SDLK_RCTRL, false);
    isUserExit();
    EXPECT_EQ(ctrlPressed, 0);

    at(2.0);
    key(SDLK_LSHIFT, true);
    key(SDLK_LSHIFT, false);
    isUserExit();
    EXPECT_EQ(shiftPressed, 0) << "press and release in one call";
}

TEST_F(InputTest, OneShotKeysWaitTwoTenths)
{
    struct { SDLKey sym; unsigned char* flag; } keys[] = {
        {SDLK_z, &zPressed}, {SDLK_DELETE, &deletePressed}, {SDLK_F1, &f1Pressed}, {SDLK_F2, &f2Pressed}};
    for (auto k : keys) {
        inputInit();
        at(10.0);
        key(k.sym, true);
        isUserExit();
        EXPECT_EQ(*k.flag, 1) << k.sym;
        at(10.2);
        key(k.sym, true);
        isUserExit();
        EXPECT_EQ(*k.flag, 0) << "exactly the wait later is not later" << k.sym;
        at(10.21);
        key(k.sym, true);
        isUserExit();
        EXPECT_EQ(*k.flag, 1) << k.sym;
    }
}

TEST_F(InputTest, DigitKeysChooseThePointSpacing)
{
    const signed char expected[9] = {5, 10, 15, 20, 25, 25, 30, 35, 40};
    for (int i = 0; i < 9; i++) {
        key(SDLKey(SDLK_1 + i), true);
        isUserExit();
        EXPECT_EQ(lineRedraw, expected[i]) << "key " << i + 1;
    }
    key(SDLK_0, true);
    isUserExit();
    EXPECT_EQ(lineRedraw, 40) << "key 0 does nothing";
}

TEST_F(InputTest, PageKeysChangeTheLineWidthWithoutWrapping)
{
    key(SDLK_PAGEUP, true);
    key(SDLK_PAGEUP, false);
    isUserExit();
    EXPECT_EQ(lineWidth, 5u) << "press and release both count";
    for (int i = 0; i < 10; i++)
        key(SDLK_PAGEDOWN, true);
    isUserExit();
    EXPECT_EQ(lineWidth, 0u) << "stops at zero instead of wrapping";
}

// Other test processes share the X pointer and may put windows over ours, so
// the warp is repeated until SDL reports it.
bool pointerAt(int x, int y)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        SDL_WarpMouse(Uint16(x), Uint16(y));
        SDL_PumpEvents();
        int sx = -1, sy = -1;
        SDL_GetMouseState(&sx, &sy);
        if (sx == x && sy == y)
            return true;
        SDL_Delay(20);
    }
    return false;
}

TEST_F(InputTest, PointerIsFlippedToBottomLeftOrigin)
{
    ASSERT_TRUE(pointerAt(40, 0));
    isUserExit();
    EXPECT_EQ(mouseX, 40);
    EXPECT_EQ(mouseY, 500);
    ASSERT_TRUE(pointerAt(40, 499));
    isUserExit();
    EXPECT_EQ(mouseY, 1);
}

} // namespace
