#ifndef TESSELLUNE_SPLINEEDITOR_H
#define TESSELLUNE_SPLINEEDITOR_H

// The freehand spline editor: mouse strokes held as point lists, shown
// smoothed by natural cubic splines, with point dragging, undo, and the
// numbered drawing files "draw%d.dat". A host calls splineEditorInit once,
// splineEditorRun every frame after isUserExit (between its clear and swap),
// and splineEditorDeinit at the end.
//
// Console lines, one per event, on the standard output:
//   "spline editor: saved N strokes in drawK.dat" after every F1 / F2 save;
//   "spline editor: cannot open drawK.dat for writing: <reason>";
//   "spline editor: writing drawK.dat failed; the file is incomplete";
//   "spline editor: all 2048 slots are in use; the rest of FILE is not loaded";
//   "spline editor: out of memory; FILE is loaded only in part".

#include "system/math/splines/cubic/cubicSpline.h"

// --- planar curve math ------------------------------------------------------

struct bezierPoint {
    float x, y;
    float bX, bY; // a handle position; nothing reads it
    unsigned char isCurve;
};

struct cubic2d {
    cubic x, y;
};

// The cubic Bezier segment through cp[0]..cp[3] at t (only x and y are set).
bezierPoint PointOnCubicBezier(bezierPoint* cp, float t);
// numberOfPoints points from t = 0 to t = 1; one point gives cp[0], none or
// fewer give nothing.
void ComputeBezier(bezierPoint* cp, int numberOfPoints, bezierPoint* curve);
// Coefficients of the natural cubic spline through the n + 1 points held in
// spline[i].x.a and spline[i].y.a, into C[0..n-1]; nothing for n <= 0.
void calcNaturalCubic(cubic2d* C, int n, cubic2d* spline);

// --- the editor ---------------------------------------------------------------

#define SPLINE_EDITOR_SLOTS 2048

// One control point of a stroke, in window pixels.
struct bezierSpline {
    float x, y;
    float bX, bY; // equal to x, y when placed with the mouse; nothing reads them
    unsigned char isCurve;
    bezierSpline* next;
};

// The editor's whole state. Each stroke holds a slot; the current slot
// (splinesNum) is the stroke being drawn, and splinesMax = splinesNum + 1.
struct splineEditor_t {
    bezierSpline* bSHead[SPLINE_EDITOR_SLOTS];
    bezierSpline* bSTail[SPLINE_EDITOR_SLOTS];
    int bezierPointNum[SPLINE_EDITOR_SLOTS];
    int splineWidth[SPLINE_EDITOR_SLOTS]; // pixels
    int splinesNum;
    int splinesMax;
    int saveCount; // the number F1 saves under
    bezierSpline* dragSpline;
    // The stroke in the last slot is finished and there is no slot after
    // it: strokes are ignored until Ctrl+Z makes room.
    unsigned char slotsFull;
};

// Sets up slot 0 as an empty stroke of width 3; strokes loaded before it,
// the counters and the save number stay.
void splineEditorInit(void);
// One frame: dragging, strokes, undo, drawing in a 2D view of window pixels,
// and saving on F1 / F2. Reads the input flags of isUserExit.
void splineEditorRun(void);
// Releases the points of every slot; the counts, widths and counters stay
// (the links are dropped, so nothing reaches freed points).
void splineEditorDeinit(void);
// For tests and benchmarks: releases every point and puts all state back to
// its start values, as before the first init.
void splineEditorReset(void);
// Appends the strokes of a drawing file in new slots (the last one becomes
// current); a file that cannot be opened adds none.
void splineEditorLoad(const char* filename);
// For tests, the fuzz target and benchmarks: the whole state, read only.
const splineEditor_t* splineEditorGetState(void);

// For tests and benchmarks: the OpenGL calls the editor draws its strokes
// with, behind one table so a test can see what is drawn; colours and sizes
// go straight to OpenGL.
struct splineEditorDrawPlatform_t {
    void (*lineWidth)(float width);
    void (*begin)(unsigned int mode);
    void (*vertex)(float x, float y);
    void (*end)(void);
};

// Installs a drawing table; null puts back OpenGL.
void splineEditorSetDrawPlatform(const splineEditorDrawPlatform_t* platform);

#endif
