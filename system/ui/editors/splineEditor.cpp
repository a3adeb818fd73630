#include "system/ui/editors/splineEditor.h"

#include "system/debug/debugMisuse.h"
#include "system/graphics/graphics.h"
#include "system/ui/input/inputSdl.h"
#include "system/ui/window/window.h"
#include "system/io/io.h"

#include <GL/gl.h>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

const int LAST_SLOT = SPLINE_EDITOR_SLOTS - 1;
const int DEFAULT_WIDTH = 3;
const int SAMPLES_PER_SEGMENT = 12;
const float GRAB_DISTANCE = 10.0f; // pixels on each axis
// Strokes of up to 256 points draw from stack memory; longer ones from the
// module's spill buffers, which are kept, so a steady frame never allocates.
const size_t STROKE_STACK_BYTES = 256 * 2 * sizeof(cubic2d);
const size_t SOLVE_STACK_BYTES = 256 * (2 * sizeof(cubicLanes_t) + sizeof(float));

void glLineWidthCall(float width) { glLineWidth(width); }
void glBeginCall(unsigned int mode) { glBegin(mode); }
void glVertexCall(float x, float y) { glVertex2f(x, y); }
void glEndCall(void) { glEnd(); }

const splineEditorDrawPlatform_t openGlPlatform = {glLineWidthCall, glBeginCall, glVertexCall,
                                                   glEndCall};

// Empty slots, splinesMax and saveCount 1. Init keeps the counters, so the
// module must hold these from program start.
const splineEditor_t START = {{}, {}, {}, {}, 0, 1, 1, nullptr, 0};

struct editorModule_t {
    splineEditor_t state = START;
    splineEditorDrawPlatform_t draw = openGlPlatform;
    cubicScratch_t strokeScratch = {nullptr, 0}; // points and coefficients of long strokes
    cubicScratch_t solveScratch = {nullptr, 0};  // calcNaturalCubic's arrays for long strokes
};

editorModule_t module;
splineEditor_t& editor = module.state;

void resetState(void)
{
    editor = START;
}

// Releases the points of one slot and drops the links to them; a grabbed
// point among them is let go, so a held Ctrl never moves released memory.
// The slot's count stays: deinit keeps the counts of what it released.
void releasePoints(int slot)
{
    for (bezierSpline* p = editor.bSHead[slot]; p;) {
        bezierSpline* next = p->next;
        if (p == editor.dragSpline)
            editor.dragSpline = nullptr;
        free(p);
        p = next;
    }
    editor.bSHead[slot] = editor.bSTail[slot] = nullptr;
}

void releaseSlot(int slot)
{
    releasePoints(slot);
    editor.bezierPointNum[slot] = 0;
}

// False when memory runs out; the point is then dropped.
bool appendPoint(int slot, float x, float y)
{
    bezierSpline* node = static_cast<bezierSpline*>(malloc(sizeof(bezierSpline)));
    if (!node)
        return false;
    *node = bezierSpline{x, y, x, y, 0, nullptr};
    // A slot without a first point holds none, whatever count deinit left.
    if (!editor.bSHead[slot]) {
        editor.bSHead[slot] = node;
        editor.bezierPointNum[slot] = 0;
    } else {
        editor.bSTail[slot]->next = node;
    }
    editor.bSTail[slot] = node;
    editor.bezierPointNum[slot]++;
    return true;
}

// Moves to the next slot once the current stroke has a point. There is no
// slot after the last one: the editor is then full until Ctrl+Z.
void endStroke(bool resetWidth)
{
    if (!editor.bSHead[editor.splinesNum] || editor.slotsFull)
        return;
    if (editor.splinesNum == LAST_SLOT) {
        editor.slotsFull = 1;
        return;
    }
    editor.splinesNum++;
    editor.splinesMax++;
    releaseSlot(editor.splinesNum); // holds nothing; keeps the slot's count honest
    if (resetWidth)
        editor.splineWidth[editor.splinesNum] = DEFAULT_WIDTH;
}

void undoStroke(void)
{
    if (editor.slotsFull) {
        // The empty stroke after the last slot goes first, as it would
        // anywhere else: the last stroke stays, now current.
        editor.slotsFull = 0;
        return;
    }
    releaseSlot(editor.splinesNum);
    if (editor.splinesNum > 0) {
        editor.splinesNum--;
        editor.splinesMax--;
    }
}

