#ifndef TESSELLUNE_DATATYPES_H
#define TESSELLUNE_DATATYPES_H

// Plain value records for points, and the three operations on them.

struct point3d_t {
    float x, y, z;
};

// Window coordinates in pixels, origin bottom-left.
struct point2d_t {
    float x, y;
};

void setPoint3d(point3d_t* p, float x, float y, float z);
point3d_t sumPoint3d(point3d_t p1, point3d_t p2);
point3d_t subtractPoint3d(point3d_t p1, point3d_t p2); // p1 - p2

#endif
