// loadSplineContainer on arbitrary blocks, then drawn whole and in part and
// deleted: no read past the block, lists consistent with their counts, and
// every vertex a drawing promises is emitted.

#include "system/math/splines/spline.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

size_t vertices = 0;

void noWidth(float) {}
void noBegin(unsigned int) {}
void countVertex(float, float, float) { vertices++; }
void noEnd(void) {}

const splineDrawPlatform_t counter = {noWidth, noBegin, countVertex, noEnd};

void check(bool condition)
{
    if (!condition)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    splineSetDrawPlatform(&counter);
    splineContainer* c = loadSplineContainer(reinterpret_cast<const char*>(data), unsigned(size));
    check(c != nullptr && c->size == 1 && getSplineContainerTail() == c);
    size_t splines = 0, points = 0, samples = 0;
    for (const spline* s = c->splineLayerHead->splineHead; s; s = s->next, splines++) {
        unsigned int counted = 0;
        for (const splinePoint* p = s->splinePointHead; p; p = p->next)
            counted++;
        check(counted == s->size && s->width >= 1.0f);
        points += s->size;
        samples += s->size ? (s->size - 1) * size_t(s->detail) : 0;
    }
    check(splines == c->splineLayerHead->size);
    check(8 * (splines + points) <= size);
    check(c->pointsCount == points * 10);

    vertices = 0;
    drawSplineContainer(c, 0, 1);
    check(vertices == samples);
    float start = size ? data[0] / 200.0f - 0.1f : 0;
    float end = size > 1 ? data[1] / 200.0f - 0.1f : 1;
    vertices = 0;
    drawSplineContainer(c, start, end);
    check(vertices <= samples);

    deleteSplineContainer(c);
    check(getSplineContainerHead() == nullptr && getSplineContainerTail() == nullptr);
    return 0;
}