void placePoint(bool spacingTest)
{
    if (editor.slotsFull)
        return;
    int slot = editor.splinesNum;
    float x = float(mouseX), y = float(mouseY);
    const bezierSpline* last = editor.bSTail[slot];
    // Tested before allocating, so holding the mouse still costs nothing.
    if (spacingTest && editor.bSHead[slot] && fabsf(last->x - x) <= float(lineRedraw) &&
        fabsf(last->y - y) <= float(lineRedraw))
        return;
    appendPoint(slot, x, y);
}

void grabPoint(void)
{
    if (editor.dragSpline)
        return;
    float x = float(mouseX), y = float(mouseY);
    for (int slot = 0; slot < editor.splinesMax; slot++) {
        for (bezierSpline* p = editor.bSHead[slot]; p; p = p->next) {
            if (fabsf(x - p->x) <= GRAB_DISTANCE && fabsf(y - p->y) <= GRAB_DISTANCE) {
                editor.dragSpline = p;
                return;
            }
        }
    }
}

inline float horner(const cubic& c, float u)
{
    return ((c.d * u + c.c) * u + c.b) * u + c.a;
}

void drawCurve(int slot)
{
    int count = editor.bezierPointNum[slot];
    int n = count - 1;
    alignas(16) unsigned char stackRoom[STROKE_STACK_BYTES];
    size_t bytes = (size_t(count) + size_t(n)) * sizeof(cubic2d);
    cubic2d* points = static_cast<cubic2d*>(
        cubicScratchRoom(&module.strokeScratch, stackRoom, sizeof stackRoom, bytes));
    if (!points)
        return;
    cubic2d* C = points + count;
    int k = 0;
    for (const bezierSpline* p = editor.bSHead[slot]; p && k < count; p = p->next, k++) {
        points[k].x.a = p->x;
        points[k].y.a = p->y;
    }
    calcNaturalCubic(C, n, points);

    if (!editor.slotsFull)
        editor.splineWidth[editor.splinesNum] = int(lineWidth);
    module.draw.lineWidth(float(editor.splineWidth[slot]));
    module.draw.begin(GL_LINE_STRIP);
    for (int j = 0; j < n; j++) {
        for (int step = 0; step < SAMPLES_PER_SEGMENT; step++) {
            float u = float(step) / float(SAMPLES_PER_SEGMENT);
            module.draw.vertex(horner(C[j].x, u), horner(C[j].y, u));
        }
    }
    module.draw.end();
}

void drawPoints(int slot, unsigned int mode)
{
    module.draw.begin(mode);
    for (const bezierSpline* p = editor.bSHead[slot]; p; p = p->next)
        module.draw.vertex(p->x, p->y);
    module.draw.end();
}

// The overlays end by setting a colour that the next slot's curve inherits:
// while Ctrl or Shift is held every curve after slot 0 is drawn white.
void drawSlots(void)
{
    for (int slot = 0; slot < editor.splinesMax; slot++) {
        if (editor.bezierPointNum[slot] > 0 && editor.bSHead[slot])
            drawCurve(slot);
        if (ctrlPressed) {
            module.draw.lineWidth(1.0f);
            glColor3f(0, 0, 1);
            drawPoints(slot, GL_LINE_STRIP);
            module.draw.lineWidth(3.0f);
            glColor3f(1, 0, 0);
        }
        if (ctrlPressed || shiftPressed) {
            glPointSize(10.0f);
            drawPoints(slot, GL_POINTS);
            glColor3f(1, 1, 1);
        }
    }
}

void putWord(FILE* file, uint32_t word)
{
    unsigned char bytes[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16),
                              uint8_t(word >> 24)};
    fwrite(bytes, 1, sizeof bytes, file);
}

void putFloat(FILE* file, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    putWord(file, bits);
}

// Little-endian records of count, width, the first point and then each
// point's difference to the one before (previous minus current).
int writeDrawing(FILE* file)
{
    int strokes = 0;
    for (int slot = 0; slot < editor.splinesMax; slot++) {
        if (editor.bezierPointNum[slot] == 0 || !editor.bSHead[slot])
            continue;
        putWord(file, uint32_t(editor.bezierPointNum[slot]));
        putWord(file, uint32_t(editor.splineWidth[slot]));
        const bezierSpline* previous = nullptr;
        for (const bezierSpline* p = editor.bSHead[slot]; p; previous = p, p = p->next) {
            putFloat(file, previous ? previous->x - p->x : p->x);
            putFloat(file, previous ? previous->y - p->y : p->y);
        }
        strokes++;
    }
    return strokes;
}

