// A production of its own: it implements the effects playlist the engine's
// player start-up calls, registers one scene there, and uses the engine's
// time texts, scene timeline, spline drawings and playlist reader. Nothing
// here opens a window or a sound device. Exits 0 when all is as expected.

#include "effects/playlist.h"
#include "system/audio/sound.h"
#include "system/math/splines/spline.h"
#include "system/player/player.h"
#include "system/player/timeString.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void expect(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "outside: %s\n", what);
        failures++;
    }
}

// The scene is never run here; the unused parameter is deliberate, so a
// leaked -Wextra -Werror from the engine's build would fail this file.
void introRun(void* scene)
{
}

struct vertices_t {
    int strips, count;
    float first[2];
} drawn;

void stripBegin(unsigned int)
{
    drawn.strips++;
}

void stripVertex(float x, float y, float)
{
    if (drawn.count++ == 0) {
        drawn.first[0] = x;
        drawn.first[1] = y;
    }
}

void noWidth(float) {}
void noEnd(void) {}

void checkTimeline(void)
{
    playlistInit();
    expect(getPlayerSceneSize() == 1, "playlistInit registered no scene");
    playerScene* intro = getPlayerScene("intro");
    expect(intro && intro->start == 2.0f && intro->end == 7.5f, "the scene's times are wrong");
    if (intro) {
        sceneSync_t* flash = addSync(intro, "0:01", "0:00.5");
        expect(flash && flash->time.start == 3.0f && flash->time.end == 3.5f, "the sync's window is wrong");
    }
    char text[16];
    convertSecondsToTime(getPlaylistLength(), text);
    expect(strcmp(text, "1:30.250") == 0, "convertSecondsToTime");
    expect(convertTimeToSeconds("#0:07.5") == 7.5f, "convertTimeToSeconds");
    cleanPlayerScene();
    expect(getPlayerSceneSize() == 0, "cleanPlayerScene left scenes");
}

void checkSpline(void)
{
    splineContainer* drawing = addSplineContainer();
    spline* line = addSpline(addSplineLayer(drawing));
    const float points[4][2] = {{10, 10}, {60, 90}, {120, 40}, {200, 80}};
    for (const auto& p : points)
        addSplinePoint(drawing, line, p[0], p[1], 0);
    const splineDrawPlatform_t recorder = {noWidth, stripBegin, stripVertex, noEnd};
    splineSetDrawPlatform(&recorder);
    drawSplineContainer(drawing, 0, 1);
    int whole = drawn.count;
    // One strip of `detail` samples per segment, from the first point on.
    expect(drawn.strips == 1 && whole == 3 * int(line->detail), "the spline was not drawn as one strip");
    expect(fabsf(drawn.first[0] - 10) < 1e-3f && fabsf(drawn.first[1] - 10) < 1e-3f, "the first vertex");
    drawn = {};
    drawSplineContainer(drawing, 0, 0.5f);
    expect(drawn.count > 0 && drawn.count < whole, "half a drawing is not part of it");
    splineSetDrawPlatform(nullptr);
    deleteSplineContainer(drawing);
}

// The bundled playlist is read from the data folder that came with the
// engine, and names files that are there.
void checkBundledMusic(void)
{
    soundLoadPlaylist(OUTSIDE_DATA_DIR "/music/playlist.pls");
    expect(soundGetPlaylistSize() > 0, "the bundled playlist is missing or empty");
    for (int i = 0; i < soundGetPlaylistSize(); i++) {
        FILE* song = fopen(soundGetSongFilename(i), "rb");
        expect(song != nullptr, "a bundled song is missing");
        if (song)
            fclose(song);
    }
}

} // namespace

void playlistInit(void)
{
    addPlayerScene("intro", "0:02", "0:05.5", nullptr, introRun, nullptr);
}

const char* getPlaylistMusic(void)
{
    return OUTSIDE_DATA_DIR "/music/tessellate.mod";
}

float getPlaylistLength(void)
{
    return 90.25f;
}

int main()
{
    checkTimeline();
    checkSpline();
    checkBundledMusic();
    if (failures == 0)
        printf("outside: the engine works from here\n");
    return failures == 0 ? 0 : 1;
}
