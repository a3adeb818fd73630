#include "system/math/splines/cubic/cubicSpline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<point3d> sample(std::vector<point3d> points, int detail)
{
    int n = int(points.size()) - 1;
    // One sentinel past the end catches a sampler that writes n*detail + 1.
    std::vector<point3d> out(size_t(std::max(n * detail, 0)) + 1, point3d{-7, -7, -7});
    createCubicSpline(out.data(), n, detail, points.data());
    EXPECT_EQ(out.back().x, -7.0f) << "wrote past n*detail samples";
    out.pop_back();
    return out;
}

std::vector<point3d> onY(std::vector<float> ys)
{
    std::vector<point3d> points;
    for (size_t i = 0; i < ys.size(); i++)
        points.push_back(point3d{float(i), ys[i], 0});
    return points;
}

// The worked values: a wrong boundary condition, a missing factor 3 or a
// sampler that reaches the end point all change them.
TEST(CubicSpline, WorkedExamples)
{
    auto line = sample({{0, 0, 0}, {8, 0, 0}}, 4);
    ASSERT_EQ(line.size(), 4u);
    for (int k = 0; k < 4; k++)
        EXPECT_FLOAT_EQ(line[k].x, 2.0f * k) << "the end point 8 is not written";

    auto even = sample({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 2);
    float evenX[] = {0, 0.5f, 1, 1.5f};
    for (int k = 0; k < 4; k++)
        EXPECT_FLOAT_EQ(even[k].x, evenX[k]);

    auto arch = sample(onY({0, 1, 0}), 2);
    float archY[] = {0, 0.6875f, 1, 0.6875f};
    for (int k = 0; k < 4; k++)
        EXPECT_FLOAT_EQ(arch[k].y, archY[k]);

    auto wave = sample(onY({0, 1, 0, 1}), 3);
    double waveY[] = {0, 0.530864, 0.913580, 1, 0.716049, 0.283951, 0, 0.086420, 0.469136};
    ASSERT_EQ(wave.size(), 9u);
    for (int k = 0; k < 9; k++) {
        EXPECT_NEAR(wave[k].y, waveY[k], 1e-6) << "sample " << k;
        EXPECT_FLOAT_EQ(wave[k].x, float(k) / 3.0f) << "x is linear in the knots";
        EXPECT_EQ(wave[k].z, 0.0f);
    }
}

TEST(CubicSpline, WritesNothingWithoutASegmentOrASample)
{
    std::vector<point3d> points = {{1, 2, 3}, {4, 5, 6}};
    point3d out[2] = {{-7, -7, -7}, {-7, -7, -7}};
    createCubicSpline(out, 0, 4, points.data());
    createCubicSpline(out, -3, 4, points.data());
    createCubicSpline(out, 1, 0, points.data());
    createCubicSpline(out, 1, -1, points.data());
    EXPECT_EQ(out[0].x, -7.0f);
    EXPECT_EQ(out[1].z, -7.0f);
    // Every segment starts on its control point, exactly.
    auto one = sample(points, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].x, 1.0f);
    EXPECT_EQ(one[0].z, 3.0f);
}

struct goldenCase_t {
    int n = 0, detail = 0;
    std::vector<point3d> points;
    std::vector<double> expected; // x, y, z per sample
};

std::vector<goldenCase_t> readGolden(const char* path)
{
    std::vector<goldenCase_t> cases;
    FILE* file = fopen(path, "r");
    if (!file)
        return cases;
    char line[256];
    while (fgets(line, sizeof line, file)) {
        double a, b, c;
        int n, detail;
        if (sscanf(line, "case %d %d", &n, &detail) == 2) {
            cases.push_back(goldenCase_t());
            cases.back().n = n;
            cases.back().detail = detail;
        } else if (!cases.empty() && sscanf(line, "p %lf %lf %lf", &a, &b, &c) == 3) {
            cases.back().points.push_back(point3d{float(a), float(b), float(c)});
        } else if (!cases.empty() && sscanf(line, "s %lf %lf %lf", &a, &b, &c) == 3) {
            cases.back().expected.insert(cases.back().expected.end(), {a, b, c});
        }
    }
    fclose(file);
    return cases;
}

