#include "system/datatypes/datatypes.h"
#include "system/math/general/general.h"
#include "system/math/sort/insertsort.h"
#include "tests/support/glWindow.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

const double PI = 3.14159265358979323846;

// An independent rotation in double precision, for the approximate checks.
point3d_t rotated(point3d_t p, double degrees, char axis)
{
    double a = degrees * PI / 180.0, c = cos(a), s = sin(a);
    switch (axis) {
    case 'x': return point3d_t{p.x, float(c * p.y - s * p.z), float(s * p.y + c * p.z)};
    case 'y': return point3d_t{float(c * p.x + s * p.z), p.y, float(c * p.z - s * p.x)};
    default: return point3d_t{float(c * p.x - s * p.y), float(s * p.x + c * p.y), p.z};
    }
}

void expectNear(point3d_t got, point3d_t want, double tolerance, const char* what)
{
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

TEST(VectorMath, PointArithmeticAndNormalising)
{
    point3d_t a, b;
    setPoint3d(&a, 1, 2, 3);
    setPoint3d(&b, 1, 1, 1);
    point3d_t d = subtractPoint3d(a, b), s = sumPoint3d(a, b);
    EXPECT_EQ(d.x, 0.0f);
    EXPECT_EQ(d.y, 1.0f);
    EXPECT_EQ(d.z, 2.0f) << "first minus second";
    EXPECT_EQ(s.x, 2.0f);
    EXPECT_EQ(s.z, 4.0f);

    point3d_t v = {3, 4, 0};
    normalizeVector(&v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.8f);
    EXPECT_EQ(v.z, 0.0f);
    point3d_t w = {-2, 0.5f, 7};
    normalizeVector(&w);
    EXPECT_NEAR(sqrt(w.x * w.x + w.y * w.y + w.z * w.z), 1.0, 1e-6);
    EXPECT_LT(w.x, 0.0f) << "direction kept";
}

// Rotations against an independent double-precision rotation, over many
// angles and points; rotateZ turns 45 degrees further than asked.
TEST(VectorMath, RotationsTurnAboutTheirAxis)
{
    expectNear([] { point3d_t p = {0, 1, 0}; rotateX(&p, 90); return p; }(), {0, 0, 1}, 1e-6, "x 90");
    expectNear([] { point3d_t p = {1, 0, 0}; rotateY(&p, 90); return p; }(), {0, 0, -1}, 1e-6, "y 90");
    expectNear([] { point3d_t p = {1, 0, 0}; rotateZ(&p, 45); return p; }(), {0, 1, 0}, 1e-6, "z 45");
    expectNear([] { point3d_t p = {1, 0, 0}; rotateZ(&p, 0); return p; }(), {0.70710678f, 0.70710678f, 0},
               1e-6, "z 0");

    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-50, 50), angle(-720, 720);
    for (int i = 0; i < 200; i++) {
        point3d_t p = {coordinate(random), coordinate(random), coordinate(random)};
        float degrees = angle(random);
        point3d_t x = p, y = p, z = p;
        rotateX(&x, degrees);
        rotateY(&y, degrees);
        rotateZ(&z, degrees);
        expectNear(x, rotated(p, degrees, 'x'), 1e-4, "x");
        expectNear(y, rotated(p, degrees, 'y'), 1e-4, "y");
        expectNear(z, rotated(p, degrees + 45.0, 'z'), 1e-4, "z");
    }
    point3d_t still = {0.1f, -3.7f, 9.25f};
    point3d_t same = still;
    rotateZ(&same, -45);
    EXPECT_EQ(same.x, still.x) << "-45 is exactly no turn";
    EXPECT_EQ(same.y, still.y);
}

// The angle is converted in double and rounded to float before cos/sin,
// which are rounded again: a conversion in float arithmetic gives other
// bits for this angle.
TEST(VectorMath, AngleIsConvertedInDoubleThenRoundedToFloat)
{
    float degrees = 97.3f;
    float radians = float(double(degrees) * 0.017453292519943295);
    float inFloat = degrees * 0.017453292f;
    ASSERT_NE(float(cos(double(radians))), float(cos(double(inFloat))))
        << "pick an angle where the two conversions differ";
    point3d_t p = {0, 1, 0};
    rotateX(&p, degrees);
    EXPECT_EQ(p.y, float(cos(double(radians))));
    EXPECT_EQ(p.z, float(sin(double(radians))));
}

