#ifndef TESSELLUNE_GENERAL_H
#define TESSELLUNE_GENERAL_H

// Small vector math on point3d_t. Angles are in degrees; rotations work in
// place and compute both new components from the point as it was.

#include "system/datatypes/datatypes.h"

// Scales to length 1; the vector must not have length 0.
void normalizeVector(point3d_t* point3d);
// Not an axis-angle rotation: scales x and y by factors built from angle + 45
// degrees and the axis, picked by the point's quadrant; z is kept.
void setRotatef(point3d_t* point3d, float angle, float x, float y, float z);
void rotateX(point3d_t* point3d, float angle);
void rotateY(point3d_t* point3d, float angle);
// Turns by angle + 45 degrees: -45 leaves the point alone.
void rotateZ(point3d_t* point3d, float angle);
// Window position under the current OpenGL matrices and viewport (needs a
// context); origin bottom-left, depth dropped.
point2d_t getScreenCoordinateFrom3dCoordinate(point3d_t point3d);

#endif
