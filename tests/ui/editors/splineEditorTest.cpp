#include "system/ui/editors/splineEditor.h"
#include "system/ui/input/inputSdl.h"
#include "tests/support/glWindow.h"
#include "tests/support/littleEndian.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// Counts calls of malloc, to show that a steady frame makes none. The
// sanitizers bring their own malloc, so there it is not counted.
#if defined(__SANITIZE_ADDRESS__)
const bool mallocCounting = false;
std::atomic<long> mallocCalls{0};
#else
extern "C" void* __libc_malloc(size_t size);
const bool mallocCounting = true;
std::atomic<long> mallocCalls{0};
extern "C" void* malloc(size_t size)
{
    mallocCalls.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
#endif

namespace {

const int WIDTH = 320, HEIGHT = 240;

struct drawn_t {
    unsigned int mode;
    float width;
    std::vector<std::pair<float, float>> vertices;
};

// Records what the editor draws and passes it on to OpenGL, so the same
// frame can be counted and read back.
std::vector<drawn_t> drawn;
float currentWidth;

void recordLineWidth(float width)
{
    currentWidth = width;
    glLineWidth(width);
}
void recordBegin(unsigned int mode)
{
    drawn.push_back(drawn_t{mode, currentWidth, {}});
    glBegin(mode);
}
void recordVertex(float x, float y)
{
    drawn.back().vertices.push_back({x, y});
    glVertex2f(x, y);
}
void recordEnd(void) { glEnd(); }

const splineEditorDrawPlatform_t recorder = {recordLineWidth, recordBegin, recordVertex, recordEnd};

const splineEditor_t& state()
{
    return *splineEditorGetState();
}

// One frame with the mouse at (x, y); the one-shot flags last one frame, as
// after a call of isUserExit.
void frame(int x, int y, bool held, bool released = false)
{
    mouseX = x;
    mouseY = y;
    buttonPressed = held;
    buttonReleased = released;
    drawn.clear();
    splineEditorRun();
    buttonReleased = zPressed = f1Pressed = f2Pressed = 0;
}

// Holds the button along the points, then lets go at the last one.
void stroke(std::vector<std::pair<int, int>> points)
{
    for (auto p : points)
        frame(p.first, p.second, true);
    frame(points.back().first, points.back().second, false, true);
}

void undo(void)
{
    ctrlPressed = 1;
    zPressed = 1;
    frame(0, 0, false);
    ctrlPressed = 0;
}

std::vector<std::pair<float, float>> slotPoints(int slot)
{
    std::vector<std::pair<float, float>> points;
    for (const bezierSpline* p = state().bSHead[slot]; p; p = p->next)
        points.push_back({p->x, p->y});
    return points;
}

const drawn_t* curveStrip(size_t index)
{
    size_t seen = 0;
    for (const drawn_t& d : drawn)
        if (d.mode == GL_LINE_STRIP && seen++ == index)
            return &d;
    return nullptr;
}

using bytes_t = littleEndian_t;

void writeFile(const char* name, const std::vector<unsigned char>& bytes, size_t cut = SIZE_MAX)
{
    FILE* file = fopen(name, "wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, std::min(cut, bytes.size()), file);
    fclose(file);
}

std::vector<unsigned char> readFile(const char* name)
{
    std::vector<unsigned char> bytes;
    FILE* file = fopen(name, "rb");
    if (!file)
        return bytes;
    for (int c; (c = fgetc(file)) != EOF;)
        bytes.push_back(uint8_t(c));
    fclose(file);
    return bytes;
}

bool exists(const char* name)
{
    return access(name, F_OK) == 0;
}

// Runs the test body in a fresh temporary directory, so saved drawings
// never land in the repository.
class InTemporaryDirectory {
public:
    InTemporaryDirectory()
    {
        char pattern[] = "/tmp/tessellune-editor-XXXXXX";
        path = mkdtemp(pattern);
        old = std::filesystem::current_path();
        std::filesystem::current_path(path);
    }
    ~InTemporaryDirectory()
    {
        std::filesystem::current_path(old);
        std::filesystem::remove_all(path);
    }

private:
    std::string path;
    std::filesystem::path old;
};

// Mesa's software renderer keeps two small blocks from the process's first
// draw call, allocated from JIT-compiled code that LeakSanitizer cannot name,
// so no suppression can match them: that first draw is made with leak
// tracking off. Later draws (ours) are tracked.
void warmUpDriver(void)
{
    static bool done = false;
    if (done)
        return;
    done = true;
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler untracked;
#endif
    glBegin(GL_POINTS);
    glVertex2f(-10, -10);
    glEnd();
    glFinish();
}

class SplineEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testGlWindow(WIDTH, HEIGHT))
            GTEST_SKIP() << "no X display for an OpenGL window";
        warmUpDriver();
        inputInit();
        splineEditorReset();
        splineEditorInit();
        splineEditorSetDrawPlatform(&recorder);
    }
    void TearDown() override
    {
        splineEditorDeinit();
        splineEditorSetDrawPlatform(nullptr);
        inputInit();
    }
};

