#include "system/math/splines/cubic/cubicSpline.h"

#include "system/debug/debugMisuse.h"

#include <cassert>
#include <cstdlib>

namespace {

// Splines up to a few hundred segments solve in stack memory; longer ones
// use the module's spill buffer, which then stays for the next call.
const size_t STACK_BYTES = 16384;
const int U_TABLE = 64; // sample parameters kept per call

cubicScratch_t spill = {nullptr, 0};

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
    for (int i = 1; i < n; i++) {
        gamma[i] = 1.0f / (4.0f - gamma[i - 1]);
        if (gamma[i] == gamma[i - 1]) {
            // Each factor depends only on the one before, so once a value
            // repeats (after about a dozen steps in float) every later one
            // is that value: the same bits without a chain of divisions.
            for (int j = i + 1; j < n; j++)
                gamma[j] = gamma[i];
            break;
        }
    }
    gamma[n] = 1.0f / (2.0f - gamma[n - 1]);
}

void cubicKnotDerivatives(cubicLanes_t* D, const cubicLanes_t* p, int n, const float* gamma)
{
    assert(n >= 1);
    // D holds the forward pass (delta) until the back substitution
    // overwrites it from the top; each delta is read just before its D
    // takes its place. The running value stays in a register: the passes
    // are chains, one step waiting on the one before.
    cubicLanes_t delta = 3.0f * (p[1] - p[0]) * gamma[0];
    D[0] = delta;
    for (int i = 1; i < n; i++) {
        delta = (3.0f * (p[i + 1] - p[i - 1]) - delta) * gamma[i];
        D[i] = delta;
    }
    cubicLanes_t next = (3.0f * (p[n] - p[n - 1]) - delta) * gamma[n];
    D[n] = next;
    for (int i = n - 1; i >= 0; i--) {
        next = D[i] - gamma[i] * next;
        D[i] = next;
    }
}

cubicLaneSegment_t cubicSegment(const cubicLanes_t* p, const cubicLanes_t* D, int i)
{
    cubicLaneSegment_t s;
    s.a = p[i];
    s.b = D[i];
    s.c = 3.0f * (p[i + 1] - p[i]) - 2.0f * D[i] - D[i + 1];
    s.d = 2.0f * (p[i] - p[i + 1]) + D[i] + D[i + 1];
    return s;
}

void createCubicSpline(point3d* dest, int n, int detail, point3d* spline)
{
    if (n <= 0 || detail <= 0)
        return;
    if (debugMisuseIfNull(dest, __func__, "the sample array") ||
        debugMisuseIfNull(spline, __func__, "the point array"))
        return;
    alignas(16) unsigned char stackRoom[STACK_BYTES];
    // The points and their knot derivatives as lanes, then gamma.
    size_t bytes = (size_t(n) + 1) * (2 * sizeof(cubicLanes_t) + sizeof(float));
    void* room = cubicScratchRoom(&spill, stackRoom, sizeof stackRoom, bytes);
    if (!room) {
        sampleStraight(dest, n, detail, spline);
        return;
    }
    cubicLanes_t* p = static_cast<cubicLanes_t*>(room);
    cubicLanes_t* D = p + n + 1;
    float* gamma = reinterpret_cast<float*>(D + n + 1);
    for (int i = 0; i <= n; i++)
        p[i] = cubicLanes_t{spline[i].x, spline[i].y, spline[i].z, 0};
    cubicEliminationFactors(gamma, n);
    cubicKnotDerivatives(D, p, n, gamma);

    // The parameters repeat in every segment: divide once per call where
    // they fit a small table.
    float table[U_TABLE];
    bool tabled = detail <= U_TABLE;
    for (int j = 0; tabled && j < detail; j++)
        table[j] = float(j) / float(detail);
    size_t k = 0;
    for (int i = 0; i < n; i++) {
        cubicLaneSegment_t s = cubicSegment(p, D, i);
        for (int j = 0; j < detail; j++, k++) {
            float u = tabled ? table[j] : float(j) / float(detail);
            cubicLanes_t v = ((s.d * u + s.c) * u + s.b) * u + s.a;
            dest[k].x = v[0];
            dest[k].y = v[1];
            dest[k].z = v[2];
        }
    }
}