void saveTo(const char* name)
{
    const char* why;
    FILE* file = ioOpenRegularFile(name, "wb", &why);
    if (!file) {
        printf("spline editor: cannot open %s for writing: %s\n", name, why);
        fflush(stdout);
        return;
    }
    int strokes = writeDrawing(file);
    bool failed = ferror(file) != 0;
    failed = fclose(file) != 0 || failed;
    if (failed)
        printf("spline editor: writing %s failed; the file is incomplete\n", name);
    else
        printf("spline editor: saved %d strokes in %s\n", strokes, name);
    fflush(stdout);
}

void formatName(char* name, size_t size, int number)
{
    snprintf(name, size, "draw%d.dat", number);
}

void saveDrawing(void)
{
    char name[64];
    formatName(name, sizeof name, editor.saveCount);
    saveTo(name);
}

// Takes the first number after saveCount whose file does not exist yet.
void saveDrawingAsNew(void)
{
    char name[64];
    editor.saveCount++;
    formatName(name, sizeof name, editor.saveCount);
    // Any kind of file counts as taken; looking costs no open, which a FIFO
    // would hold.
    for (struct stat info; lstat(name, &info) == 0;) {
        editor.saveCount++;
        formatName(name, sizeof name, editor.saveCount);
    }
    saveTo(name);
}

bool readWord(FILE* file, uint32_t* word)
{
    unsigned char bytes[4];
    if (fread(bytes, 1, sizeof bytes, file) != sizeof bytes)
        return false;
    *word = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
            uint32_t(bytes[3]) << 24;
    return true;
}

bool readFloat(FILE* file, float* value)
{
    uint32_t bits;
    if (!readWord(file, &bits))
        return false;
    memcpy(value, &bits, sizeof *value);
    return true;
}

// Reads the points of one record into `slot`; only points whose data is
// complete are kept. False when memory ran out.
bool loadPoints(FILE* file, int slot, int32_t count)
{
    float x = 0, y = 0;
    for (int32_t j = 0; j < count; j++) {
        float a, b;
        if (!readFloat(file, &a) || !readFloat(file, &b))
            return true;
        x = j == 0 ? a : x - a;
        y = j == 0 ? b : y - b;
        if (!appendPoint(slot, x, y))
            return false;
    }
    return true;
}

void loadRecords(FILE* file, const char* filename)
{
    uint32_t count, width;
    while (readWord(file, &count)) {
        if (!readWord(file, &width))
            return; // cut short before its first point: nothing to keep
        if (editor.slotsFull || editor.splinesNum == LAST_SLOT) {
            printf("spline editor: all %d slots are in use; the rest of %s is not loaded\n",
                   SPLINE_EDITOR_SLOTS, filename);
            return;
        }
        editor.splinesNum++;
        editor.splinesMax++;
        releaseSlot(editor.splinesNum);
        editor.splineWidth[editor.splinesNum] = int32_t(width);
        if (!loadPoints(file, editor.splinesNum, int32_t(count))) {
            printf("spline editor: out of memory; %s is loaded only in part\n", filename);
            return;
        }
    }
}

} // namespace

bezierPoint PointOnCubicBezier(bezierPoint* cp, float t)
{
    if (debugMisuseIfNull(cp, __func__, "the control points"))
        return bezierPoint{};
    float cx = 3.0f * (cp[1].x - cp[0].x);
    float bx = 3.0f * (cp[2].x - cp[1].x) - cx;
    float ax = cp[3].x - cp[0].x - cx - bx;
    float cy = 3.0f * (cp[1].y - cp[0].y);
    float by = 3.0f * (cp[2].y - cp[1].y) - cy;
    float ay = cp[3].y - cp[0].y - cy - by;
    float tSquared = t * t;
    float tCubed = tSquared * t;
    bezierPoint result = {};
    result.x = ax * tCubed + bx * tSquared + cx * t + cp[0].x;
    result.y = ay * tCubed + by * tSquared + cy * t + cp[0].y;
    return result;
}

void ComputeBezier(bezierPoint* cp, int numberOfPoints, bezierPoint* curve)
{
    if (numberOfPoints <= 0)
        return;
    if (debugMisuseIfNull(cp, __func__, "the control points") ||
        debugMisuseIfNull(curve, __func__, "the curve"))
        return;
    if (numberOfPoints == 1) {
        // The step 1 / 0 would be infinite; the one point is the start.
        curve[0] = PointOnCubicBezier(cp, 0.0f);
        return;
    }
    float dt = float(1.0 / double(numberOfPoints - 1));
    for (int i = 0; i < numberOfPoints; i++)
        curve[i] = PointOnCubicBezier(cp, float(i) * dt);
}

