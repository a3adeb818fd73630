#include "system/math/splines/cubic/cubicSpline.h"
#include "system/math/splines/spline.h"
#include "tests/support/littleEndian.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct strip_t {
    unsigned int mode;
    float width;
    std::vector<point3d> vertices;
};

std::vector<strip_t> strips;
float currentWidth;

void recordLineWidth(float width) { currentWidth = width; }
void recordBegin(unsigned int mode) { strips.push_back(strip_t{mode, currentWidth, {}}); }
void recordVertex(float x, float y, float z) { strips.back().vertices.push_back(point3d{x, y, z}); }
void recordEnd(void) {}

const splineDrawPlatform_t recorder = {recordLineWidth, recordBegin, recordVertex, recordEnd};

// A spline data block: records of a point count and a line width, then the
// points.
struct block_t : littleEndian_t {
    block_t& record(uint32_t count, float width)
    {
        word(count).f(width);
        return *this;
    }
};

// Loads from a heap copy of exactly the block's size, so AddressSanitizer
// sees any read past its end.
splineContainer* load(const block_t& block, size_t cut = SIZE_MAX)
{
    size_t size = cut < block.bytes.size() ? cut : block.bytes.size();
    char* copy = static_cast<char*>(malloc(size ? size : 1));
    memcpy(copy, block.bytes.data(), size);
    splineContainer* c = loadSplineContainer(copy, unsigned(size));
    free(copy);
    return c;
}

std::vector<point3d> pointsOf(const spline* s)
{
    std::vector<point3d> points;
    for (const splinePoint* p = s->splinePointHead; p; p = p->next)
        points.push_back(point3d{p->x, p->y, p->z});
    return points;
}

// A block of one spline of `count` points along a gentle curve.
block_t curveBlock(int count, float width = 2.0f)
{
    block_t b;
    b.record(uint32_t(count), width).f(0).f(0);
    for (int i = 1; i < count; i++)
        b.f(-10.0f).f(float(i % 3) - 1.0f);
    return b;
}

class SplineContainer : public ::testing::Test {
protected:
    void SetUp() override
    {
        strips.clear();
        currentWidth = 0;
        splineSetDrawPlatform(&recorder);
    }
    void TearDown() override
    {
        deleteSplineContainer(getSplineContainerHead());
        splineSetDrawPlatform(nullptr);
    }
};

TEST_F(SplineContainer, LoadsTheDifferenceEncodedBlock)
{
    block_t b;
    b.record(3, 0.5f).f(10).f(20).f(1).f(-2).f(1).f(-2);
    splineContainer* c = load(b);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->size, 1u);
    EXPECT_EQ(c->pointsCount, 30u) << "10 per point at the default detail";
    ASSERT_NE(c->splineLayerHead, nullptr);
    EXPECT_EQ(c->splineLayerHead, c->splineLayerTail);
    EXPECT_EQ(c->splineLayerHead->size, 1u);
    const spline* s = c->splineLayerHead->splineHead;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->size, 3u);
    EXPECT_EQ(s->detail, 10u);
    EXPECT_EQ(s->width, 3.0f) << "a width below 1 becomes 3";
    auto points = pointsOf(s);
    ASSERT_EQ(points.size(), 3u);
    float expected[3][3] = {{10, 20, 0}, {9, 22, 0}, {8, 24, 0}};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(points[i].x, expected[i][0]);
        EXPECT_EQ(points[i].y, expected[i][1]);
        EXPECT_EQ(points[i].z, expected[i][2]);
    }
    EXPECT_EQ(s->splinePointTail->next, nullptr);
}

TEST_F(SplineContainer, WidthWordRules)
{
    block_t b;
    b.record(0, 2.5f).record(0, 1.0f).record(0, std::nanf("")).record(0, -4.0f);
    b.word(3).word(3); // the editor writes an integer width: a tiny float
    splineContainer* c = load(b);
    ASSERT_NE(c, nullptr);
    std::vector<float> widths;
    for (const spline* s = c->splineLayerHead->splineHead; s; s = s->next)
        widths.push_back(s->width);
    EXPECT_EQ(widths, (std::vector<float>{2.5f, 1.0f, 3.0f, 3.0f, 3.0f}));
    EXPECT_EQ(c->splineLayerHead->size, 5u);
    EXPECT_EQ(c->pointsCount, 0u);
}

