// The player start-up with a real OpenGL context: the loading bar frames as
// they are presented, the OpenGL state it leaves, the exit request, and the
// per-frame runner.

#include "system/player/player.h"
#include "system/timer/timer.h"
#include "system/ui/input/inputSdl.h"
#include "tests/support/fakeClock.h"
#include "tests/support/glWindow.h"

#include <GL/gl.h>
#include <SDL.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// What one loading-bar frame showed, read back before it was presented.
struct loadingFrame_t {
    int barEnd;     // first column right of the bar on row 300 (300: no bar)
    int barGrey;    // the bar, inside its left end
    int frameGrey;  // the frame's lower edge
    int inside;     // inside the frame, right of a short bar
    int background; // far from the bar
    int initsSoFar;
};

std::vector<loadingFrame_t> frames;
std::vector<std::string> calls;

void captureFrame(void)
{
    loadingFrame_t frame;
    int x = 300;
    while (x < 503 && testReadPixel(x, 300).r < 200)
        x++;
    frame.barEnd = x;
    frame.barGrey = testReadPixel(310, 300).r;
    frame.frameGrey = testReadPixel(400, 293).r;
    frame.inside = testReadPixel(503, 300).r;
    frame.background = testReadPixel(100, 100).r;
    frame.initsSoFar = int(calls.size());
    frames.push_back(frame);
}

void recordInit(void* scene)
{
    EXPECT_EQ(getPlayerSceneCurrent(), scene) << "the scene being initialised is current";
    calls.push_back(std::string("init ") + static_cast<playerScene*>(scene)->name);
}

void recordDeinit(void* scene)
{
    calls.push_back(std::string("deinit ") + static_cast<playerScene*>(scene)->name);
}

// The user closes the window while this scene initialises.
void initThenQuit(void* scene)
{
    recordInit(scene);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

std::vector<float> runTimes;

void recordRun(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    EXPECT_EQ(getPlayerSceneCurrent(), self);
    calls.push_back(std::string("run ") + self->name);
    runTimes.push_back(self->time.absolute);
    // A scene may leave its transform behind; the runner restores it.
    glTranslatef(1, 2, 3);
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL_WINDOW(800, 600);
        SDL_Event stale;
        while (SDL_PollEvent(&stale)) {
        }
        inputInit(); // the exit request latches; every test starts without one
        fakeClockInstall();
        timerInit(-1.0f);
        playerReset();
        playerSetPresent(captureFrame);
        frames.clear();
        calls.clear();
        runTimes.clear();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override
    {
        playerReset();
        inputInit();
        fakeClockRemove();
    }

    static void addScenes(int count, playerSceneCallback_t init)
    {
        static const char* names[] = {"s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8", "s9", "s10",
                                      "s11", "s12", "s13", "s14", "s15", "s16", "s17", "s18", "s19"};
        for (int i = 0; i < count; i++)
            addPlayerScene(names[i], "0:00", "0:01", init, nullptr, recordDeinit);
    }
};

TEST_F(StartupTest, WithoutScenesOneFullBlackBarOnWhite)
{
    playerInit();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].barEnd, 500);
    EXPECT_EQ(frames[0].barGrey, 0) << "faded out: black";
    EXPECT_EQ(frames[0].frameGrey, 0);
    EXPECT_EQ(frames[0].background, 255) << "white clear colour";
}

TEST_F(StartupTest, TwoScenesThreeFramesEachBeforeItsInitialiser)
{
    addPlayerScene("first", "0:00", "0:01", recordInit, nullptr, nullptr);
    addPlayerScene("no init", "0:00", "0:01", nullptr, nullptr, nullptr);
    playerInit();
    ASSERT_EQ(frames.size(), 3u) << "a scene without init still gets its frame";
    int ends[] = {366, 433, 500};
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(frames[i].barEnd, ends[i]) << "frame " << i;
    EXPECT_EQ(frames[0].initsSoFar, 0);
    EXPECT_EQ(frames[1].initsSoFar, 1);
    EXPECT_EQ(calls, std::vector<std::string>{"init first"});
    EXPECT_NEAR(frames[0].barGrey, 77, 1) << "0.3 grey";
    EXPECT_NEAR(frames[0].frameGrey, 153, 1) << "0.6 grey";
    EXPECT_EQ(frames[0].inside, 255);
    EXPECT_EQ(frames[2].barGrey, 0);
    EXPECT_EQ(frames[2].frameGrey, 0);
}

TEST_F(StartupTest, NineScenesGrowByTwentyAndFadeOnlyAfterNinetyPercent)
{
    addScenes(9, recordInit);
    playerInit();
    ASSERT_EQ(frames.size(), 10u);
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(frames[i].barEnd, 320 + 20 * i) << "frame " << i;
        EXPECT_EQ(frames[i].initsSoFar, i);
    }
    EXPECT_NEAR(frames[8].barGrey, 77, 1) << "still full at 90 %";
    EXPECT_EQ(frames[9].barGrey, 0);
    EXPECT_EQ(calls.size(), 9u);

    // The fade itself, below what a pixel shows.
    for (uint32_t step = 1; step <= 8; step++)
        EXPECT_EQ(playerLoadingBarAt(step, 9).fadeOut, 1.0) << "step " << step;
    double at90 = playerLoadingBarAt(9, 9).fadeOut;
    EXPECT_LT(at90, 1.0);
    EXPECT_GT(at90, 0.9999);
    EXPECT_EQ(playerLoadingBarAt(10, 9).fadeOut, 0.0);
}