void calcNaturalCubic(cubic2d* C, int n, cubic2d* spline)
{
    if (n <= 0)
        return;
    if (debugMisuseIfNull(C, __func__, "the coefficients") ||
        debugMisuseIfNull(spline, __func__, "the points"))
        return;
    alignas(16) unsigned char stackRoom[SOLVE_STACK_BYTES];
    size_t bytes = (size_t(n) + 1) * (2 * sizeof(cubicLanes_t) + sizeof(float));
    cubicLanes_t* p = static_cast<cubicLanes_t*>(
        cubicScratchRoom(&module.solveScratch, stackRoom, sizeof stackRoom, bytes));
    if (!p) {
        // No memory for the solve: straight segments rather than nothing.
        for (int i = 0; i < n; i++) {
            C[i].x = cubic{spline[i].x.a, spline[i + 1].x.a - spline[i].x.a, 0, 0};
            C[i].y = cubic{spline[i].y.a, spline[i + 1].y.a - spline[i].y.a, 0, 0};
        }
        return;
    }
    cubicLanes_t* D = p + n + 1;
    float* gamma = reinterpret_cast<float*>(D + n + 1);
    for (int i = 0; i <= n; i++)
        p[i] = cubicLanes_t{spline[i].x.a, spline[i].y.a, 0, 0};
    cubicEliminationFactors(gamma, n);
    cubicKnotDerivatives(D, p, n, gamma);
    for (int i = 0; i < n; i++) {
        cubicLaneSegment_t s = cubicSegment(p, D, i);
        C[i].x = cubic{s.a[0], s.b[0], s.c[0], s.d[0]};
        C[i].y = cubic{s.a[1], s.b[1], s.c[1], s.d[1]};
    }
}

// Only slot 0 is set up: strokes loaded before init and the save number
// stay. Its points go with its count, or a save would write them under a
// count of 0.
void splineEditorInit(void)
{
    releaseSlot(0);
    editor.splineWidth[0] = DEFAULT_WIDTH;
}

void splineEditorReset(void)
{
    for (int slot = 0; slot < SPLINE_EDITOR_SLOTS; slot++)
        releasePoints(slot);
    resetState();
}

void splineEditorRun(void)
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    module.draw.lineWidth(10.0f);
    glColor3f(0, 0, 0);
    glPointSize(float(lineWidth));
    perspective2dBegin(getWindowWidth(), getWindowHeight());

    if (!ctrlPressed) {
        editor.dragSpline = nullptr;
    } else if (editor.dragSpline) {
        editor.dragSpline->x = float(mouseX);
        editor.dragSpline->y = float(mouseY);
    }
    if (buttonReleased)
        endStroke(true);
    if (ctrlPressed && zPressed)
        undoStroke();
    if (buttonPressed) {
        if (ctrlPressed)
            grabPoint();
        else
            placePoint(true);
    }

    drawSlots();
    module.draw.begin(GL_POINTS); // the mouse marker
    module.draw.vertex(float(mouseX), float(mouseY));
    module.draw.end();

    perspective2dEnd();
    glDisable(GL_BLEND);
    glColor3f(1, 1, 1);

    if (f1Pressed)
        saveDrawing();
    if (f2Pressed)
        saveDrawingAsNew();
}

// The counts, widths and counters describe the drawing that was; only the
// links to released points are dropped, so nothing can reach freed memory.
// Slots left with a count but no points are skipped by drawing and saving.
void splineEditorDeinit(void)
{
    for (int slot = 0; slot < SPLINE_EDITOR_SLOTS; slot++)
        releasePoints(slot);
    cubicScratchRelease(&module.strokeScratch);
    cubicScratchRelease(&module.solveScratch);
}

void splineEditorLoad(const char* filename)
{
    if (debugMisuseIfNull(filename, __func__, "the file name"))
        return;
    FILE* file = ioOpenRegularFile(filename, "rb", nullptr);
    if (file) {
        loadRecords(file, filename);
        fclose(file);
    }
    // The frame rules for a stroke ending or going on, once, as a frame
    // would apply them (without the spacing test).
    if (buttonReleased)
        endStroke(false);
    if (buttonPressed)
        placePoint(false);
}

const splineEditor_t* splineEditorGetState(void)
{
    return &editor;
}

void splineEditorSetDrawPlatform(const splineEditorDrawPlatform_t* platform)
{
    module.draw = platform ? *platform : openGlPlatform;
}
