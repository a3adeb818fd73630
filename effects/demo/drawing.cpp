// Orders 8 and 9, the break: the kick is out, the sky dims and three
// drawings made with the spline editor are drawn stroke by stroke in
// glowing ink over the dark tiles, a spark at the pen; every note of the
// lead brightens the ink and the spark. In the last bar the kick comes back
// and the drawings grow towards the final drop.

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

const inkPlan_t CRESCENT = {0.72f, -250.0f, 55.0f, 1.0f, 0.86f, 0.45f, 8, 0, 44};
const inkPlan_t MOSAIC = {0.72f, 270.0f, 60.0f, 0.35f, 0.75f, 1.0f, 8, 24, 52};
const inkPlan_t LETTERING = {0.85f, 0.0f, -175.0f, 0.95f, 0.55f, 1.0f, 9, 8, 40};

// A drift low over the tiles, slow enough to leave the drawings the stage.
const float DRIFT[][3] = {{0, 2.0f, 0}, {3, 2.4f, -8}, {0, 2.8f, -16}, {-3, 2.4f, -24}};

struct drawing_t {
    float ink;  // "ink" (a track): the ink's brightness between the lead's notes
    float zoom; // the last bar's growth, with the kick's punch
    float lead; // the lead's last note, still sounding
};

drawing_t drawing;

void drawOne(splineContainer* art, const inkPlan_t& plan, float fade)
{
    float p = demoBetween(plan.order, plan.row, plan.rows);
    if (!art || p <= 0.0f)
        return;
    float x = 0, y = 0;
    demoDrawingViewBegin(plan.scale * drawing.zoom, plan.dx * drawing.zoom, plan.dy * drawing.zoom);
    float ink = fminf(1.0f, drawing.ink + 0.35f * drawing.lead);
    demoDrawInk(art, p, plan.r, plan.g, plan.b, ink * fade, &x, &y);
    const demoAssets_t* a = demoAssets();
    if (p < 1.0f && a->glow.id) {
        // The spark where the pen is.
        float size = 24.0f + 22.0f * drawing.lead;
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

} // namespace

void demoDrawingInit(void* scene)
{
    drawing = drawing_t();
    drawing.ink = 0.75f;
    addVariableDecimal(static_cast<playerScene*>(scene), "ink", &drawing.ink);
}

void demoDrawingRun(void* scene)
{
    updateSceneVariables(static_cast<playerScene*>(scene));
    drawing.lead = demoHit(DEMO_LEAD, 3.0f);
    // The last bar: the kick is back, the drawings come at the eye.
    float grow = demoBetween(9, 48, 16);
    drawing.zoom = 1.0f + 0.25f * grow * grow + 0.04f * grow * demoBeat();
    demoFly(DRIFT, 4, demoBetween(8, 0, 2 * DEMO_ROWS_PER_ORDER), 0.1f, 0.6f, 0.0f);
    const float dusk[3] = {0.3f, 0.4f, 0.9f};
    demoDrawPlane(0.6f * demoBeat(), dusk, 0.35f);
    const demoAssets_t* a = demoAssets();
    float fade = 1.0f - demoSmooth(demoBetween(9, 60, 4));
    drawOne(a->crescent, CRESCENT, fade);
    drawOne(a->mosaic, MOSAIC, fade);
    drawOne(a->lettering, LETTERING, fade);
}