TEST_F(SplineContainer, EmptyBlockGivesOneEmptyLayerAndContainersListInOrder)
{
    splineContainer* first = loadSplineContainer(nullptr, 0);
    splineContainer* second = addSplineContainer();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->size, 1u);
    ASSERT_NE(first->splineLayerHead, nullptr);
    EXPECT_EQ(first->splineLayerHead->size, 0u);
    EXPECT_EQ(first->splineLayerHead->splineHead, nullptr);
    EXPECT_EQ(getSplineContainerHead(), first);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(getSplineContainerTail(), second);
    drawSplineContainer(first, 0, 1);
    EXPECT_TRUE(strips.empty());
}

// A record that runs past the block keeps only its whole points; a header
// cut short adds nothing. The heap copy makes any over-read an ASan error.
TEST_F(SplineContainer, CutShortRecordsAreNeverReadPastTheBlock)
{
    block_t b;
    b.record(2, 2.0f).f(1).f(1).f(1).f(1); // complete: (1,1), (0,0)
    b.record(5, 2.0f).f(7).f(8).f(1).f(1).f(1).f(1).word(0xdead);
    splineContainer* c = load(b);
    ASSERT_NE(c, nullptr);
    const spline* second = c->splineLayerHead->splineHead->next;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->size, 3u);
    auto points = pointsOf(second);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2].x, 5.0f);
    EXPECT_EQ(c->pointsCount, 50u);

    for (size_t cut = 1; cut < 8; cut++) {
        splineContainer* partial = load(curveBlock(4), 24 + cut); // 2 points and a bit
        ASSERT_NE(partial, nullptr);
        EXPECT_EQ(partial->splineLayerHead->splineHead->size, 2u) << "cut " << cut;
    }
    for (size_t cut = 1; cut < 8; cut++) {
        block_t two = curveBlock(2);
        two.record(1, 2.0f).f(1).f(1);
        splineContainer* partial = load(two, 24 + cut);
        ASSERT_NE(partial, nullptr);
        EXPECT_EQ(partial->splineLayerHead->size, 1u) << "header cut at " << cut << " bytes";
    }
    block_t huge;
    huge.record(0xffffffffu, 2.0f).f(3).f(4);
    splineContainer* h = load(huge);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->splineLayerHead->splineHead->size, 1u);
}

// The reveal rules on one 11-point spline: 100 samples, pointsCount 110.
TEST_F(SplineContainer, ProgressiveDrawingOfOneSpline)
{
    splineContainer* c = load(curveBlock(11, 4.5f));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->pointsCount, 110u);
    std::vector<point3d> rough = pointsOf(c->splineLayerHead->splineHead);
    std::vector<point3d> all(100);
    createCubicSpline(all.data(), 10, 10, rough.data());

    struct { float start, end; size_t first, count; } cases[] = {
        {0, 0.5f, 0, 56}, {0.5f, 1, 50, 50}, {0, 0.95f, 0, 100}, {0, 1, 0, 100},
        {0.6f, 0.5f, 60, 1}, {-1, 1, 0, 100}, {1, 1, 100, 0}, {2, 1, 100, 0}, {0, -1, 0, 1}};
    for (auto k : cases) {
        strips.clear();
        drawSplineContainer(c, k.start, k.end);
        ASSERT_EQ(strips.size(), 1u) << k.start << ".." << k.end;
        EXPECT_EQ(strips[0].mode, unsigned(GL_LINE_STRIP));
        EXPECT_EQ(strips[0].width, 4.5f);
        ASSERT_EQ(strips[0].vertices.size(), k.count) << k.start << ".." << k.end;
        for (size_t i = 0; i < k.count; i++)
            ASSERT_EQ(strips[0].vertices[i].x, all[k.first + i].x) << "sample " << k.first + i;
    }
}

// The end counter runs across splines in drawing order; start trims every
// spline alike; a one-point spline is an empty strip, an empty one none.
TEST_F(SplineContainer, EndCounterRunsAcrossSplines)
{
    block_t b = curveBlock(11);
    b.record(1, 2.0f).f(5).f(5);
    b.record(0, 2.0f);
    block_t tail = curveBlock(11);
    b.bytes.insert(b.bytes.end(), tail.bytes.begin(), tail.bytes.end());
    splineContainer* c = load(b);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->pointsCount, 230u);

    drawSplineContainer(c, 0, 1);
    ASSERT_EQ(strips.size(), 3u) << "the empty spline is skipped";
    EXPECT_EQ(strips[0].vertices.size(), 100u);
    EXPECT_EQ(strips[1].vertices.size(), 0u) << "one point: an empty strip";
    EXPECT_EQ(strips[2].vertices.size(), 100u);

    strips.clear();
    drawSplineContainer(c, 0, 0.5f); // stops once the counter reaches 115
    ASSERT_EQ(strips.size(), 3u);
    EXPECT_EQ(strips[0].vertices.size(), 100u);
    EXPECT_EQ(strips[2].vertices.size(), 16u);

    strips.clear();
    drawSplineContainer(c, 0.25f, 0.6f); // counter from 57, threshold 138
    ASSERT_EQ(strips.size(), 3u);
    EXPECT_EQ(strips[0].vertices.size(), 75u);
    EXPECT_EQ(strips[2].vertices.size(), 7u);
}