TEST_F(SplineEditor, FirstFrameStrokeAndItsEnd)
{
    EXPECT_EQ(state().splinesNum, 0);
    EXPECT_EQ(state().splinesMax, 1);
    EXPECT_EQ(state().saveCount, 1);
    EXPECT_EQ(state().splineWidth[0], 3);

    frame(100, 200, true);
    ASSERT_EQ(slotPoints(0), (std::vector<std::pair<float, float>>{{100, 200}}));
    EXPECT_EQ(state().bezierPointNum[0], 1);
    EXPECT_EQ(state().bSHead[0]->bX, 100.0f);
    EXPECT_EQ(state().bSHead[0]->bY, 200.0f);
    ASSERT_NE(curveStrip(0), nullptr);
    EXPECT_TRUE(curveStrip(0)->vertices.empty()) << "one point has no segment";

    frame(100, 200, false, true);
    EXPECT_EQ(state().splinesNum, 1);
    EXPECT_EQ(state().splinesMax, 2);
    EXPECT_EQ(state().bSHead[1], nullptr);
    EXPECT_EQ(state().splineWidth[1], 3);
    frame(100, 200, false, true);
    EXPECT_EQ(state().splinesNum, 1) << "an empty stroke does not end";
}

// Freehand spacing: a point only when the mouse is more than lineRedraw
// pixels from the last kept point on some axis.
TEST_F(SplineEditor, PointsAreSpacedByLineRedraw)
{
    for (int i = 0; i < 10; i++)
        frame(10 + 5 * i, 50, true);
    EXPECT_EQ(state().bezierPointNum[0], 10) << "5 px a frame: every frame";
    frame(55, 50, false, true);

    for (int i = 0; i < 10; i++)
        frame(10 + 3 * i, 100, true);
    EXPECT_EQ(state().bezierPointNum[1], 5) << "3 px a frame: every second frame";
    for (int i = 0; i < 5; i++)
        frame(37, 100, true);
    EXPECT_EQ(state().bezierPointNum[1], 5) << "a still mouse adds nothing more";
    frame(38, 104, true);
    EXPECT_EQ(state().bezierPointNum[1], 5) << "4 px on both axes is within the spacing";
    frame(38, 105, true);
    EXPECT_EQ(state().bezierPointNum[1], 6) << "one axis beyond it is enough";

    lineRedraw = 15;
    frame(53, 105, true);
    EXPECT_EQ(state().bezierPointNum[1], 6);
    frame(54, 105, true);
    EXPECT_EQ(state().bezierPointNum[1], 7);
}

