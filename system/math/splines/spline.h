#ifndef TESSELLUNE_SPLINE_H
#define TESSELLUNE_SPLINE_H

// Vector-art drawings: a container holds layers, a layer splines, a spline
// control points. Drawn as natural cubic line strips, optionally only in part
// so a drawing can be revealed over time. Every container created is kept in
// one global list, in creation order, until it is deleted.

struct splinePoint {
    float x, y, z;
    splinePoint* next;
};

struct spline {
    unsigned int size;   // points
    unsigned int detail; // samples per segment when drawn, 10 at first
    float width;         // line width in pixels, 3.0 at first
    splinePoint* splinePointTail;
    splinePoint* splinePointHead;
    spline* next;
};

struct splineLayer {
    unsigned int size; // splines
    spline* splineTail;
    spline* splineHead;
    splineLayer* next;
};

struct splineContainer {
    unsigned int size;        // layers
    unsigned int pointsCount; // drawing length: the detail of every point ever added, summed
    splineLayer* splineLayerTail;
    splineLayer* splineLayerHead;
    splineContainer* next;
};

// The add operations append and return the new element, or null (and change
// nothing) when memory runs out.
splineContainer* addSplineContainer(void);
splineLayer* addSplineLayer(splineContainer* container);
spline* addSpline(splineLayer* layer);
splinePoint* addSplinePoint(splineContainer* container, spline* s, float x, float y, float z);

// Builds a container with one layer from records of: point count (u32),
// width (f32; below 1 or NaN means 3), first point x, y (f32), then for each
// further point the previous point minus this one (f32 pairs); all
// little-endian. Only whole points inside `size` bytes are taken. The block
// is only read. Null when memory runs out.
splineContainer* loadSplineContainer(const char* data, unsigned int size);

// Releases the records of `layer` and the layers after it and cuts them off
// the container that holds them (its size counts the layers left). Their
// splines and points are not released: they stay the caller's.
void deleteSplineLayer(splineLayer* layer);
// Releases `container` and the containers after it in the global list, with
// everything they own, and cuts them off the list.
void deleteSplineContainer(splineContainer* container);

// Draws every spline as a line strip from the fraction `start` of its
// samples; with end < 1 the whole drawing stops once `end` of pointsCount
// samples (counted across splines from pointsCount * start) are out.
// Colour and matrices are the caller's.
void drawSplineContainer(splineContainer* container, float start, float end);

// For tests and the fuzz target: the ends of the global list.
splineContainer* getSplineContainerHead(void);
splineContainer* getSplineContainerTail(void);

// For tests and the fuzz target: the OpenGL calls drawSplineContainer makes,
// behind one table so a test can see exactly what is drawn.
struct splineDrawPlatform_t {
    void (*lineWidth)(float width);
    void (*begin)(unsigned int mode);
    void (*vertex)(float x, float y, float z);
    void (*end)(void);
};

// Installs a drawing table; null puts back OpenGL.
void splineSetDrawPlatform(const splineDrawPlatform_t* platform);

#endif
