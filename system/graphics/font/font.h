#ifndef TESSELLUNE_FONT_H
#define TESSELLUNE_FONT_H

// The engine's built-in 8 x 13 bitmap font.

// Codes of the six symbols after the printable ASCII range.
#define CHAR_PI 127
#define CHAR_DEGREE 128
#define CHAR_ALPHA 129
#define CHAR_BETA 130
#define CHAR_GAMMA 131
#define CHAR_THETA 132

#define FONT_FIRST_CODE 32
#define FONT_GLYPHS 101 // codes 32 to 132

// Glyph index = code - 32. 13 rows per glyph, bottom row first; bit 7 is the
// leftmost pixel; baseline at row 2, descenders in rows 0 and 1.
extern const unsigned char font_rasters[FONT_GLYPHS][13];

#endif
