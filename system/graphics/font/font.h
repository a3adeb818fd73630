#ifndef TESSELLUNE_FONT_H
#define TESSELLUNE_FONT_H

// The engine's built-in 8 x 13 bitmap font, and a texture font made from it
// that draws texts as one textured quad per byte.

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

// Builds one 9 x 13 RGBA texture per glyph (the ninth column transparent),
// writing a dump of every glyph to the standard output. The text state is
// left as it is. Needs a current OpenGL context.
void fontInit(void);
// Does nothing: the glyph textures go with the OpenGL context, and the text
// state stays as it is.
void fontDeinit(void);

// Text state for drawTextIn2d and drawText2d, kept until changed.
void setTextSize(float w, float h);
// Centre of the first rotation: in the caller's units for drawTextIn2d, a
// fraction of the screen for drawText2d.
void setTextPivot(float x, float y);
void setTextAngle(float angle); // degrees, counter-clockwise
// Centre of the second rotation, relative to the text origin in unscaled
// units; drawTextIn2d only.
void setTextPivot2(float x, float y);
void setTextAngle2(float angle);

// Layout: every byte takes a 9 x 13 cell from left to right, the first line
// from y = 0 to 13; a newline takes its cell too and starts the next byte 13
// units lower at x = 0. Bytes without a glyph draw nothing. Texts are blended
// and coloured by the current colour; blending and texturing end up off.

// In the caller's current coordinates (normally its own 2D view), origin at
// (ox, oy), shaped by the whole text state.
void drawTextIn2d(float ox, float oy, const unsigned char* txt);
// In a 2D view of the whole virtual screen, origin at (ox, oy) as fractions
// of it; size, first pivot and angle apply. Ends in the default 3D view with
// the caller's modelview matrix restored.
void drawText2d(float ox, float oy, const unsigned char* txt);
// In the current modelview coordinates, unscaled and unrotated. The last
// glyph's texture stays bound.
void drawText3d(const unsigned char* txt);

#endif