TEST_F(SplineEditor, UndoStepsBackThenDeletes)
{
    undo();
    EXPECT_EQ(state().splinesNum, 0) << "an empty slot 0 is only cleared";
    EXPECT_EQ(state().bezierPointNum[0], 0);

    stroke({{10, 10}, {30, 10}, {50, 10}});
    stroke({{10, 60}, {30, 60}, {50, 60}, {70, 60}});
    ASSERT_EQ(state().splinesNum, 2);
    undo();
    EXPECT_EQ(state().splinesNum, 1) << "the first undo steps back to the last stroke";
    EXPECT_EQ(state().splinesMax, 2);
    EXPECT_EQ(state().bezierPointNum[1], 4) << "still intact";
    undo();
    EXPECT_EQ(state().splinesNum, 0);
    EXPECT_EQ(state().bSHead[1], nullptr) << "the second deletes it";
    EXPECT_EQ(state().bezierPointNum[1], 0);
    EXPECT_EQ(state().bezierPointNum[0], 3);
    undo();
    EXPECT_EQ(state().bSHead[0], nullptr);
    EXPECT_EQ(state().splinesNum, 0);
    stroke({{5, 5}, {25, 5}});
    EXPECT_EQ(state().bezierPointNum[0], 2) << "drawing starts again in slot 0";

    zPressed = 1;
    frame(0, 0, false);
    EXPECT_EQ(state().splinesNum, 1) << "Z without Ctrl does nothing";
}

TEST_F(SplineEditor, CtrlDragsTheFirstPointNearTheMouse)
{
    stroke({{100, 100}, {150, 120}, {200, 100}});
    stroke({{152, 118}, {152, 160}});
    ctrlPressed = 1;
    frame(155, 115, true); // within 10 of (150,120) and of (152,118): slot 0 first
    ASSERT_EQ(state().dragSpline, state().bSHead[0]->next);
    EXPECT_EQ(state().bezierPointNum[2], 0) << "Ctrl held: no new points";
    frame(170, 140, false); // the grab holds after the button is up
    EXPECT_EQ(state().bSHead[0]->next->x, 170.0f);
    EXPECT_EQ(state().bSHead[0]->next->y, 140.0f);
    EXPECT_EQ(state().bSHead[0]->next->bX, 150.0f) << "the handle stays";
    frame(300, 10, true); // no other point is grabbed while one is held
    EXPECT_EQ(state().dragSpline, state().bSHead[0]->next);
    ctrlPressed = 0;
    frame(90, 90, false);
    EXPECT_EQ(state().dragSpline, nullptr);
    EXPECT_EQ(state().bSHead[0]->next->x, 300.0f);
    ctrlPressed = 1;
    frame(250, 200, true);
    EXPECT_EQ(state().dragSpline, nullptr) << "nothing within 10 pixels";
}

// Undo releases the stroke holding the grabbed point; the grab must go with
// it, or the next frame with Ctrl held writes to released memory.
TEST_F(SplineEditor, UndoLetsGoOfAGrabbedPointItReleases)
{
    stroke({{100, 100}, {150, 120}, {200, 100}});
    undo(); // back to slot 0
    ctrlPressed = 1;
    frame(150, 120, true);
    ASSERT_NE(state().dragSpline, nullptr);
    zPressed = 1;
    frame(160, 130, false);
    EXPECT_EQ(state().dragSpline, nullptr);
    EXPECT_EQ(state().bSHead[0], nullptr);
    frame(170, 140, false);
    ctrlPressed = 0;
}

TEST_F(SplineEditor, DrawsTwelveSamplesPerSegmentAtTheSlotsWidth)
{
    stroke({{40, 100}, {90, 150}, {140, 100}});
    frame(0, 0, false);
    const drawn_t* curve = curveStrip(0);
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->vertices.size(), 24u) << "12 per segment, the end point not emitted";
    EXPECT_EQ(curve->width, 3.0f);
    cubic2d in[3] = {}, C[2];
    float xs[] = {40, 90, 140}, ys[] = {100, 150, 100};
    for (int i = 0; i < 3; i++) {
        in[i].x.a = xs[i];
        in[i].y.a = ys[i];
    }
    calcNaturalCubic(C, 2, in);
    for (int k = 0; k < 24; k++) {
        const cubic& x = C[k / 12].x;
        const cubic& y = C[k / 12].y;
        float u = float(k % 12) / 12.0f;
        EXPECT_EQ(curve->vertices[k].first, ((x.d * u + x.c) * u + x.b) * u + x.a) << k;
        EXPECT_EQ(curve->vertices[k].second, ((y.d * u + y.c) * u + y.b) * u + y.a) << k;
    }
    EXPECT_FLOAT_EQ(curve->vertices[6].second, 100 + 50 * 0.6875f);
    ASSERT_EQ(drawn.back().mode, unsigned(GL_POINTS));
    EXPECT_EQ(drawn.back().vertices, (std::vector<std::pair<float, float>>{{0, 0}})) << "marker";
}