TEST_F(SplineContainer, DeletedContainersAreCutOffTheList)
{
    splineContainer* a = load(curveBlock(3));
    splineContainer* b = load(curveBlock(4));
    splineContainer* c = load(curveBlock(5));
    ASSERT_TRUE(a && b && c);
    deleteSplineContainer(b); // takes c with it
    EXPECT_EQ(getSplineContainerHead(), a);
    EXPECT_EQ(getSplineContainerTail(), a);
    EXPECT_EQ(a->next, nullptr);
    splineContainer* d = addSplineContainer();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(a->next, d) << "appends after the last live container";
    deleteSplineContainer(a);
    EXPECT_EQ(getSplineContainerHead(), nullptr);
    EXPECT_EQ(getSplineContainerTail(), nullptr);
    splineContainer* e = addSplineContainer();
    EXPECT_EQ(getSplineContainerHead(), e);
    EXPECT_EQ(getSplineContainerTail(), e);
    deleteSplineContainer(nullptr);
    EXPECT_EQ(getSplineContainerHead(), e);
}

// The caller's own release of splines it held past deleteSplineLayer.
void releaseHeldSplines(spline* s)
{
    while (s) {
        spline* next = s->next;
        for (splinePoint* p = s->splinePointHead; p;) {
            splinePoint* following = p->next;
            free(p);
            p = following;
        }
        free(s);
        s = next;
    }
}

// Deleting layers releases the layer records only: their splines and points
// stay the caller's (AddressSanitizer, and the caller's own release would be
// a double free), and the container is left drawable and appendable.
TEST_F(SplineContainer, DeletedLayersAreCutOffTheirContainerAndTheirSplinesStay)
{
    splineContainer* c = load(curveBlock(3));
    ASSERT_NE(c, nullptr);
    splineLayer* first = c->splineLayerHead;
    splineLayer* second = addSplineLayer(c);
    splineLayer* third = addSplineLayer(c);
    ASSERT_TRUE(second && third);
    spline* s = addSpline(second);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(addSplinePoint(c, s, 1, 2, 3), nullptr);
    ASSERT_NE(addSplinePoint(c, s, 4, 5, 6), nullptr);
    EXPECT_EQ(c->size, 3u);

    deleteSplineLayer(second);
    EXPECT_EQ(c->size, 1u);
    EXPECT_EQ(c->splineLayerTail, first);
    EXPECT_EQ(first->next, nullptr);
    EXPECT_EQ(s->size, 2u) << "the spline outlives its layer";
    EXPECT_EQ(s->splinePointTail->y, 5.0f);
    EXPECT_EQ(s->splinePointHead->next, s->splinePointTail);
    releaseHeldSplines(s);
    drawSplineContainer(c, 0, 1);
    EXPECT_EQ(strips.size(), 1u);
    splineLayer* again = addSplineLayer(c);
    EXPECT_EQ(first->next, again);

    spline* held = first->splineHead;
    deleteSplineLayer(c->splineLayerHead);
    EXPECT_EQ(c->size, 0u);
    EXPECT_EQ(c->splineLayerHead, nullptr);
    EXPECT_EQ(c->splineLayerTail, nullptr);
    EXPECT_EQ(held->size, 3u);
    releaseHeldSplines(held);
    deleteSplineLayer(nullptr);
}

TEST_F(SplineContainer, PointsCountFollowsTheDetailAtTheTimeOfAdding)
{
    splineContainer* c = addSplineContainer();
    splineLayer* layer = addSplineLayer(c);
    spline* s = addSpline(layer);
    ASSERT_TRUE(c && layer && s);
    EXPECT_EQ(s->width, 3.0f);
    addSplinePoint(c, s, 0, 0, 0);
    s->detail = 4;
    addSplinePoint(c, s, 8, 0, 0);
    EXPECT_EQ(c->pointsCount, 14u);
    EXPECT_EQ(s->size, 2u);
    drawSplineContainer(c, 0, 1);
    ASSERT_EQ(strips.size(), 1u);
    ASSERT_EQ(strips[0].vertices.size(), 4u);
    EXPECT_EQ(strips[0].vertices[3].x, 6.0f) << "samples at the spline's own detail";
}

} // namespace
