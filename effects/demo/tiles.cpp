// Orders 2 and 3, where the drums come in: a plane of tiles runs towards the
// eye under the moon, and every eighth row (the kick) a trigger sync lights
// the tiles up. In order 3 the lead comes in and the view turns and climbs.

#include "effects/demo/demo.h"

#include "system/graphics/font/font.h"
#include "system/graphics/graphics.h"
#include "system/timer/timer.h"

#include <GL/gl.h>
#include <cmath>

namespace {

const int BEAT_ROWS = 8;
const int BEATS = 2 * DEMO_ROWS_PER_ORDER / BEAT_ROWS;

struct tiles_t {
    // One trigger sync a beat, each firing once at its own start: a single
    // sync would fire each time one interval after the frame that noticed
    // the last firing, and so drift off the music by up to a frame a beat.
    sceneSync_t* beat[BEATS];
    sceneSync_t* enter; // the plane comes up out of the fog
    sceneSync_t* turn;  // order 3: the view turns and climbs
    sceneSync_t* leave; // the last beat: dark again for the drawings
    float flash;        // 1 at a beat, fading over it
};

tiles_t tiles;

void updateFlash(void)
{
    for (int i = 0; i < BEATS; i++) {
        sceneSync_t* beat = tiles.beat[i];
        if (beat->active == SYNC_FINISHED)
            continue;
        if (isSync(beat)) {
            tiles.flash = 1.0f;
            return;
        }
        if (beat->active == SYNC_WAITING && beat->time.triggerStart > beat->time.start) {
            // Fired; percent runs over the interval since the firing.
            tiles.flash = fmaxf(0.0f, 1.0f - 1.6f * beat->time.percent);
            return;
        }
    }
}

} // namespace

void demoTilesInit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    tiles = tiles_t();
    for (int i = 0; i < BEATS; i++) {
        tiles.beat[i] = addSync(self, demoRows(i * BEAT_ROWS), demoRows(BEAT_ROWS));
        setTriggerSync(tiles.beat[i], demoRows(BEAT_ROWS));
    }
    tiles.enter = addSync(self, "0:00", demoRows(16));
    tiles.turn = addSync(self, demoAt(3, 0, 1), demoRows(64));
    tiles.leave = addSync(self, demoAt(3, 56, 1), demoRows(8));
}

void demoTilesRun(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    // Syncs at this frame's time, so a beat lights the frame it falls in.
    updateSceneVariables(self);
    updateFlash();

    float t = timerGetTime();
    float enter = demoSmooth(demoProgress(tiles.enter));
    float turn = demoSmooth(demoProgress(tiles.turn));
    float leave = demoSmooth(demoProgress(tiles.leave));

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glRotatef(demoMix(14.0f, 17.0f, turn) + 2.0f * sinf(t * 0.9f), 1, 0, 0);
    glRotatef(3.0f * sinf(t * 0.5f), 0, 0, 1);
    glRotatef(turn * 35.0f, 0, 1, 0);
    glTranslatef(0, -(1.0f - enter) * 6.0f - turn * 1.5f, 0);
    demoDrawPlane(t, tiles.flash, enter * (1.0f - leave));
    glPopMatrix();
}