TEST_F(SplineEditor, CurrentSlotWidthFollowsLineWidth)
{
    lineWidth = 9;
    frame(0, 0, false);
    EXPECT_EQ(state().splineWidth[0], 3) << "no slot has points: nothing follows";
    lineWidth = 3;
    stroke({{10, 10}, {30, 10}, {50, 10}});
    lineWidth = 7;
    frame(0, 0, false);
    EXPECT_EQ(state().splineWidth[0], 3) << "a finished stroke keeps its width";
    EXPECT_EQ(state().splineWidth[1], 7) << "the current slot follows";
    EXPECT_EQ(curveStrip(0)->width, 3.0f);
    stroke({{10, 60}, {30, 60}});
    lineWidth = 2;
    frame(0, 0, false);
    EXPECT_EQ(state().splineWidth[1], 7);
    EXPECT_EQ(state().splineWidth[2], 2);
    EXPECT_EQ(curveStrip(1)->width, 7.0f);
}

bytes_t threePointRecord()
{
    bytes_t b;
    b.word(3).word(3).f(0).f(0).f(-10).f(-5).f(-10).f(5);
    return b;
}

TEST_F(SplineEditor, F1SavesTheDifferenceEncodedRecord)
{
    InTemporaryDirectory directory;
    f1Pressed = 1;
    frame(0, 0, false);
    EXPECT_TRUE(readFile("draw1.dat").empty()) << "no points: an empty file";
    ASSERT_TRUE(exists("draw1.dat"));

    stroke({{0, 0}, {10, 5}, {20, 0}});
    frame(200, 200, true); // a one-point stroke in progress is saved too
    f1Pressed = 1;
    frame(200, 200, true);
    bytes_t want = threePointRecord();
    want.word(1).word(3).f(200).f(200);
    EXPECT_EQ(readFile("draw1.dat"), want.bytes);
    EXPECT_EQ(want.bytes.size(), 32u + 16u);
    EXPECT_EQ(state().saveCount, 1);
}

TEST_F(SplineEditor, F2TakesTheNextFreeNumberAndF1KeepsIt)
{
    InTemporaryDirectory directory;
    writeFile("draw2.dat", {1, 2, 3});
    writeFile("draw3.dat", {4});
    stroke({{0, 0}, {10, 5}, {20, 0}});
    f2Pressed = 1;
    frame(0, 0, false);
    EXPECT_EQ(state().saveCount, 4);
    EXPECT_EQ(readFile("draw4.dat"), threePointRecord().bytes);
    EXPECT_FALSE(exists("draw1.dat"));
    EXPECT_EQ(readFile("draw2.dat"), (std::vector<unsigned char>{1, 2, 3})) << "never overwritten";

    stroke({{50, 50}, {60, 50}});
    f1Pressed = 1;
    frame(0, 0, false);
    EXPECT_EQ(readFile("draw4.dat").size(), 32u + 24u) << "F1 rewrites the F2 file";
    f2Pressed = 1;
    frame(0, 0, false);
    EXPECT_EQ(state().saveCount, 5);
    EXPECT_TRUE(exists("draw5.dat"));
}

TEST_F(SplineEditor, ASaveThatCannotOpenItsFileSaysSo)
{
    InTemporaryDirectory directory;
    std::filesystem::create_directory("draw1.dat");
    stroke({{0, 0}, {10, 5}});
    testing::internal::CaptureStdout();
    f1Pressed = 1;
    frame(0, 0, false);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("cannot open draw1.dat"), std::string::npos) << out;
}