TEST_F(StartupTest, NineteenScenesAreAtHalfIntensityAtNinetyFivePercent)
{
    addScenes(19, nullptr);
    playerInit();
    ASSERT_EQ(frames.size(), 20u);
    EXPECT_NEAR(frames[18].frameGrey, 76, 1) << "0.6 x just below 0.5";
    EXPECT_NEAR(frames[18].barGrey, 38, 1) << "0.3 x just below 0.5";
    double fade = playerLoadingBarAt(19, 19).fadeOut;
    EXPECT_LT(fade, 0.5);
    EXPECT_GT(fade, 0.4999);
}

TEST_F(StartupTest, LeavesTheOpenGlStateTheProgramAssumes)
{
    playerInit();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_TRUE(glIsEnabled(GL_POINT_SMOOTH));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S)) << "configured, not enabled";
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &value);
    EXPECT_EQ(value, GL_GREATER);
    GLfloat ref = 0;
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_NEAR(ref, 0.1f, 1e-6);
    glGetIntegerv(GL_LINE_SMOOTH_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    glGetIntegerv(GL_POINT_SMOOTH_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    GLfloat clear[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2] + clear[3], 4.0f) << "white";
    GLfloat depth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);

    const GLenum coordinates[4] = {GL_S, GL_T, GL_R, GL_Q};
    for (int c = 0; c < 4; c++) {
        GLint mode = 0;
        glGetTexGeniv(coordinates[c], GL_TEXTURE_GEN_MODE, &mode);
        EXPECT_EQ(mode, GL_EYE_LINEAR) << "coordinate " << c;
        GLfloat plane[4] = {-1, -1, -1, -1};
        glGetTexGenfv(coordinates[c], GL_EYE_PLANE, plane);
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(plane[k], k == c ? 1.0f : 0.0f) << "coordinate " << c << " component " << k;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(StartupTest, ExitRequestDuringLoadingSkipsTheRemainingInitialisers)
{
    addPlayerScene("a", "0:00", "0:01", recordInit, nullptr, recordDeinit);
    addPlayerScene("b", "0:00", "0:01", initThenQuit, nullptr, recordDeinit);
    addPlayerScene("c", "0:00", "0:01", recordInit, nullptr, recordDeinit);
    addPlayerScene("d", "0:00", "0:01", recordInit, nullptr, recordDeinit);
    playerInit();
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_EQ(calls, (std::vector<std::string>{"init a", "init b"}));
    playerDeinit();
    EXPECT_EQ(calls, (std::vector<std::string>{"init a", "init b", "deinit a", "deinit b",
                                               "deinit c", "deinit d"}))
        << "every scene is still cleaned up";
}

TEST_F(StartupTest, ExitRequestedBeforeStartUpDrawsNothing)
{
    addScenes(3, recordInit);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    playerInit();
    EXPECT_TRUE(frames.empty());
    EXPECT_TRUE(calls.empty());
    GLfloat clear[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 1.0f) << "the OpenGL state is set all the same";
}

TEST_F(StartupTest, RunnerTakesStartInclusiveAndEndExclusive)
{
    addPlayerScene("span", "0:10", "0:05", nullptr, recordRun, nullptr);
    for (double t : {9.99, 10.0, 12.0, 14.99, 15.0, 20.0}) {
        fakeClockUpdateTo(t);
        playerRun();
    }
    ASSERT_EQ(runTimes.size(), 3u);
    EXPECT_FLOAT_EQ(runTimes[0], 10.0f);
    EXPECT_FLOAT_EQ(runTimes[1], 12.0f);
    EXPECT_FLOAT_EQ(runTimes[2], 14.99f);
}

TEST_F(StartupTest, RunnerRunsEveryOnSceneInOrderAndRestoresTheMatrix)
{
    addPlayerScene("a", "0:00", "0:10", nullptr, recordRun, nullptr);
    addPlayerScene("no run", "0:00", "0:10", nullptr, nullptr, nullptr);
    addPlayerScene("later", "0:05", "0:10", nullptr, recordRun, nullptr);
    addPlayerScene("b", "0:01", "0:10", nullptr, recordRun, nullptr);
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    fakeClockUpdateTo(2.0);
    playerRun();
    EXPECT_EQ(calls, (std::vector<std::string>{"run a", "run b"}));
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    GLfloat matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_EQ(matrix[12] + matrix[13] + matrix[14], 0.0f) << "the scenes' translations were popped";
    EXPECT_FLOAT_EQ(getPlayerScene("b")->time.percent, 0.1f);
    EXPECT_EQ(getPlayerScene("no run")->time.absolute, 0.0f) << "skipped, not populated";
}

} // namespace
