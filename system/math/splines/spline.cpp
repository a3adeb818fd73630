#include "system/math/splines/spline.h"

#include "system/debug/debugMisuse.h"
#include "system/math/splines/cubic/cubicSpline.h"

#include <GL/gl.h>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const unsigned int DEFAULT_DETAIL = 10;
const float DEFAULT_WIDTH = 3.0f;
const size_t RECORD_HEADER_BYTES = 8; // point count and width
const size_t POINT_BYTES = 8;         // x and y
const size_t STACK_BYTES = 32768;     // a spline of about 250 points at detail 10

void glLineWidthCall(float width) { glLineWidth(width); }
void glBeginCall(unsigned int mode) { glBegin(mode); }
void glVertexCall(float x, float y, float z) { glVertex3f(x, y, z); }
void glEndCall(void) { glEnd(); }

const splineDrawPlatform_t openGlPlatform = {glLineWidthCall, glBeginCall, glVertexCall, glEndCall};

struct splineModule_t {
    splineContainer* splineContainerHead = nullptr;
    splineContainer* splineContainerTail = nullptr;
    splineDrawPlatform_t draw = openGlPlatform;
    cubicScratch_t scratch = {nullptr, 0}; // roughSpline and lineSmooth of long splines
};

splineModule_t module;

uint32_t readU32(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

float readF32(const unsigned char* bytes)
{
    uint32_t bits = readU32(bytes);
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

void releasePoints(spline* s)
{
    for (splinePoint* p = s->splinePointHead; p;) {
        splinePoint* next = p->next;
        free(p);
        p = next;
    }
}

void releaseLayerChain(splineLayer* layer)
{
    while (layer) {
        splineLayer* nextLayer = layer->next;
        for (spline* s = layer->splineHead; s;) {
            spline* nextSpline = s->next;
            releasePoints(s);
            free(s);
            s = nextSpline;
        }
        free(layer);
        layer = nextLayer;
    }
}

// Cuts `layer` and everything after it off the container that holds it, so
// the container never reaches released layers. False when no container holds
// it: then it was released before, or was never one of ours.
bool unlinkLayers(const splineLayer* layer)
{
    for (splineContainer* c = module.splineContainerHead; c; c = c->next) {
        splineLayer* previous = nullptr;
        unsigned int kept = 0;
        for (splineLayer* l = c->splineLayerHead; l; previous = l, l = l->next, kept++) {
            if (l != layer)
                continue;
            if (previous)
                previous->next = nullptr;
            else
                c->splineLayerHead = nullptr;
            c->splineLayerTail = previous;
            c->size = kept;
            return true;
        }
    }
    return false;
}

// Whether `container` is still in the global list; the one before it, if any,
// goes to `previous`. Only a listed container is alive: a deleted one is cut
// off the list before it is released.
bool findContainer(const splineContainer* container, splineContainer** previous)
{
    *previous = nullptr;
    for (splineContainer* c = module.splineContainerHead; c; *previous = c, c = c->next)
        if (c == container)
            return true;
    return false;
}

// Reads one record at `record` with `available` bytes left; false when
// memory ran out. `*used` receives the bytes taken.
bool loadRecord(splineContainer* container, splineLayer* layer, const unsigned char* record,
                size_t available, size_t* used)
{
    spline* s = addSpline(layer);
    if (!s)
        return false;
    size_t count = readU32(record);
    float width = readF32(record + 4);
    s->width = width >= 1.0f ? width : DEFAULT_WIDTH; // also replaces NaN
    size_t whole = (available - RECORD_HEADER_BYTES) / POINT_BYTES;
    if (count > whole)
        count = whole; // a cut-short record keeps only its complete points
    const unsigned char* point = record + RECORD_HEADER_BYTES;
    float x = 0, y = 0;
    for (size_t j = 0; j < count; j++, point += POINT_BYTES) {
        float a = readF32(point), b = readF32(point + 4);
        x = j == 0 ? a : x - a;
        y = j == 0 ? b : y - b;
        if (!addSplinePoint(container, s, x, y, 0.0f))
            return false;
    }
    *used = RECORD_HEADER_BYTES + count * POINT_BYTES;
    return true;
}

struct drawRun_t {
    float start;
    bool partial;     // end < 1: the whole drawing may stop early
    float endCount;   // pointsCount * end
    int64_t counter;  // samples counted so far, across splines
};

// Emits one spline; false when the drawing has reached its end.
bool drawSpline(const spline* s, drawRun_t* run)
{
    if (s->size == 0)
        return true;
    size_t n = s->size - 1;
    size_t samples = n * s->detail;
    if (n > INT_MAX || s->detail > INT_MAX || samples > INT_MAX / 2)
        return true; // more samples than one line strip could ever hold
    alignas(16) unsigned char stackRoom[STACK_BYTES];
    size_t bytes = (s->size + samples) * sizeof(point3d);
    point3d* roughSpline =
        static_cast<point3d*>(cubicScratchRoom(&module.scratch, stackRoom, sizeof stackRoom, bytes));
    if (!roughSpline)
        return true;
    point3d* lineSmooth = roughSpline + s->size;
    size_t k = 0;
    for (const splinePoint* p = s->splinePointHead; p && k < s->size; p = p->next, k++)
        roughSpline[k] = point3d{p->x, p->y, p->z};
    if (k < s->size) {
        // The rest of the array was never written: solving it would draw
        // whatever the memory held.
        debugMisuse("drawSplineContainer", "a spline's size is %u but it has %zu points; it is skipped", s->size,
                    k);
        return true;
    }
    createCubicSpline(lineSmooth, int(n), int(s->detail), roughSpline);

    float splinePoints = float(samples);
    module.draw.lineWidth(s->width);
    module.draw.begin(GL_LINE_STRIP);
    size_t i = size_t(splinePoints * run->start);
    for (; i < samples; i++) {
        module.draw.vertex(lineSmooth[i].x, lineSmooth[i].y, lineSmooth[i].z);
        if (run->partial) {
            if (double(run->counter) >= double(run->endCount)) {
                module.draw.end();
                return false;
            }
            run->counter++;
        }
    }
    module.draw.end();
    return true;
}

} // namespace

splineContainer* addSplineContainer(void)
{
    splineContainer* c = static_cast<splineContainer*>(calloc(1, sizeof(splineContainer)));
    if (!c)
        return nullptr;
    if (!module.splineContainerHead)
        module.splineContainerHead = c;
    else
        module.splineContainerTail->next = c;
    module.splineContainerTail = c;
    return c;
}

splineLayer* addSplineLayer(splineContainer* container)
{
    if (debugMisuseIfNull(container, __func__, "the container"))
        return nullptr;
    splineLayer* layer = static_cast<splineLayer*>(calloc(1, sizeof(splineLayer)));
    if (!layer)
        return nullptr;
    container->size++;
    if (!container->splineLayerHead)
        container->splineLayerHead = layer;
    else
        container->splineLayerTail->next = layer;
    container->splineLayerTail = layer;
    return layer;
}

spline* addSpline(splineLayer* layer)
{
    if (debugMisuseIfNull(layer, __func__, "the layer"))
        return nullptr;
    spline* s = static_cast<spline*>(calloc(1, sizeof(spline)));
    if (!s)
        return nullptr;
    s->detail = DEFAULT_DETAIL;
    s->width = DEFAULT_WIDTH;
    layer->size++;
    if (!layer->splineHead)
        layer->splineHead = s;
    else
        layer->splineTail->next = s;
    layer->splineTail = s;
    return s;
}

splinePoint* addSplinePoint(splineContainer* container, spline* s, float x, float y, float z)
{
    if (debugMisuseIfNull(container, __func__, "the container") ||
        debugMisuseIfNull(s, __func__, "the spline"))
        return nullptr;
    splinePoint* p = static_cast<splinePoint*>(calloc(1, sizeof(splinePoint)));
    if (!p)
        return nullptr;
    p->x = x;
    p->y = y;
    p->z = z;
    s->size++;
    container->pointsCount += s->detail;
    if (!s->splinePointHead)
        s->splinePointHead = p;
    else
        s->splinePointTail->next = p;
    s->splinePointTail = p;
    return p;
}

splineContainer* loadSplineContainer(const char* data, unsigned int size)
{
    if (!data && size > 0) {
        debugMisuse(__func__, "no data but a size of %u bytes", size);
        return nullptr;
    }
    splineContainer* container = addSplineContainer();
    if (!container)
        return nullptr;
    splineLayer* layer = addSplineLayer(container);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    size_t offset = 0;
    bool ok = layer != nullptr;
    // A record without its whole count and width words holds nothing usable.
    while (ok && offset < size && size - offset >= RECORD_HEADER_BYTES) {
        size_t used = 0;
        ok = loadRecord(container, layer, bytes + offset, size - offset, &used);
        offset += used;
    }
    if (!ok) {
        deleteSplineContainer(container);
        return nullptr;
    }
    return container;
}

// Only the layer records go: their splines and points may still be held by
// the caller, who releases them.
void deleteSplineLayer(splineLayer* layer)
{
    if (!layer)
        return;
    if (!unlinkLayers(layer)) {
        debugMisuse(__func__, "the layer is in no container (deleted before?); nothing released");
        return;
    }
    while (layer) {
        splineLayer* next = layer->next;
        free(layer);
        layer = next;
    }
}

void deleteSplineContainer(splineContainer* container)
{
    if (!container)
        return;
    splineContainer* previous = nullptr;
    if (!findContainer(container, &previous)) {
        debugMisuse(__func__, "the container is not in the list (deleted before?); nothing released");
        return;
    }
    // Everything from `container` on goes, so the one before it ends the list.
    if (previous)
        previous->next = nullptr;
    else
        module.splineContainerHead = nullptr;
    module.splineContainerTail = previous;
    while (container) {
        splineContainer* next = container->next;
        releaseLayerChain(container->splineLayerHead);
        free(container);
        container = next;
    }
}

void drawSplineContainer(splineContainer* container, float start, float end)
{
    splineContainer* previous = nullptr;
    if (!findContainer(container, &previous)) {
        debugMisuse(__func__, "the container is %s; nothing drawn", container ? "not in the list" : "null");
        return;
    }
    // A start outside [0, 1] would index before the first or after the last
    // sample.
    if (!(start > 0.0f))
        start = 0.0f;
    if (start > 1.0f)
        start = 1.0f;
    float total = float(container->pointsCount);
    drawRun_t run = {start, end < 1.0f, total * end, int64_t(total * start)};
    for (splineLayer* layer = container->splineLayerHead; layer; layer = layer->next)
        for (spline* s = layer->splineHead; s; s = s->next)
            if (!drawSpline(s, &run))
                return;
}

splineContainer* getSplineContainerHead(void)
{
    return module.splineContainerHead;
}

splineContainer* getSplineContainerTail(void)
{
    return module.splineContainerTail;
}

void splineSetDrawPlatform(const splineDrawPlatform_t* platform)
{
    module.draw = platform ? *platform : openGlPlatform;
}