TEST_F(SplineEditor, LoadFillsNewSlotsAfterTheCurrentOne)
{
    InTemporaryDirectory directory;
    bytes_t file = threePointRecord();
    file.word(2).word(5).f(100).f(100).f(-50).f(0);
    writeFile("in.dat", file.bytes);
    splineEditorLoad("in.dat");
    EXPECT_EQ(state().splinesNum, 2);
    EXPECT_EQ(state().splinesMax, 3);
    EXPECT_EQ(state().bSHead[0], nullptr) << "slot 0 stays empty";
    EXPECT_EQ(slotPoints(1), (std::vector<std::pair<float, float>>{{0, 0}, {10, 5}, {20, 0}}));
    EXPECT_EQ(slotPoints(2), (std::vector<std::pair<float, float>>{{100, 100}, {150, 100}}));
    EXPECT_EQ(state().splineWidth[1], 3);
    EXPECT_EQ(state().splineWidth[2], 5);

    lineWidth = 4;
    frame(0, 0, false);
    EXPECT_EQ(state().splineWidth[2], 4) << "the loaded stroke is current and follows lineWidth";
    ASSERT_NE(curveStrip(0), nullptr);
    EXPECT_EQ(curveStrip(0)->vertices.size(), 24u) << "slot 0 is skipped";

    frame(300, 100, true);
    EXPECT_EQ(state().bezierPointNum[2], 3) << "drawing goes on in the last loaded stroke";
    f1Pressed = 1;
    frame(300, 100, false, true);
    bytes_t saved = threePointRecord();
    saved.word(3).word(4).f(100).f(100).f(-50).f(0).f(-150).f(0);
    EXPECT_EQ(readFile("draw1.dat"), saved.bytes);

    splineEditorLoad("missing.dat");
    EXPECT_EQ(state().splinesNum, 3) << "a missing file adds nothing";
}

TEST_F(SplineEditor, LoadAppliesTheStrokeRulesOnce)
{
    InTemporaryDirectory directory;
    writeFile("in.dat", threePointRecord().bytes);
    mouseX = 7;
    mouseY = 8;
    buttonPressed = 1;
    splineEditorLoad("in.dat");
    EXPECT_EQ(state().bezierPointNum[1], 4) << "the held button adds the mouse point, unspaced";
    EXPECT_EQ(state().bSTail[1]->x, 7.0f);
    buttonPressed = 0;
    buttonReleased = 1;
    splineEditorLoad("missing.dat");
    EXPECT_EQ(state().splinesNum, 2) << "the release ends the stroke";
    EXPECT_EQ(state().bSHead[2], nullptr);
}

// Guards against init wiping strokes loaded before it or the save number,
// and against deinit leaving links to released points: after it the counts
// stay, and a later init and run must neither reach freed memory nor save a
// count whose points are gone.
TEST_F(SplineEditor, InitKeepsLoadedStrokesAndDeinitKeepsTheCounts)
{
    InTemporaryDirectory directory;
    mouseX = 5;
    mouseY = 6;
    buttonPressed = 1;
    splineEditorLoad("missing.dat"); // the held button puts a point in slot 0
    buttonPressed = 0;
    bytes_t file = threePointRecord();
    file.word(2).word(5).f(100).f(100).f(-50).f(0);
    writeFile("in.dat", file.bytes);
    splineEditorLoad("in.dat");
    lineWidth = 4; // the current, last loaded stroke takes it
    f2Pressed = 1;
    frame(0, 0, false);
    ASSERT_EQ(state().saveCount, 2);

    splineEditorInit();
    EXPECT_EQ(state().bSHead[0], nullptr) << "slot 0 is set up empty";
    EXPECT_EQ(state().bezierPointNum[0], 0);
    EXPECT_EQ(state().splineWidth[0], 3);
    EXPECT_EQ(state().splinesNum, 2);
    EXPECT_EQ(slotPoints(1), (std::vector<std::pair<float, float>>{{0, 0}, {10, 5}, {20, 0}}));
    EXPECT_EQ(slotPoints(2), (std::vector<std::pair<float, float>>{{100, 100}, {150, 100}}));
    EXPECT_EQ(state().saveCount, 2);

    splineEditorDeinit();
    EXPECT_EQ(state().splinesNum, 2);
    EXPECT_EQ(state().splinesMax, 3);
    EXPECT_EQ(state().bezierPointNum[1], 3);
    EXPECT_EQ(state().splineWidth[2], 4);
    EXPECT_EQ(state().saveCount, 2);
    for (int slot = 0; slot < SPLINE_EDITOR_SLOTS; slot++)
        ASSERT_EQ(state().bSHead[slot], nullptr) << "slot " << slot;

    splineEditorInit();
    ctrlPressed = shiftPressed = 1;
    frame(100, 100, true); // overlays and the grab search walk every slot
    ctrlPressed = shiftPressed = 0;
    stroke({{200, 200}, {220, 200}});
    EXPECT_EQ(state().bezierPointNum[2], 2) << "the slot's old count is gone with its points";
    f1Pressed = 1;
    frame(0, 0, false);
    bytes_t saved;
    saved.word(2).word(4).f(200).f(200).f(-20).f(0);
    EXPECT_EQ(readFile("draw2.dat"), saved.bytes);
}

