// Titles reach the raster font folded to its codes 32..126. Guards against
// a letter lost or kept as bytes the font cannot draw (the label would be
// off centre), a sequence that reads past its text, and a fold cut in half.

#include "system/ui/window/textFold.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TextFold, LatinLettersBecomeTheirBaseLettersAndTheRestIsDropped)
{
    struct {
        const char *in, *out;
    } cases[] = {
        {"Premi\xc3\xa8re Lumi\xc3\xa8re", "Premiere Lumiere"},
        {"Stra\xc3\x9f" "e \xc3\x98resund \xc3\x86gir \xc3\xa6on", "Strasse Oresund AEgir aeon"},
        {"\xc5\x92uvre \xc5\x93il \xc5\x81\xc3\xb3" "d\xc5\xba Espa\xc3\xb1" "a", "OEuvre oeil Lodz Espana"},
        {"\xc3\x80\xc3\x85\xc3\x87\xc3\x90\xc3\x9d\xc3\x9e\xc3\xbf\xc4\x9f\xc4\xb0\xc4\xb1\xc5\xbe\xc5\xbf", "AACDYTHygIizs"},
        {"\xc8\x98tef\xc4\x83n\xc8\x9b", "Stefant"},
        {"\xe2\x80\x9cIt\xe2\x80\x99s\xe2\x80\x9d \xe2\x80\x93 live\xe2\x80\xa6", "\"It's\" - live..."},
        {"\xc2\xa0" "a\xc2\xad" "b\xc2\xb0", " ab"}, // no-break space, soft hyphen, degree
        {"\xe6\x9d\xb1\xe4\xba\xac", ""},             // Japanese: nothing to draw
        {"a\x01\x7f" "b\tc", "abc"},                  // control codes
        {"\x80" "a\xc3" "b\xc0\xaf" "c\xed\xa0\x80" "d\xf4\x90\x80\x80" "e", "abcde"}, // broken, overlong, surrogate, past U+10FFFF
        {"end\xe2\x80", "end"},                       // cut short at the end
    };
    for (auto c : cases) {
        char out[64];
        EXPECT_EQ(textFoldToAscii(c.in, out, sizeof out), strlen(c.out)) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
    for (int code = 0xA0; code <= 0x17F; code++) { // every fold is drawable
        char in[3] = {char(0xC0 | code >> 6), char(0x80 | (code & 0x3F)), 0}, out[8];
        textFoldToAscii(in, out, sizeof out);
        for (const char* at = out; *at; at++)
            EXPECT_TRUE(*at >= 32 && *at <= 126) << "U+" << std::hex << code;
    }
    char small[5];
    EXPECT_EQ(textFoldToAscii("abc\xc3\x9f", small, sizeof small), 3u) << "ss does not fit whole";
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(textFoldToAscii(nullptr, small, sizeof small), 0u);
}

} // namespace
