#ifndef TESSELLUNE_GRAPHICS_H
#define TESSELLUNE_GRAPHICS_H

// The default 3D view, a temporary 2D view laid over it, and textured images
// placed on the virtual screen (1280 x 720 units, origin lower left).

#include "system/graphics/image/image.h"

// Perspective over the virtual screen's aspect, identity modelview (current).
void viewReset(void);
// Orthographic w x h canvas, origin lower left, depth test off; pushes both stacks.
void perspective2dBegin(int w, int h);
// Pops both stacks, depth test on, and returns to the default 3D view.
void perspective2dEnd(void);


// Shared by showImage and the texture font, so both draw the same quad:
// one GL_QUADS quad from (x0, y0) to (x1, y1) at z = 0: upper right, upper
// left, lower left, lower right, with the texture's first row (t = 0) on the
// bottom edge, which is where the engine stores an image's lowest row.
void drawTexturedQuad(float x0, float y0, float x1, float y1);

// The placement setters only write fields; showImage reads them.

// Display size before scaling; 0 keeps the texture's own width or height.
void setCustomDimensionToTexture(texture_t* texture, int w, int h);
void setTextureSizeToScreenSize(texture_t* texture);
// 0 none, 1 centred on both axes, 2 horizontally, 3 vertically; the
// percentage position then offsets from the centred place.
void alignTextureCenter(texture_t* texture, int center);
// Position as a fraction of the virtual screen's width and height.
void setTexturePositionPercent(texture_t* texture, float x, float y);
// Converted to fractions of the virtual screen size current at the call.
void setTexturePositionPixel(texture_t* texture, int x, int y);
void scaleTexture(texture_t* texture, float scaleW, float scaleH);
// Degrees counter-clockwise; any angle but exactly 0 centres the image on
// its position and turns it about that point.
void setTextureAngle(texture_t* texture, float angle);
// Draws one textured quad, blended, in a 2D view of the virtual screen; leaves
// blending and texturing off, texture 0 bound and the default 3D view.
void showImage(texture_t texture);

#endif
