#include "system/math/splines/cubic/cubicSpline.h"
#include "system/ui/editors/splineEditor.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

bezierPoint at(float x, float y)
{
    return bezierPoint{x, y, 0, 0, 0};
}

TEST(CurveMath, BezierEndsOnItsOuterPointsAndBulgesTowardTheInnerOnes)
{
    bezierPoint cp[4] = {at(0, 0), at(0, 100), at(100, 100), at(100, 0)};
    bezierPoint start = PointOnCubicBezier(cp, 0), middle = PointOnCubicBezier(cp, 0.5f),
                end = PointOnCubicBezier(cp, 1);
    EXPECT_EQ(start.x, 0.0f);
    EXPECT_EQ(start.y, 0.0f);
    EXPECT_FLOAT_EQ(middle.x, 50.0f);
    EXPECT_FLOAT_EQ(middle.y, 75.0f);
    EXPECT_FLOAT_EQ(end.x, 100.0f);
    EXPECT_FLOAT_EQ(end.y, 0.0f);
    // Against the Bernstein form at an uneven parameter.
    float t = 0.3f, s = 1 - t;
    float wantX = 3 * s * t * t * 100 + t * t * t * 100;
    float wantY = 3 * s * s * t * 100 + 3 * s * t * t * 100;
    EXPECT_NEAR(PointOnCubicBezier(cp, t).x, wantX, 1e-4);
    EXPECT_NEAR(PointOnCubicBezier(cp, t).y, wantY, 1e-4);
}

TEST(CurveMath, ComputeBezierSpreadsItsParametersFromZeroToOne)
{
    bezierPoint cp[4] = {at(0, 0), at(0, 100), at(100, 100), at(100, 0)};
    bezierPoint curve[5];
    for (bezierPoint& p : curve)
        p = at(-1, -1);
    ComputeBezier(cp, 3, curve);
    EXPECT_EQ(curve[0].x, 0.0f);
    EXPECT_FLOAT_EQ(curve[1].x, 50.0f);
    EXPECT_FLOAT_EQ(curve[1].y, 75.0f);
    EXPECT_FLOAT_EQ(curve[2].x, 100.0f);
    EXPECT_EQ(curve[3].x, -1.0f) << "exactly numberOfPoints written";

    ComputeBezier(cp, 0, curve);
    ComputeBezier(cp, -2, curve);
    EXPECT_EQ(curve[0].x, 0.0f);
    curve[0] = at(-1, -1);
    ComputeBezier(cp, 1, curve);
    EXPECT_EQ(curve[0].x, 0.0f) << "one point: the start, not a NaN from an infinite step";
    EXPECT_EQ(curve[0].y, 0.0f);
    EXPECT_EQ(curve[1].x, 50.0f) << "untouched";
}

std::vector<cubic2d> planar(std::vector<std::pair<float, float>> points)
{
    std::vector<cubic2d> in(points.size(), cubic2d{{9, 9, 9, 9}, {9, 9, 9, 9}});
    for (size_t i = 0; i < points.size(); i++) {
        in[i].x.a = points[i].first;
        in[i].y.a = points[i].second;
    }
    return in;
}

void expectCubic(const cubic& got, cubic want, const char* what)
{
    EXPECT_NEAR(got.a, want.a, 1e-6) << what;
    EXPECT_NEAR(got.b, want.b, 1e-6) << what;
    EXPECT_NEAR(got.c, want.c, 1e-6) << what;
    EXPECT_NEAR(got.d, want.d, 1e-6) << what;
}

TEST(CurveMath, PlanarNaturalCubicCoefficients)
{
    auto line = planar({{0, 0}, {4, 2}});
    cubic2d C[2];
    C[1].x.a = -5;
    calcNaturalCubic(C, 1, line.data());
    expectCubic(C[0].x, {0, 4, 0, 0}, "straight x");
    expectCubic(C[0].y, {0, 2, 0, 0}, "straight y");
    EXPECT_EQ(C[1].x.a, -5.0f) << "n records only";

    auto arch = planar({{0, 0}, {1, 1}, {2, 0}});
    calcNaturalCubic(C, 2, arch.data());
    expectCubic(C[0].y, {0, 1.5f, 0, -0.5f}, "first segment");
    expectCubic(C[1].y, {1, 0, -1.5f, 0.5f}, "second segment");

    C[0].x.a = -5;
    calcNaturalCubic(C, 0, arch.data());
    EXPECT_EQ(C[0].x.a, -5.0f) << "n = 0 writes nothing";
}

// The planar solve and the 3D sampler are the same spline: evaluated at the
// same parameters they must agree bit for bit, short strokes and long ones
// (whose scratch no longer fits the stack) alike.
TEST(CurveMath, PlanarSolveAgreesBitForBitWithTheSampler)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(0, 800);
    for (int n : {1, 2, 7, 49, 700}) {
        std::vector<point3d> points(size_t(n) + 1);
        std::vector<cubic2d> in(size_t(n) + 1);
        for (int i = 0; i <= n; i++) {
            points[i] = point3d{coordinate(random), coordinate(random), 0};
            in[i].x.a = points[i].x;
            in[i].y.a = points[i].y;
        }
        const int detail = 12;
        std::vector<point3d> samples(size_t(n) * detail);
        createCubicSpline(samples.data(), n, detail, points.data());
        std::vector<cubic2d> C(static_cast<size_t>(n));
        calcNaturalCubic(C.data(), n, in.data());
        for (int i = 0; i < n; i++) {
            for (int j = 0; j < detail; j++) {
                float u = float(j) / float(detail);
                const cubic& x = C[i].x;
                const cubic& y = C[i].y;
                ASSERT_EQ(((x.d * u + x.c) * u + x.b) * u + x.a, samples[i * detail + j].x)
                    << "n " << n << " segment " << i;
                ASSERT_EQ(((y.d * u + y.c) * u + y.b) * u + y.a, samples[i * detail + j].y);
            }
        }
    }
}

} // namespace
