// createCubicSpline throughput in samples per second, against a plain
// double-precision reference written the obvious way (fresh vectors per call,
// powers instead of Horner). tools/splineScipyBench.py times SciPy on the
// same spline size.

#include "system/math/splines/cubic/cubicSpline.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

const int SEGMENTS = 1000;
const int DETAIL = 10;

std::vector<point3d> controlPoints(int n)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> coordinate(-400, 400);
    std::vector<point3d> points(size_t(n) + 1);
    for (point3d& p : points)
        p = point3d{coordinate(random), coordinate(random), coordinate(random)};
    return points;
}

struct referenceCubic_t {
    double a, b, c, d;
};

std::vector<referenceCubic_t> referenceSolve(const std::vector<double>& p)
{
    int n = int(p.size()) - 1;
    std::vector<double> gamma(size_t(n) + 1), delta(size_t(n) + 1), D(size_t(n) + 1);
    gamma[0] = 0.5;
    for (int i = 1; i < n; i++)
        gamma[i] = 1.0 / (4.0 - gamma[i - 1]);
    gamma[n] = 1.0 / (2.0 - gamma[n - 1]);
    delta[0] = 3.0 * (p[1] - p[0]) * gamma[0];
    for (int i = 1; i < n; i++)
        delta[i] = (3.0 * (p[i + 1] - p[i - 1]) - delta[i - 1]) * gamma[i];
    delta[n] = (3.0 * (p[n] - p[n - 1]) - delta[n - 1]) * gamma[n];
    D[n] = delta[n];
    for (int i = n - 1; i >= 0; i--)
        D[i] = delta[i] - gamma[i] * D[i + 1];
    std::vector<referenceCubic_t> C(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
        C[i] = referenceCubic_t{p[i], D[i], 3.0 * (p[i + 1] - p[i]) - 2.0 * D[i] - D[i + 1],
                                2.0 * (p[i] - p[i + 1]) + D[i] + D[i + 1]};
    return C;
}

void referenceSpline(std::vector<point3d>& dest, int detail, const std::vector<point3d>& points)
{
    std::vector<double> xs, ys, zs;
    for (const point3d& p : points) {
        xs.push_back(p.x);
        ys.push_back(p.y);
        zs.push_back(p.z);
    }
    auto cx = referenceSolve(xs), cy = referenceSolve(ys), cz = referenceSolve(zs);
    size_t k = 0;
    for (size_t i = 0; i < cx.size(); i++) {
        for (int j = 0; j < detail; j++, k++) {
            double u = double(j) / detail;
            auto at = [u](const referenceCubic_t& c) {
                return c.a + c.b * u + c.c * u * u + c.d * u * u * u;
            };
            dest[k] = point3d{float(at(cx[i])), float(at(cy[i])), float(at(cz[i]))};
        }
    }
}

void BM_CreateCubicSpline(benchmark::State& state)
{
    std::vector<point3d> points = controlPoints(SEGMENTS);
    std::vector<point3d> dest(size_t(SEGMENTS) * DETAIL);
    for (auto _ : state) {
        createCubicSpline(dest.data(), SEGMENTS, DETAIL, points.data());
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * SEGMENTS * DETAIL);
}
BENCHMARK(BM_CreateCubicSpline);

void BM_ReferenceDoubleSpline(benchmark::State& state)
{
    std::vector<point3d> points = controlPoints(SEGMENTS);
    std::vector<point3d> dest(size_t(SEGMENTS) * DETAIL);
    for (auto _ : state) {
        referenceSpline(dest, DETAIL, points);
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * SEGMENTS * DETAIL);
}
BENCHMARK(BM_ReferenceDoubleSpline);

// A drawing's typical spline: about 50 points, all scratch on the stack.
void BM_CreateCubicSplineShort(benchmark::State& state)
{
    std::vector<point3d> points = controlPoints(49);
    std::vector<point3d> dest(size_t(49) * DETAIL);
    for (auto _ : state) {
        createCubicSpline(dest.data(), 49, DETAIL, points.data());
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 49 * DETAIL);
}
BENCHMARK(BM_CreateCubicSplineShort);

} // namespace

BENCHMARK_MAIN();