// Against SciPy's natural cubic spline (tools/splineGolden.py): random
// control points, short and long splines (the long ones go through the
// spill buffer), unit and window-sized coordinates. The tolerance is a few
// float steps of the coordinates' range: far below what a wrong end
// condition, a swapped coefficient or an off-by-one sample would cost.
TEST(CubicSpline, MatchesSciPyNaturalSpline)
{
    auto cases = readGolden(TESSELLUNE_SOURCE_DIR "/tests/math/splines/golden/naturalCubic.txt");
    ASSERT_GE(cases.size(), 9u) << "golden file missing or unreadable";
    for (const goldenCase_t& c : cases) {
        ASSERT_EQ(c.points.size(), size_t(c.n) + 1);
        ASSERT_EQ(c.expected.size(), size_t(c.n) * c.detail * 3);
        float range = 0;
        for (const point3d& p : c.points)
            range = std::max({range, fabsf(p.x), fabsf(p.y), fabsf(p.z)});
        double tolerance = 8.0 * range * 1.2e-7;
        auto got = sample(c.points, c.detail);
        double worst = 0;
        for (size_t k = 0; k < got.size(); k++) {
            worst = std::max(worst, fabs(got[k].x - c.expected[3 * k]));
            worst = std::max(worst, fabs(got[k].y - c.expected[3 * k + 1]));
            worst = std::max(worst, fabs(got[k].z - c.expected[3 * k + 2]));
        }
        EXPECT_LE(worst, tolerance) << "n " << c.n << " detail " << c.detail;
    }
}

// The solve helpers the editor shares: the elimination factors settle on
// 2 - sqrt(3) (and the shortcut past the repeat changes no bit), and the
// knot derivatives of a straight line are its slope, in every lane apart.
TEST(CubicSpline, SharedSolveHelpers)
{
    float gamma[41];
    cubicLanes_t D[41], p[41];
    cubicEliminationFactors(gamma, 40);
    EXPECT_EQ(gamma[0], 0.5f);
    float chained = 0.5f;
    for (int i = 1; i < 40; i++) {
        chained = 1.0f / (4.0f - chained);
        ASSERT_EQ(gamma[i], chained) << i;
    }
    EXPECT_NEAR(gamma[39], 2.0 - sqrt(3.0), 1e-7);
    EXPECT_EQ(gamma[40], 1.0f / (2.0f - gamma[39]));
    for (int i = 0; i <= 40; i++)
        p[i] = cubicLanes_t{2.5f * float(i) - 3.0f, 7.0f - 0.5f * float(i), 4.0f, 0};
    cubicKnotDerivatives(D, p, 40, gamma);
    for (int i = 0; i <= 40; i++) {
        EXPECT_NEAR(D[i][0], 2.5f, 1e-5) << i;
        EXPECT_NEAR(D[i][1], -0.5f, 1e-5) << i;
        EXPECT_EQ(D[i][2], 0.0f) << i;
    }
    cubicLaneSegment_t c = cubicSegment(p, D, 7);
    EXPECT_EQ(c.a[1], p[7][1]);
    EXPECT_NEAR(c.b[1], -0.5f, 1e-5);
    EXPECT_NEAR(c.c[1], 0.0f, 1e-4);
    EXPECT_NEAR(c.d[1], 0.0f, 1e-4);
}

// Scratch beyond the stack comes from a spill buffer that only grows.
TEST(CubicSpline, ScratchRoomUsesTheStackFirstAndKeepsItsSpill)
{
    unsigned char stackRoom[64];
    cubicScratch_t spill = {nullptr, 0};
    EXPECT_EQ(cubicScratchRoom(&spill, stackRoom, sizeof stackRoom, 64), stackRoom);
    void* big = cubicScratchRoom(&spill, stackRoom, sizeof stackRoom, 1000);
    ASSERT_NE(big, nullptr);
    memset(big, 0x5a, 1000);
    EXPECT_EQ(cubicScratchRoom(&spill, stackRoom, sizeof stackRoom, 800), big) << "no shrinking";
    EXPECT_EQ(cubicScratchRoom(&spill, stackRoom, sizeof stackRoom, 1000), big);
    void* bigger = cubicScratchRoom(&spill, stackRoom, sizeof stackRoom, 1001);
    ASSERT_NE(bigger, nullptr);
    EXPECT_GE(spill.bytes, 1500u) << "grows by half at least, not byte by byte";
    memset(bigger, 0x5a, spill.bytes);
    cubicScratchRelease(&spill);
    EXPECT_EQ(spill.data, nullptr);
    EXPECT_EQ(spill.bytes, 0u);
}

} // namespace