// Only points whose data is wholly in the file are kept, and a record
// without its width word adds no slot; any read past what was written would
// show as garbage points.
TEST_F(SplineEditor, CutShortFilesYieldOnlyCompletePoints)
{
    InTemporaryDirectory directory;
    bytes_t file = threePointRecord();
    file.word(4).word(3).f(1).f(2).f(3).f(4);
    for (size_t cut = 33; cut < 48; cut++) {
        writeFile("cut.dat", file.bytes, cut);
        splineEditorReset();
        splineEditorInit();
        splineEditorLoad("cut.dat");
        size_t whole = cut < 40 ? 0 : (cut - 40) / 8;
        if (cut < 40) {
            EXPECT_EQ(state().splinesNum, 1) << "cut " << cut << ": no second slot";
        } else {
            EXPECT_EQ(state().splinesNum, 2) << "cut " << cut;
            EXPECT_EQ(state().bezierPointNum[2], int(whole)) << "cut " << cut;
            EXPECT_EQ(slotPoints(2).size(), whole);
        }
        EXPECT_EQ(state().bezierPointNum[1], 3);
    }
    bytes_t negative;
    negative.word(uint32_t(-5)).word(3).word(1).word(7).f(1).f(2);
    writeFile("negative.dat", negative.bytes);
    splineEditorReset();
    splineEditorInit();
    splineEditorLoad("negative.dat");
    EXPECT_EQ(state().splinesNum, 2);
    EXPECT_EQ(state().bezierPointNum[1], 0) << "a negative count is an empty stroke";
    EXPECT_EQ(slotPoints(2), (std::vector<std::pair<float, float>>{{1, 2}}));
    EXPECT_EQ(state().splineWidth[2], 7);
}

// There are 2048 slots: records and strokes beyond the last are ignored,
// and Ctrl+Z makes room again.
TEST_F(SplineEditor, NoSlotBeyondTheLast)
{
    InTemporaryDirectory directory;
    bytes_t many;
    for (int i = 0; i < 2100; i++)
        many.word(1).word(3).f(float(i % 300)).f(float(i / 300));
    writeFile("many.dat", many.bytes);
    testing::internal::CaptureStdout();
    splineEditorLoad("many.dat");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("not loaded"), std::string::npos) << out;
    EXPECT_EQ(state().splinesNum, SPLINE_EDITOR_SLOTS - 1);
    EXPECT_EQ(state().splinesMax, SPLINE_EDITOR_SLOTS);
    EXPECT_EQ(slotPoints(2047), (std::vector<std::pair<float, float>>{{246, 6}})) << "record 2046";

    stroke({{10, 200}, {30, 200}}); // continues the current, last slot, then ends it
    EXPECT_EQ(state().bezierPointNum[2047], 3);
    EXPECT_EQ(state().splinesNum, 2047);
    EXPECT_TRUE(state().slotsFull);
    stroke({{100, 220}, {120, 220}});
    EXPECT_EQ(state().bezierPointNum[2047], 3) << "no slot for a new stroke";
    splineEditorLoad("many.dat");
    EXPECT_EQ(state().splinesNum, 2047);
    f1Pressed = 1;
    frame(0, 0, false);
    EXPECT_EQ(readFile("draw1.dat").size(), 2046u * 16 + 32) << "every slot saved once";

    undo();
    EXPECT_FALSE(state().slotsFull);
    EXPECT_EQ(state().bezierPointNum[2047], 3) << "the first undo only makes room";
    undo();
    EXPECT_EQ(state().bSHead[2047], nullptr);
    EXPECT_EQ(state().splinesNum, 2046);
}

