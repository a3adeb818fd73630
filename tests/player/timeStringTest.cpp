#include "system/player/timeString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace {

// Reading: the forms people write on the timeline and on the command line.
TEST(TimeStringRead, MinutesSecondsAndFraction)
{
    EXPECT_FLOAT_EQ(convertTimeToSeconds("2:08"), 128.0f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("#2:08"), 128.0f) << "# marks absolute, same value";
    EXPECT_FLOAT_EQ(convertTimeToSeconds("0:05.250"), 5.25f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("1:30 .5"), 90.5f) << "blanks before the fraction";
    EXPECT_FLOAT_EQ(convertTimeToSeconds("1:-5"), 55.0f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("0:75"), 75.0f) << "seconds past 59 are kept";
}

TEST(TimeStringRead, MissingPartsCountAsZero)
{
    EXPECT_FLOAT_EQ(convertTimeToSeconds("90"), 5400.0f) << "no colon: minutes only";
    EXPECT_FLOAT_EQ(convertTimeToSeconds("1:"), 60.0f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds(""), 0.0f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("abc"), 0.0f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("##1:00"), 0.0f) << "only one # is skipped";
}

TEST(TimeStringRead, SpecialValues)
{
    EXPECT_FLOAT_EQ(convertTimeToSeconds(nullptr), -1.0f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("N/A"), -1.0f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("1:30x"), -2.0f);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("1:30,5"), -2.0f);
}

// A fraction longer than the reader's buffer once overflowed it; it must be
// cut safely, and huge minute counts must not overflow the integer sum.
TEST(TimeStringRead, HostileTextsStayInBounds)
{
    EXPECT_NEAR(convertTimeToSeconds("1:30.123456789012345"), 90.123456f, 1e-4);
    std::string longText = "1:00." + std::string(10000, '9');
    EXPECT_NEAR(convertTimeToSeconds(longText.c_str()), 61.0f, 1e-4);
    EXPECT_FLOAT_EQ(convertTimeToSeconds("2147483647:59"), float(2147483647.0 * 60 + 59));
    EXPECT_FLOAT_EQ(convertTimeToSeconds("-2147483648:00"), float(-2147483648.0 * 60));
}

std::string written(float seconds, bool absolute = false)
{
    char text[16];
    memset(text, 'z', sizeof text);
    if (absolute)
        convertSecondsToAbsoluteTime(seconds, text);
    else
        convertSecondsToTime(seconds, text);
    EXPECT_NE(memchr(text, 0, sizeof text), nullptr) << "terminated inside 16 characters";
    return text;
}

// Writing truncates every part, never rounds.
TEST(TimeStringWrite, TruncatedFields)
{
    EXPECT_EQ(written(128.0f), "2:08.000");
    EXPECT_EQ(written(128.0f, true), "#2:08.000");
    EXPECT_EQ(written(2.3f), "0:02.299");
    EXPECT_EQ(written(59.9999f), "0:59.999");
    EXPECT_EQ(written(3725.004f), "62:05.003") << "float below 3725.004";
}

// Large times are written by the same rule, not clamped; only the buffer
// bounds them, and a float no int can hold still gives whole minutes.
TEST(TimeStringWrite, NegativeAndExtremeSecondsAreWrittenSafely)
{
    EXPECT_EQ(written(-0.5f), "-0:00.500");
    EXPECT_EQ(written(-90.25f, true), "#-1:30.250");
    EXPECT_EQ(written(6000000.0f), "100000:00.000");
    EXPECT_EQ(written(-6000059.0f, true), "#-100000:59.000");
    // The float nearest 1e30 is 1000000015047466219876688855040 s.
    EXPECT_EQ(written(1e30f, true), "#16666666917457") << "cut at 16 characters";
    EXPECT_EQ(written(std::numeric_limits<float>::infinity()), "N/A");
    EXPECT_EQ(written(std::numeric_limits<float>::quiet_NaN()), "N/A");
}

TEST(TimeStringWrite, ReadsBackWithinOneMillisecond)
{
    for (float t : {0.0f, 0.001f, 1.5f, 59.999f, 60.0f, 754.321f, 5999.9f}) {
        float back = convertTimeToSeconds(written(t).c_str());
        EXPECT_LE(back, t) << t;
        EXPECT_GE(back, t - 0.0011f) << t;
    }
}

} // namespace