TEST(VectorMath, SetRotatefScalesByQuadrant)
{
    point3d_t cases[] = {{1, 1, 5}, {-1, 1, 5}, {0, 3, 1}, {-2, -2, 0}};
    for (point3d_t p : cases) {
        point3d_t q = p;
        setRotatef(&q, -45, 0.3f, 0.2f, 0.9f);
        EXPECT_EQ(q.x, p.x);
        EXPECT_EQ(q.y, p.y) << "-45: both factors are 1";
    }
    // At 45 (90 converted) with axis (0, 0, 1): P ~ 0, Q = 1.
    point3d_t first = {1, 1, 5}, second = {-1, 1, 5}, fourth = {2, -1, 5}, onAxis = {0, 2, 5};
    setRotatef(&first, 45, 0, 0, 1);
    setRotatef(&second, 45, 0, 0, 1);
    setRotatef(&fourth, 45, 0, 0, 1);
    setRotatef(&onAxis, 45, 0, 0, 1);
    expectNear(first, {-1, 1, 5}, 1e-6, "first quadrant: x*(P-Q), y*(P+Q)");
    expectNear(second, {-1, -1, 5}, 1e-6, "second quadrant: x*(P+Q), y*(P-Q)");
    expectNear(fourth, {2, 1, 5}, 1e-6, "fourth quadrant like the second");
    expectNear(onAxis, {0, 2, 5}, 1e-6, "a point on an axis takes the first rule");
    // The axis' x and y scale through t = 1 - cos: at 45 they add t each.
    point3d_t p = {1, 1, 0};
    setRotatef(&p, 45, 1, 1, 0);
    expectNear(p, {2, 2, 0}, 1e-6, "P = ca + t + t = 2");
}

TEST(VectorMath, SelectionSortOrdersAndKeepsTheFirstOfEqualValues)
{
    float four[] = {3, 1, 2, 1};
    insertSortFloat(four, 4);
    EXPECT_EQ(std::vector<float>(four, four + 4), (std::vector<float>{1, 1, 2, 3}));

    float guard[] = {5, 4};
    insertSortFloat(guard, 0);
    insertSortFloat(guard, 1);
    EXPECT_EQ(guard[0], 5.0f);
    EXPECT_EQ(guard[1], 4.0f) << "only the first n elements";

    // Zeros of both signs compare equal, so they show which one moved first.
    float zeros[] = {1, 0.0f, -0.0f};
    insertSortFloat(zeros, 3);
    EXPECT_FALSE(std::signbit(zeros[0])) << "the first equal minimum is taken";
    EXPECT_TRUE(std::signbit(zeros[1]));
    EXPECT_EQ(zeros[2], 1.0f);

    std::mt19937 random(11);
    std::uniform_int_distribution<int> value(-20, 20);
    for (int n = 2; n < 60; n += 7) {
        std::vector<float> v(static_cast<size_t>(n));
        for (float& f : v)
            f = float(value(random)) * 0.5f;
        std::vector<float> want = v;
        std::sort(want.begin(), want.end());
        insertSortFloat(v.data(), n);
        EXPECT_EQ(v, want);
    }
}

// Projection through the current matrices, compared with the window
// position worked out by hand.
TEST(VectorMath, ProjectsThroughTheCurrentMatricesAndViewport)
{
    REQUIRE_GL_WINDOW(320, 240);
    glViewport(20, 10, 200, 100);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 400, 0, 200, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(100, 0, 0);
    point2d_t p = getScreenCoordinateFrom3dCoordinate(point3d_t{100, 50, 0.5f});
    EXPECT_FLOAT_EQ(p.x, 20 + 200 * 200.0f / 400.0f);
    EXPECT_FLOAT_EQ(p.y, 10 + 100 * 50.0f / 200.0f) << "origin bottom-left, no flip";

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    point2d_t q = getScreenCoordinateFrom3dCoordinate(point3d_t{2, -1, -4});
    // x_ndc = x / -z = 0.5, y_ndc = -0.25
    EXPECT_NEAR(q.x, 20 + 200 * (0.5 + 0.5 * 0.5), 1e-3);
    EXPECT_NEAR(q.y, 10 + 100 * (0.5 - 0.5 * 0.25), 1e-3);
    glViewport(0, 0, 320, 240);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

} // namespace
