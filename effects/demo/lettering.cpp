// The production's stroke font (data/production/font/strokes.txt, made by
// tools/makeStrokeFont.py): every glyph a spline container of a few
// strokes, drawn as lines through the splines' samples, so a word stays
// crisp at any size and can be revealed pen stroke by pen stroke.

#include "effects/demo/demo.h"

#include "system/io/io.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const FONT_TXT = "data/production/font/strokes.txt";
const int GLYPHS = 128;              // ASCII; lower case is drawn with the capitals
const float CAP_UNITS = 10.0f;       // the font's capital height
const unsigned int STROKE_DETAIL = 4; // samples a segment: the points already lie close
const int MOST_STROKE_POINTS = 64;
// Lines at least this wide get round ends; thinner ones join closely enough
// without, and on glowing text an end dot over a line end adds up to a spot.
const float ROUND_ENDS_FROM = 8.0f;

struct glyph_t {
    splineContainer* strokes; // null: nothing drawn, only the advance
    float advance;
    float samples; // what drawSplineContainer emits for the whole glyph
};

struct lettering_t {
    glyph_t glyph[GLYPHS];
    splineContainer* first; // the oldest container of the font; deleting it takes the rest
};

lettering_t lettering;

// One line of the file: "<char> <advance> | x y x y ... | ...".
void readGlyph(const char* line)
{
    unsigned char code = static_cast<unsigned char>(line[0]);
    if (code >= GLYPHS)
        return;
    glyph_t* g = &lettering.glyph[code];
    char* at = nullptr;
    g->advance = strtof(line + 1, &at);
    splineLayer* layer = nullptr;
    spline* stroke = nullptr;
    while (*at && *at != '\n') {
        if (*at == '|') {
            if (!g->strokes && (g->strokes = addSplineContainer()) && !lettering.first)
                lettering.first = g->strokes;
            if (g->strokes && !layer)
                layer = addSplineLayer(g->strokes);
            stroke = layer ? addSpline(layer) : nullptr;
            if (stroke)
                stroke->detail = STROKE_DETAIL; // before the points: they count it
            at++;
            continue;
        }
        char* end = nullptr;
        float x = strtof(at, &end);
        if (end == at) {
            at++; // blanks
            continue;
        }
        float y = strtof(end, &at);
        if (stroke && stroke->size < unsigned(MOST_STROKE_POINTS))
            addSplinePoint(g->strokes, stroke, x, y, 0.0f);
    }
    if (g->strokes)
        g->samples = demoDrawnSamples(g->strokes);
}

const glyph_t* glyphOf(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        c = static_cast<unsigned char>(c - 'a' + 'A');
    return c < GLYPHS ? &lettering.glyph[c] : nullptr;
}

// Round ends and joints: a dot of the line's width at both ends of every
// stroke, where one stroke meets the next.
void strokeEnds(const splineContainer* c, float width)
{
    glPointSize(width);
    glBegin(GL_POINTS);
    for (splineLayer* layer = c->splineLayerHead; layer; layer = layer->next)
        for (spline* s = layer->splineHead; s; s = s->next)
            if (s->size > 0) {
                glVertex3f(s->splinePointHead->x, s->splinePointHead->y, 0);
                glVertex3f(s->splinePointTail->x, s->splinePointTail->y, 0);
            }
    glEnd();
}

void drawGlyph(const glyph_t& g, float width, float part)
{
    for (splineLayer* layer = g.strokes->splineLayerHead; layer; layer = layer->next)
        for (spline* s = layer->splineHead; s; s = s->next)
            s->width = width;
    // drawSplineContainer counts every point's detail, though a spline
    // draws one segment fewer than it has points.
    float end = part >= 1.0f ? 1.0f : part * g.samples / float(g.strokes->pointsCount);
    drawSplineContainer(g.strokes, 0.0f, end);
    if (part >= 1.0f && width >= ROUND_ENDS_FROM)
        strokeEnds(g.strokes, width);
}

} // namespace

void demoLoadLettering(void)
{
    // The buffer ends in a zero byte, where the last line's reading stops.
    char* text = ioReadFileToBuffer(FONT_TXT);
    if (!text) {
        fprintf(stderr, "tessellune_demo: cannot read %s; the lettering is left out\n", FONT_TXT);
        return;
    }
    for (char* line = text; line && *line; line = strchr(line, '\n') ? strchr(line, '\n') + 1 : nullptr)
        readGlyph(line);
    free(text);
}

void demoReleaseLettering(void)
{
    if (lettering.first)
        deleteSplineContainer(lettering.first);
    lettering = lettering_t();
}

float demoTextWidth(const char* text, float size)
{
    float units = 0;
    for (const char* c = text; *c; c++) {
        const glyph_t* g = glyphOf(static_cast<unsigned char>(*c));
        units += g ? g->advance : 0.0f;
    }
    return units * size / CAP_UNITS;
}

void demoDrawText(const char* text, float x, float y, float size, float width, float reveal)
{
    if (reveal <= 0.0f)
        return;
    float total = 0;
    for (const char* c = text; *c; c++) {
        const glyph_t* g = glyphOf(static_cast<unsigned char>(*c));
        total += g && g->strokes ? g->samples : 0.0f;
    }
    float left = reveal * total; // the pen's samples still to spend
    // Widths are pixels of a 720-line picture, kept to the window's.
    width *= float(getWindowScreenAreaHeight()) / 720.0f;
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(x, y, 0);
    glScalef(size / CAP_UNITS, size / CAP_UNITS, 1);
    for (const char* c = text; *c && left > 0.0f; c++) {
        const glyph_t* g = glyphOf(static_cast<unsigned char>(*c));
        if (!g)
            continue;
        if (g->strokes && g->samples > 0) {
            drawGlyph(*g, width, reveal >= 1.0f ? 1.0f : fminf(1.0f, left / g->samples));
            left -= g->samples;
        }
        glTranslatef(g->advance, 0, 0);
    }
    glPopMatrix();
    glLineWidth(1.0f);
    glPointSize(1.0f);
}

void demoDrawGlowText(const char* text, float x, float y, float size, float width, float reveal, const float* rgb,
                      float alpha)
{
    if (alpha <= 0.0f)
        return;
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    // A wide faint halo, then the bright core whitened a little.
    glColor4f(rgb[0], rgb[1], rgb[2], alpha * 0.3f);
    demoDrawText(text, x, y, size, width * 3.0f, reveal);
    glColor4f(demoMix(rgb[0], 1, 0.5f), demoMix(rgb[1], 1, 0.5f), demoMix(rgb[2], 1, 0.5f), alpha);
    demoDrawText(text, x, y, size, width, reveal);
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glColor4f(1, 1, 1, 1);
}
