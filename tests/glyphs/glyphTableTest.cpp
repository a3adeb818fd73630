#include "system/graphics/font/font.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

const int ROWS = 13;

const unsigned char* glyph(int code)
{
    return font_rasters[code - FONT_FIRST_CODE];
}

bool inkInRow(int code, int row)
{
    return glyph(code)[row] != 0;
}

int highestInkRow(int code)
{
    for (int row = ROWS - 1; row >= 0; row--)
        if (inkInRow(code, row))
            return row;
    return -1;
}

int lowestInkRow(int code)
{
    for (int row = 0; row < ROWS; row++)
        if (inkInRow(code, row))
            return row;
    return -1;
}

bool descends(int code)
{
    return strchr("gjpqy/\\_|", code) != nullptr || code == CHAR_BETA || code == CHAR_GAMMA ||
           code == CHAR_THETA;
}

// The rows both consumers (texture font and raster font) were drawn against;
// a wrong byte order or bit order in the table shows here first.
TEST(GlyphTable, KeepsTheFixedRowsExactly)
{
    struct {
        int code;
        unsigned char rows[ROWS];
    } fixed[] = {
        {' ', {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {'A', {0x00, 0x00, 0xc3, 0xc3, 0xc3, 0xc3, 0xff, 0xc3, 0xc3, 0xc3, 0x66, 0x3c, 0x18}},
        {'_', {0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {'g', {0x7e, 0xc3, 0x03, 0x03, 0x7f, 0xc3, 0xc3, 0xc3, 0x7e, 0x00, 0x00, 0x00, 0x00}},
        {CHAR_PI, {0x00, 0x00, 0x26, 0x24, 0x24, 0x24, 0x24, 0x24, 0x4a, 0xee, 0x7b, 0x00, 0x00}},
        {CHAR_DEGREE, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0e, 0x1b, 0x11, 0x1b, 0x0e}},
        {CHAR_ALPHA, {0x00, 0x00, 0x00, 0x00, 0x76, 0x89, 0x84, 0x8a, 0x89, 0x70, 0x00, 0x00, 0x00}},
        {CHAR_BETA, {0x80, 0x80, 0x40, 0x7e, 0x41, 0x21, 0x21, 0x23, 0x1c, 0x13, 0x11, 0x1e, 0x00}},
        {CHAR_GAMMA, {0x60, 0x90, 0x90, 0x50, 0x30, 0x18, 0x14, 0x12, 0x09, 0x08, 0x08, 0x7c, 0x00}},
        {CHAR_THETA, {0x3c, 0x66, 0xc3, 0x81, 0x81, 0xa5, 0xbd, 0xa5, 0x81, 0x81, 0xc3, 0x66, 0x3c}},
    };
    for (const auto& f : fixed)
        for (int row = 0; row < ROWS; row++)
            EXPECT_EQ(glyph(f.code)[row], f.rows[row]) << "code " << f.code << " row " << row;
    EXPECT_EQ(FONT_FIRST_CODE + FONT_GLYPHS - 1, CHAR_THETA) << "the table ends at theta";
}

// Text drawn with this font sits on one baseline: a glyph that leaks into the
// descender rows, or a capital of the wrong height, shows as a jagged line.
TEST(GlyphTable, StandsOnOneBaselineWithCapitalsElevenRowsTall)
{
    for (int code = FONT_FIRST_CODE; code <= CHAR_THETA; code++) {
        if (descends(code)) {
            EXPECT_TRUE(inkInRow(code, 0) || inkInRow(code, 1)) << "code " << code << " descends";
        } else {
            EXPECT_FALSE(inkInRow(code, 0)) << "code " << code;
            EXPECT_FALSE(inkInRow(code, 1)) << "code " << code;
        }
    }
    for (int code = 'A'; code <= 'Z'; code++) {
        EXPECT_EQ(lowestInkRow(code), 2) << char(code);
        EXPECT_EQ(highestInkRow(code), 12) << char(code);
    }
    for (int code = '0'; code <= '9'; code++) {
        EXPECT_EQ(lowestInkRow(code), 2) << char(code) << " stands like a capital";
        EXPECT_EQ(highestInkRow(code), 12) << char(code);
    }
    for (const char* small = "acemnorsuvwxz"; *small; small++) {
        EXPECT_EQ(lowestInkRow(*small), 2) << *small;
        EXPECT_EQ(highestInkRow(*small), 8) << *small << " is x-height tall";
    }
}

// Two glyphs with the same rows would make two characters indistinguishable;
// a glyph left blank would make a character vanish from every text.
TEST(GlyphTable, EveryGlyphIsDistinctAndAllButSpaceHaveInk)
{
    std::set<std::string> seen;
    for (int code = FONT_FIRST_CODE; code <= CHAR_THETA; code++) {
        std::string rows(reinterpret_cast<const char*>(glyph(code)), ROWS);
        EXPECT_TRUE(seen.insert(rows).second) << "code " << code << " repeats an earlier glyph";
        if (code != ' ') {
            EXPECT_NE(highestInkRow(code), -1) << "code " << code << " is blank";
        }
    }
}

// The art in tools/glyphs.txt is where the font is edited; a table that was
// not regenerated after an edit would quietly ship the old glyphs.
TEST(GlyphTable, MatchesItsArt)
{
    std::ifstream art(TESSELLUNE_SOURCE_DIR "/tools/glyphs.txt");
    ASSERT_TRUE(art.is_open());
    std::string line;
    int code = -1, row = 0, checked = 0;
    while (std::getline(art, line)) {
        if (line.rfind("= ", 0) == 0) {
            code = std::stoi(line.substr(2));
            row = ROWS - 1; // the art is drawn top row first
            continue;
        }
        if (code < 0 || line.size() != 8 || line.find_first_not_of("#.") != std::string::npos)
            continue;
        unsigned char bits = 0;
        for (int column = 0; column < 8; column++)
            if (line[column] == '#')
                bits |= 0x80 >> column;
        ASSERT_GE(row, 0) << "code " << code << " has more than 13 rows";
        EXPECT_EQ(glyph(code)[row], bits) << "code " << code << " row " << row;
        row--;
        checked++;
    }
    EXPECT_EQ(checked, FONT_GLYPHS * ROWS) << "run python3 tools/glyphs.py after editing the art";
}

// --- the sheet a person looks at ---------------------------------------

const int SHEET_COLUMNS = 16, CELL_W = 12, CELL_H = 17, SCALE = 4;
const uint8_t INK = 255, PAPER = 0, BASELINE = 60, DESCENDER = 30, MARGIN = 90;

// Every glyph in a 16-column grid, code order, each pixel SCALE x SCALE; the
// baseline row and the descender rows are tinted so misplaced glyphs stand out.
std::vector<uint8_t> renderSheet(int* width, int* height)
{
    int sheetRows = (FONT_GLYPHS + SHEET_COLUMNS - 1) / SHEET_COLUMNS;
    *width = SHEET_COLUMNS * CELL_W * SCALE;
    *height = sheetRows * CELL_H * SCALE;
    std::vector<uint8_t> pixels(size_t(*width) * size_t(*height), MARGIN);
    for (int index = 0; index < FONT_GLYPHS; index++) {
        int left = (index % SHEET_COLUMNS) * CELL_W + 2;
        int top = (index / SHEET_COLUMNS) * CELL_H + 2;
        for (int row = 0; row < ROWS; row++) {
            for (int column = 0; column < 8; column++) {
                bool ink = font_rasters[index][row] & (0x80 >> column);
                uint8_t value = ink ? INK : row < 2 ? DESCENDER : row == 2 ? BASELINE : PAPER;
                int y0 = (top + ROWS - 1 - row) * SCALE, x0 = (left + column) * SCALE;
                for (int dy = 0; dy < SCALE; dy++)
                    memset(&pixels[size_t(y0 + dy) * size_t(*width) + size_t(x0)], value, SCALE);
            }
        }
    }
    return pixels;
}

// Writes build/glyphs.png for a person to look at, and reads it back to make
// sure what was written is the table and not a blank or shifted image.
TEST(GlyphTable, RendersTheSheetToAPng)
{
    int width = 0, height = 0;
    std::vector<uint8_t> pixels = renderSheet(&width, &height);
    const char* path = TESSELLUNE_BINARY_DIR "/glyphs.png";
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_GRAY;
    ASSERT_TRUE(png_image_write_to_file(&image, path, 0, pixels.data(), width, nullptr))
        << image.message;

    png_image back;
    memset(&back, 0, sizeof back);
    back.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&back, path)) << back.message;
    back.format = PNG_FORMAT_GRAY;
    ASSERT_EQ(int(back.width), width);
    ASSERT_EQ(int(back.height), height);
    std::vector<uint8_t> read(PNG_IMAGE_SIZE(back));
    ASSERT_TRUE(png_image_finish_read(&back, nullptr, read.data(), 0, nullptr)) << back.message;
    EXPECT_EQ(read, pixels);

    // 'A' (index 33, sheet row 2, column 1): apex pixel at column 3 of row 12,
    // paper at column 0 of the same row.
    auto at = [&](int index, int column, int row) {
        int x = ((index % SHEET_COLUMNS) * CELL_W + 2 + column) * SCALE + 1;
        int y = ((index / SHEET_COLUMNS) * CELL_H + 2 + ROWS - 1 - row) * SCALE + 1;
        return read[size_t(y) * size_t(width) + size_t(x)];
    };
    EXPECT_EQ(at('A' - 32, 3, 12), INK);
    EXPECT_EQ(at('A' - 32, 0, 12), PAPER);
    EXPECT_EQ(at('_' - 32, 0, 0), INK);
    EXPECT_EQ(at(' ' - 32, 0, 2), BASELINE);
    printf("glyph sheet written to %s\n", path);
}

} // namespace
