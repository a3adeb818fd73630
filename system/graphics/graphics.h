#ifndef TESSELLUNE_GRAPHICS_H
#define TESSELLUNE_GRAPHICS_H

// The default 3D view and a temporary 2D view laid over it.

// Perspective over the virtual screen's aspect, identity modelview (current).
void viewReset(void);
// Orthographic w x h canvas, origin lower left, depth test off; pushes both stacks.
void perspective2dBegin(int w, int h);
// Pops both stacks, depth test on, and returns to the default 3D view.
void perspective2dEnd(void);

#endif
