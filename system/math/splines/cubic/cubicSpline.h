#ifndef TESSELLUNE_CUBICSPLINE_H
#define TESSELLUNE_CUBICSPLINE_H

// Natural cubic splines (second derivative zero at both ends) through a
// polyline, every value a 32-bit float.

#include "system/datatypes/datatypes.h"

#include <cstddef>

typedef point3d_t point3d; // the spline code's name for the same record

// a + b*u + c*u^2 + d*u^3 over one segment, u in [0, 1).
struct cubic {
    float a, b, c, d;
};

struct cubic3d {
    cubic x, y, z;
};

// Samples the spline through spline[0..n] at u = j / detail of every segment
// into dest[0 .. n*detail-1]; the last control point itself is not written.
// Nothing is written when n <= 0 or detail <= 0.
void createCubicSpline(point3d* dest, int n, int detail, point3d* spline);

// --- helpers shared by the spline code (containers, editor) ---------------

// A module's spill buffer for scratch arrays too big for the stack.
struct cubicScratch_t {
    void* data;
    size_t bytes;
};

// Room for `bytes`: `stackRoom` when it is big enough, else `spill`, grown
// (never shrunk) the first time a bigger request comes, so steady frames make
// no heap allocation. Null when memory runs out.
void* cubicScratchRoom(cubicScratch_t* spill, void* stackRoom, size_t stackBytes, size_t bytes);
void cubicScratchRelease(cubicScratch_t* spill);
// Up to four coordinates of a point side by side, one per lane (a GCC and
// Clang vector): the axes of a spline are solved and sampled together, each
// lane with exactly the float operations of a solve of its own.
typedef float cubicLanes_t __attribute__((vector_size(16)));

// The coefficients of one segment, lane by lane.
struct cubicLaneSegment_t {
    cubicLanes_t a, b, c, d;
};

// The forward elimination factors gamma[0..n] for n segments (n >= 1).
void cubicEliminationFactors(float* gamma, int n);
// D[0..n]: the knot derivatives of the natural spline through p[0..n].
void cubicKnotDerivatives(cubicLanes_t* D, const cubicLanes_t* p, int n, const float* gamma);
// Coefficients of segment i from the points and knot derivatives.
cubicLaneSegment_t cubicSegment(const cubicLanes_t* p, const cubicLanes_t* D, int i);

#endif
