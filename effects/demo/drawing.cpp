// Orders 4 and 5: the sky dims and three drawings made with the spline
// editor are drawn stroke by stroke in glowing ink, a spark at the pen; the
// module's sync rows brighten the ink.

#include "effects/demo/demo.h"

#include "system/graphics/graphics.h"
#include "system/timer/timer.h"

#include <GL/gl.h>
#include <cmath>

namespace {

// Where each drawing stands: scale about the centre of the editor's page
// and offset, in drawing pixels; its ink; when it is drawn.
struct inkPlan_t {
    float scale, dx, dy;
    float r, g, b;
    int order, row, rows; // the pen's window
};

const inkPlan_t CRESCENT = {0.72f, -250.0f, 55.0f, 1.0f, 0.86f, 0.45f, 4, 0, 44};
const inkPlan_t MOSAIC = {0.72f, 270.0f, 60.0f, 0.35f, 0.75f, 1.0f, 4, 24, 52};
const inkPlan_t LETTERING = {0.85f, 0.0f, -175.0f, 0.95f, 0.55f, 1.0f, 5, 8, 44};

struct drawing_t {
    sceneSync_t* pen[3];
    sceneSync_t* leave;
    float ink; // brightness of the ink, lifted by the module's rows
};

drawing_t drawing;

void drawOne(splineContainer* art, const inkPlan_t& plan, const sceneSync_t* pen, float fade)
{
    float p = demoProgress(pen);
    if (!art || p <= 0.0f)
        return;
    float x = 0, y = 0;
    demoDrawingViewBegin(plan.scale, plan.dx, plan.dy);
    demoDrawInk(art, p, plan.r, plan.g, plan.b, drawing.ink * fade, &x, &y);
    const demoAssets_t* a = demoAssets();
    if (p < 1.0f && a->glow.id) {
        // The spark where the pen is.
        float size = 26.0f + 10.0f * demoBeat();
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, a->glow.id);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glColor4f(demoMix(plan.r, 1, 0.5f), demoMix(plan.g, 1, 0.5f), demoMix(plan.b, 1, 0.5f), fade);
        drawTexturedQuad(x - size, y - size, x + size, y + size);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glColor4f(1, 1, 1, 1);
    }
    demoDrawingViewEnd();
}

sceneSync_t* penSync(playerScene* self, const inkPlan_t& plan)
{
    return addSync(self, demoAt(plan.order, plan.row, 1), demoRows(plan.rows));
}

} // namespace

void demoDrawingInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    drawing = drawing_t();
    drawing.pen[0] = penSync(self, CRESCENT);
    drawing.pen[1] = penSync(self, MOSAIC);
    drawing.pen[2] = penSync(self, LETTERING);
    drawing.leave = addSync(self, demoAt(5, 56, 1), demoRows(8));
}

void demoDrawingRun(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    updateSceneVariables(self);
    float leave = demoSmooth(demoProgress(drawing.leave));
    drawing.ink = 0.75f + 0.25f * demoBeat();
    const demoAssets_t* a = demoAssets();
    float fade = 1.0f - leave;
    drawOne(a->crescent, CRESCENT, drawing.pen[0], fade);
    drawOne(a->mosaic, MOSAIC, drawing.pen[1], fade);
    drawOne(a->lettering, LETTERING, drawing.pen[2], fade);
}
