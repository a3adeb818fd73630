#include "system/math/splines/cubic/cubicSpline.h"

#include <cassert>
#include <cstdlib>

namespace {

// Splines up to a few hundred segments solve in stack memory; longer ones
// use the module's spill buffer, which then stays for the next call.
const size_t STACK_BYTES = 16384;

cubicScratch_t spill = {nullptr, 0};

inline float horner(const cubic& c, float u)
{
    return ((c.d * u + c.c) * u + c.b) * u + c.a;
}

// Without scratch memory the curve degrades to its control polygon rather
// than leaving the caller's samples unwritten.
void sampleStraight(point3d* dest, int n, int detail, const point3d* spline)
{
    size_t k = 0;
    for (int i = 0; i < n; i++) {
        for (int j = 0; j < detail; j++, k++) {
            float u = float(j) / float(detail);
            dest[k].x = spline[i].x + (spline[i + 1].x - spline[i].x) * u;
            dest[k].y = spline[i].y + (spline[i + 1].y - spline[i].y) * u;
            dest[k].z = spline[i].z + (spline[i + 1].z - spline[i].z) * u;
        }
    }
}

void solveAxis(cubic3d* C, cubic cubic3d::*axis, float point3d::*coordinate, int n,
               const point3d* spline, const float* gamma, float* p, float* D)
{
    for (int i = 0; i <= n; i++)
        p[i] = spline[i].*coordinate;
    cubicKnotDerivatives(D, p, n, gamma);
    for (int i = 0; i < n; i++)
        C[i].*axis = cubicSegment(p, D, i);
}

} // namespace

void* cubicScratchRoom(cubicScratch_t* room, void* stackRoom, size_t stackBytes, size_t bytes)
{
    assert(room);
    if (bytes <= stackBytes)
        return stackRoom;
    if (bytes > room->bytes) {
        // Grow by half again at least, so a drawing whose longest spline
        // creeps up point by point does not allocate on every frame.
        size_t grown = room->bytes + room->bytes / 2;
        size_t wanted = bytes > grown ? bytes : grown;
        void* data = malloc(wanted);
        if (!data)
            data = malloc(wanted = bytes);
        if (!data)
            return nullptr;
        free(room->data);
        room->data = data;
        room->bytes = wanted;
    }
    return room->data;
}

void cubicScratchRelease(cubicScratch_t* room)
{
    assert(room);
    free(room->data);
    room->data = nullptr;
    room->bytes = 0;
}

void cubicEliminationFactors(float* gamma, int n)
{
    assert(n >= 1);
    gamma[0] = 0.5f;
    for (int i = 1; i < n; i++)
        gamma[i] = 1.0f / (4.0f - gamma[i - 1]);
    gamma[n] = 1.0f / (2.0f - gamma[n - 1]);
}

void cubicKnotDerivatives(float* D, const float* p, int n, const float* gamma)
{
    assert(n >= 1);
    // D holds the forward pass (delta) until the back substitution
    // overwrites it from the top; each delta[i] is read just before D[i]
    // takes its place.
    D[0] = 3.0f * (p[1] - p[0]) * gamma[0];
    for (int i = 1; i < n; i++)
        D[i] = (3.0f * (p[i + 1] - p[i - 1]) - D[i - 1]) * gamma[i];
    D[n] = (3.0f * (p[n] - p[n - 1]) - D[n - 1]) * gamma[n];
    for (int i = n - 1; i >= 0; i--)
        D[i] = D[i] - gamma[i] * D[i + 1];
}

cubic cubicSegment(const float* p, const float* D, int i)
{
    cubic c;
    c.a = p[i];
    c.b = D[i];
    c.c = 3.0f * (p[i + 1] - p[i]) - 2.0f * D[i] - D[i + 1];
    c.d = 2.0f * (p[i] - p[i + 1]) + D[i] + D[i + 1];
    return c;
}

void createCubicSpline(point3d* dest, int n, int detail, point3d* spline)
{
    if (n <= 0 || detail <= 0)
        return;
    assert(dest && spline);
    alignas(16) unsigned char stackRoom[STACK_BYTES];
    size_t floats = 3 * (size_t(n) + 1); // gamma, one axis's coordinates, D
    size_t bytes = size_t(n) * sizeof(cubic3d) + floats * sizeof(float);
    void* room = cubicScratchRoom(&spill, stackRoom, sizeof stackRoom, bytes);
    if (!room) {
        sampleStraight(dest, n, detail, spline);
        return;
    }
    cubic3d* C = static_cast<cubic3d*>(room);
    float* gamma = reinterpret_cast<float*>(C + n);
    float* p = gamma + n + 1;
    float* D = p + n + 1;

    cubicEliminationFactors(gamma, n);
    solveAxis(C, &cubic3d::x, &point3d::x, n, spline, gamma, p, D);
    solveAxis(C, &cubic3d::y, &point3d::y, n, spline, gamma, p, D);
    solveAxis(C, &cubic3d::z, &point3d::z, n, spline, gamma, p, D);

    size_t k = 0;
    for (int i = 0; i < n; i++) {
        const cubic3d& s = C[i];
        for (int j = 0; j < detail; j++, k++) {
            float u = float(j) / float(detail);
            dest[k].x = horner(s.x, u);
            dest[k].y = horner(s.y, u);
            dest[k].z = horner(s.z, u);
        }
    }
}
