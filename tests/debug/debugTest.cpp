#include "system/debug/debugOpenGl.h"
#include "system/debug/debugPrint.h"
#include "system/timer/timer.h"
#include "tests/support/fakeClock.h"
#include "tests/support/glWindow.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

class DebugPrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeClockInstall();
        timerInit(-1.0f);
        setDebugStyle(DEBUG_STYLE_PLAIN);
    }
    void TearDown() override
    {
        setDebugStyle(DEBUG_STYLE_PLAIN);
        fakeClockRemove();
    }

    static std::string printed(const char* message)
    {
        testing::internal::CaptureStdout();
        __debugPrintf("%s", message);
        return testing::internal::GetCapturedStdout();
    }
};

// The line format is read by people and by log scrapers alike.
TEST_F(DebugPrintTest, LinesCarryTheTimeStampAndTheLevelWord)
{
    fakeClockUpdateTo(0.5);
    setDebugStyle(DEBUG_STYLE_WARNING);
    EXPECT_EQ(printed("x"), "[0:00.500] WARNING: x\n");
    setDebugStyle(DEBUG_STYLE_PLAIN);
    EXPECT_EQ(printed("x"), "[0:00.500] x\n");
    setDebugStyle(DEBUG_STYLE_ERROR);
    EXPECT_EQ(printed("x"), "[0:00.500] ERROR: x\n");
    setDebugStyle(DEBUG_STYLE_NOTE);
    EXPECT_EQ(printed("x"), "[0:00.500] NOTE: x\n");
    setDebugStyle(7);
    EXPECT_EQ(printed("x"), "");
    setDebugStyle(-1);
    EXPECT_EQ(printed("x"), "");
}

TEST_F(DebugPrintTest, StampsCountMinutesPastAnHour)
{
    fakeClockUpdateTo(75.25);
    EXPECT_EQ(printed("m"), "[1:15.250] m\n");
    fakeClockUpdateTo(3725.004);
    EXPECT_EQ(printed("m"), "[62:05.004] m\n");
}

TEST_F(DebugPrintTest, LongMessagesArePrintedWhole)
{
    for (size_t length : {127u, 128u, 129u, 5000u}) {
        std::string message(length, 'q');
        EXPECT_EQ(printed(message.c_str()), "[0:00.000] " + message + "\n") << length;
    }
}

// The error report against a real driver: errors raised on purpose.
class OpenGlErrorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_GL_WINDOW(320, 200);
        while (glGetError() != GL_NO_ERROR) {
        }
        debugOpenGlReset();
    }
};

TEST_F(OpenGlErrorTest, NewErrorsAreToldFromRepeatedOnes)
{
    EXPECT_EQ(isOpenGlError(), 0);
    glEnable(0xFFFF); // GL_INVALID_ENUM
    EXPECT_EQ(isOpenGlError(), 2);
    EXPECT_EQ(getOpenGlError(), GL_INVALID_ENUM);
    printOpenGlErrors();
    EXPECT_EQ(getOpenGlError(), 0) << "drained";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    glEnable(0xFFFF);
    EXPECT_EQ(isOpenGlError(), 1) << "the same code again";
    printOpenGlErrors();
    glLineWidth(-1.0f); // GL_INVALID_VALUE
    EXPECT_EQ(isOpenGlError(), 2) << "a different code";
    printOpenGlErrors();
}

TEST_F(OpenGlErrorTest, StackErrorsAreNeitherReportedNorRecorded)
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix(); // GL_STACK_UNDERFLOW
    EXPECT_EQ(isOpenGlError(), 0);
    printOpenGlErrors();
    glEnable(0xFFFF);
    EXPECT_EQ(isOpenGlError(), 2) << "the underflow was not recorded as the previous error";
    printOpenGlErrors();
}

} // namespace