TEST_F(SplineEditor, OverlaysTurnLaterCurvesWhite)
{
    splineEditorSetDrawPlatform(nullptr);
    std::vector<std::pair<int, int>> arch = {{40, 100}, {90, 150}, {140, 100}};
    stroke(arch);
    stroke({{190, 100}, {240, 150}, {290, 100}});
    // The curve at the middle of each first segment, away from the control
    // polygon (y 125) and the control points.
    const int firstX = 65, secondX = 215, curveY = 134;
    auto draw = [](bool ctrl, bool shift) {
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ctrlPressed = ctrl;
        shiftPressed = shift;
        frame(5, 5, false);
        ctrlPressed = shiftPressed = 0;
    };
    auto isBlack = [](rgb_t c) { return c.r < 40 && c.g < 40 && c.b < 40; };
    auto isWhite = [](rgb_t c) { return c.r > 215 && c.g > 215 && c.b > 215; };

    draw(false, false);
    EXPECT_TRUE(isBlack(testReadPixel(firstX, curveY)));
    EXPECT_TRUE(isBlack(testReadPixel(secondX, curveY)));
    draw(false, true);
    EXPECT_TRUE(isBlack(testReadPixel(firstX, curveY))) << "slot 0 is drawn before any overlay";
    EXPECT_TRUE(isWhite(testReadPixel(secondX, curveY))) << "Shift: later curves white";
    draw(true, false);
    EXPECT_TRUE(isBlack(testReadPixel(firstX, curveY)));
    EXPECT_TRUE(isWhite(testReadPixel(secondX, curveY))) << "Ctrl: later curves white";
    rgb_t point = testReadPixel(90, 150);
    EXPECT_TRUE(point.r > 215 && point.g < 40 && point.b < 40) << "control points red under Ctrl";
}

// After the first frame has sized the scratch, a steady frame allocates
// nothing, also for a stroke too long for the stack.
TEST_F(SplineEditor, SteadyFramesMakeNoHeapAllocation)
{
    if (!mallocCounting)
        GTEST_SKIP() << "malloc is the sanitizer's here; counted in the plain build";
    InTemporaryDirectory directory;
    bytes_t file;
    file.word(600).word(3).f(0).f(0);
    for (int i = 1; i < 600; i++)
        file.f(-0.5f).f(i % 2 ? -3.0f : 3.0f);
    writeFile("long.dat", file.bytes);
    splineEditorLoad("long.dat");
    stroke({{10, 10}, {30, 20}, {50, 10}});
    // Only the editor's own work is counted: OpenGL drivers keep their own
    // buffers.
    static const splineEditorDrawPlatform_t quiet = {
        [](float) {}, [](unsigned int) {}, [](float, float) {}, [](void) {}};
    splineEditorSetDrawPlatform(&quiet);
    ctrlPressed = 1;
    frame(5, 5, false);
    ctrlPressed = 0;
    frame(5, 5, false);
    long before = mallocCalls.load();
    for (int i = 0; i < 20; i++)
        frame(5 + i % 2, 5, i % 2 == 0);
    EXPECT_EQ(mallocCalls.load() - before, 1) << "only the one new point of the stroke";
}

} // namespace
