#include "system/player/player.h"

#include "effects/playlist.h"
#include "system/debug/debugMisuse.h"
#include "system/debug/debugOpenGl.h"
#include "system/extensions/gl/gl.h"
#include "system/graphics/graphics.h"
#include "system/player/timeString.h"
#include "system/timer/timer.h"
#include "system/ui/input/inputSdl.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <SDL.h>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// A window closes this many seconds before its end, so a sync whose end falls
// between two frames still gets its final frame in the earlier one.
const double SYNC_MARGIN = 0.005;

// The loading bar on its 800 x 600 canvas.
const int LOADING_CANVAS_W = 800, LOADING_CANVAS_H = 600;
const int BAR_SX = 300, BAR_MAXX = 500, BAR_SY = 298, BAR_EY = 302;
// The fade starts at 90 %, taken in single precision as it always was; the
// fade of the last frame is then exactly 0 and the one at 90 % just below 1.
const double FADE_FROM = double(0.9f);

void swapBuffers(void)
{
    SDL_GL_SwapBuffers();
}

struct playerState_t {
    playerScene* playerSceneHead = nullptr;
    playerScene* playerSceneTail = nullptr;
    playerScene* playerScenePlayerHead = nullptr; // where the runner starts
    playerScene* playerSceneCurrent = nullptr;
    uint32_t playerSceneSize = 0;
    playerPresent_Func present = swapBuffers;
    bool cleaning = false; // inside cleanPlayerScene
};

playerState_t player;

bool isAbsolute(const char* time)
{
    return time && time[0] == '#';
}

// The part of [start, start + span] that t has passed. A span of zero is a
// step rather than a division by zero: scene code must never see NaN or inf.
float spanFraction(float t, float start, float span)
{
    if (span == 0)
        return t >= start ? 1.0f : 0.0f;
    return (t - start) / span;
}

void reportOpenGlErrors(void)
{
    if (isOpenGlError())
        printOpenGlErrors();
}

void populateSyncTime(sceneSync_t* sync)
{
    float t = timerGetTime();
    sceneTime_t* time = &sync->time;
    time->absolute = t;
    if (sync->type == SYNC_TRIGGER) {
        time->now = time->triggerEnd - t;
        time->percent = spanFraction(t, time->triggerStart - time->interval, time->interval);
    } else {
        time->now = time->end - t;
        time->percent = spanFraction(t, time->start, time->end - time->start);
    }
}

void populateSceneTime(playerScene* scene)
{
    float t = timerGetTime();
    sceneTime_t* time = &scene->time;
    time->end = scene->end;
    time->interval = time->triggerStart = time->triggerEnd = 0;
    time->absolute = t;
    time->percent = spanFraction(t, scene->start, scene->end - scene->start);
    time->start = scene->start;
    time->now = scene->end - t;
    for (sceneSync_t* sync = scene->syncHead; sync; sync = sync->next)
        populateSyncTime(sync);
}

// A is the scene time of the last population.
void updateWindowSync(sceneSync_t* sync, float A)
{
    if (double(A) < double(sync->time.end) - SYNC_MARGIN) {
        if (A < sync->time.start) {
            sync->active = SYNC_WAITING;
        } else {
            sync->active = SYNC_ON;
            populateSyncTime(sync);
        }
    } else if (sync->active == SYNC_ON) {
        sync->active = SYNC_FINAL_FRAME;
        populateSyncTime(sync);
        sync->time.percent = 1.0f;
    } else {
        sync->active = SYNC_FINISHED;
    }
}

void updateTriggerSync(sceneSync_t* sync, float A)
{
    if (A < sync->time.end) {
        if (A < sync->time.triggerStart) {
            sync->active = SYNC_WAITING;
        } else {
            sync->active = SYNC_ON;
            populateSyncTime(sync);
        }
    } else {
        sync->active = SYNC_FINISHED;
    }
}

void updateSync(sceneSync_t* sync, float A)
{
    if (sync->active < 0)
        return;
    populateSyncTime(sync);
    if (sync->type == SYNC_WINDOW)
        updateWindowSync(sync, A);
    else if (sync->type == SYNC_TRIGGER)
        updateTriggerSync(sync, A);
}

// Appends a window sync from `start` (absolute seconds); the duration text is
// relative to that start unless it begins with "#".
sceneSync_t* appendSync(playerScene* pScene, float start, const char* durationString)
{
    sceneSync_t* sync = static_cast<sceneSync_t*>(calloc(1, sizeof(sceneSync_t)));
    sync->active = SYNC_WAITING;
    sync->type = SYNC_WINDOW;
    float d = convertTimeToSeconds(durationString);
    sync->time.start = start;
    sync->time.end = isAbsolute(durationString) ? d : start + d;
    if (!pScene->syncHead)
        pScene->syncHead = sync;
    else
        pScene->syncTail->next = sync;
    pScene->syncTail = sync;
    sync->time.triggerStart = sync->time.start;
    sync->time.triggerEnd = sync->time.end;
    return sync;
}

// Null, after the misuse line, when the caller's scene, name or number is missing.
playerSceneVariables* appendVariable(playerScene* pScene, const char* name, const void* value, int32_t type,
                                     const char* call)
{
    if (debugMisuseIfNull(pScene, call, "the scene") || debugMisuseIfNull(name, call, "the name") ||
        debugMisuseIfNull(value, call, "the number"))
        return nullptr;
    playerSceneVariables* variable =
        static_cast<playerSceneVariables*>(calloc(1, sizeof(playerSceneVariables)));
    variable->name = name;
    variable->type = type;
    variable->length = 0;
    variable->parentScene = pScene;
    if (!pScene->variablesHead)
        pScene->variablesHead = variable;
    else
        pScene->variablesTail->next = variable;
    pScene->variablesTail = variable;
    return variable;
}

void freeSceneLists(playerScene* scene)
{
    for (playerSceneVariables* variable = scene->variablesHead; variable;) {
        playerSceneVariables* next = variable->next;
        free(variable);
        variable = next;
    }
    for (sceneSync_t* sync = scene->syncHead; sync;) {
        sceneSync_t* next = sync->next;
        free(sync);
        sync = next;
    }
}

// Truncation toward zero that stays defined for values no int can hold:
// saturates at the int range, NaN gives 0.
int32_t truncateToInt(float decimal)
{
    if (std::isnan(decimal))
        return 0;
    if (decimal >= 2147483648.0f)
        return INT32_MAX;
    if (decimal < -2147483648.0f)
        return INT32_MIN;
    return int32_t(decimal);
}

} // namespace

// --- scenes and syncs ------------------------------------------------------------

playerScene* addPlayerScene(const char* name, const char* startString, const char* durationString,
                            playerSceneCallback_t init, playerSceneCallback_t run,
                            playerSceneCallback_t deinit)
{
    if (debugMisuseIfNull(name, __func__, "the name"))
        return nullptr;
    float start = convertTimeToSeconds(startString);
    float d = convertTimeToSeconds(durationString);
    playerScene* scene = static_cast<playerScene*>(calloc(1, sizeof(playerScene)));
    scene->name = name;
    scene->start = start;
    scene->end = isAbsolute(durationString) ? d : start + d;
    scene->init = init;
    scene->run = run;
    scene->deinit = deinit;
    scene->time.start = scene->start;
    scene->time.end = scene->end;
    if (!player.playerSceneHead) {
        player.playerSceneHead = scene;
        player.playerScenePlayerHead = scene;
    } else {
        player.playerSceneTail->next = scene;
    }
    player.playerSceneTail = scene;
    player.playerSceneSize++;
    return scene;
}

playerScene* getPlayerScene(const char* name)
{
    if (debugMisuseIfNull(name, __func__, "the name"))
        return nullptr;
    for (playerScene* scene = player.playerSceneHead; scene; scene = scene->next)
        if (strcmp(scene->name, name) == 0)
            return scene;
    return nullptr;
}

void playScene(const char* name, playerScene* pScene)
{
    playerScene* scene = pScene ? pScene : (name ? getPlayerScene(name) : nullptr);
    if (!scene)
        return;
    populateSceneTime(scene);
    if (scene->run)
        scene->run(scene);
}

void cleanPlayerScene(void)
{
    // A deinit called from a deinit would run every deinit again, its own
    // caller's among them.
    if (player.cleaning)
        return;
    player.cleaning = true;
    // Every deinit sees the whole list as it stands, itself included, so it
    // can look up its own scene and the others by name; only then is anything
    // freed. A scene a deinit adds is deinited and freed with the rest.
    for (playerScene* scene = player.playerSceneHead; scene; scene = scene->next) {
        player.playerSceneCurrent = scene;
        if (scene->deinit) {
            scene->deinit(scene);
            reportOpenGlErrors();
        }
    }
    for (playerScene* scene = player.playerSceneHead; scene;) {
        playerScene* next = scene->next;
        freeSceneLists(scene);
        free(scene);
        scene = next;
    }
    player.playerSceneHead = player.playerSceneTail = nullptr;
    player.playerScenePlayerHead = player.playerSceneCurrent = nullptr;
    player.playerSceneSize = 0;
    player.cleaning = false;
}

playerScene* getPlayerSceneHead(void)
{
    return player.playerSceneHead;
}

playerScene* getPlayerSceneCurrent(void)
{
    return player.playerSceneCurrent;
}

uint32_t getPlayerSceneSize(void)
{
    return player.playerSceneSize;
}

sceneSync_t* addSync(playerScene* pScene, const char* startString, const char* durationString)
{
    if (!pScene)
        return nullptr;
    float s = convertTimeToSeconds(startString);
    float base = pScene->time.start < 0 ? 0.0f : pScene->time.start;
    return appendSync(pScene, isAbsolute(startString) ? s : base + s, durationString);
}

sceneSync_t* addSyncAfterLast(playerScene* pScene, const char* startString, const char* durationString)
{
    if (!pScene)
        return nullptr;
    if (!pScene->syncTail)
        return addSync(pScene, startString, durationString);
    // Whole milliseconds, as a start written out as a time text would hold;
    // computed directly because the text form cannot carry a negative start
    // of less than a minute.
    float T = convertTimeToSeconds(startString) + pScene->syncTail->time.end;
    float whole = floorf(T);
    int milliseconds = int((T - whole) * 1000.0f);
    return appendSync(pScene, float(double(whole) + milliseconds / 1000.0), durationString);
}

void setTriggerSync(sceneSync_t* sync, const char* intervalString)
{
    if (debugMisuseIfNull(sync, __func__, "the sync"))
        return;
    sync->type = SYNC_TRIGGER;
    sync->time.interval = convertTimeToSeconds(intervalString);
    sync->time.triggerEnd = sync->time.triggerStart + sync->time.interval;
}

int isSync(sceneSync_t* sync)
{
    if (debugMisuseIfNull(sync, __func__, "the sync"))
        return 0;
    if (sync->active <= 0)
        return 0;
    if (sync->type == SYNC_TRIGGER) {
        // The next firing counts from when this one was noticed.
        sync->active = SYNC_WAITING;
        sync->time.triggerStart = sync->time.absolute + sync->time.interval;
        sync->time.triggerEnd = sync->time.absolute + 2 * sync->time.interval;
    }
    return 1;
}

int checkSync(playerScene* pScene, sceneSync_t* sync, const char* startString, const char* durationString)
{
    if (debugMisuseIfNull(pScene, __func__, "the scene") || debugMisuseIfNull(sync, __func__, "the sync"))
        return 0;
    if (sync->type == SYNC_TRIGGER) {
        debugMisuse(__func__, "a trigger sync; only a window can be checked");
        return 0;
    }
    sync->next = nullptr;
    sync->active = SYNC_WAITING;
    float s = convertTimeToSeconds(startString);
    float d = convertTimeToSeconds(durationString);
    sync->time.start = isAbsolute(startString) ? s : s + pScene->time.start;
    // A relative duration counts from the scene start plus the start offset,
    // also when the start was absolute: unlike addSync, and productions
    // time their windows by exactly that rule.
    sync->time.end = isAbsolute(durationString) ? d : s + pScene->time.start + d;
    float A = pScene->time.absolute;
    if (double(A) >= double(sync->time.end) - SYNC_MARGIN) {
        sync->active = SYNC_FINISHED;
        sync->time.percent = 0;
        return 0;
    }
    if (A < sync->time.start) {
        sync->time.percent = 0;
        return 0;
    }
    sync->active = SYNC_ON;
    populateSyncTime(sync);
    return 1;
}

// --- scene variables -------------------------------------------------------------

playerSceneVariables* addVariableDecimal(playerScene* pScene, const char* name, float* value)
{
    playerSceneVariables* variable = appendVariable(pScene, name, value, VARIABLE_DECIMAL, __func__);
    if (!variable)
        return nullptr;
    variable->pointer.decimal = value;
    variable->value.decimal = *value;
    return variable;
}

playerSceneVariables* addVariableInteger(playerScene* pScene, const char* name, int32_t* value)
{
    playerSceneVariables* variable = appendVariable(pScene, name, value, VARIABLE_INTEGER, __func__);
    if (!variable)
        return nullptr;
    variable->pointer.integer = value;
    variable->value.integer = *value;
    return variable;
}

playerSceneVariables* getVariable(playerScene* pScene, const char* variableName)
{
    if (debugMisuseIfNull(pScene, __func__, "the scene") ||
        debugMisuseIfNull(variableName, __func__, "the name"))
        return nullptr;
    for (playerSceneVariables* variable = pScene->variablesHead; variable; variable = variable->next)
        if (strcmp(variable->name, variableName) == 0)
            return variable;
    return nullptr;
}

void setVariable(playerScene* pScene, playerSceneVariables* pSceneVar, const char* variableName,
                 float decimal)
{
    if (!pScene)
        return;
    if (!pSceneVar || pSceneVar->parentScene != pScene)
        pSceneVar = variableName ? getVariable(pScene, variableName) : nullptr;
    if (!pSceneVar)
        return;
    if (pSceneVar->type == VARIABLE_DECIMAL) {
        *pSceneVar->pointer.decimal = decimal;
        pSceneVar->value.decimal = decimal;
    } else if (pSceneVar->type == VARIABLE_INTEGER) {
        int32_t integer = truncateToInt(decimal);
        *pSceneVar->pointer.integer = integer;
        pSceneVar->value.integer = integer;
    }
}

void updateSceneVariables(playerScene* pScene)
{
    if (debugMisuseIfNull(pScene, __func__, "the scene"))
        return;
    for (sceneSync_t* sync = pScene->syncHead; sync; sync = sync->next)
        updateSync(sync, pScene->time.absolute);
    for (playerSceneVariables* variable = pScene->variablesHead; variable; variable = variable->next) {
        if (variable->type == VARIABLE_DECIMAL)
            *variable->pointer.decimal = variable->value.decimal;
        else if (variable->type == VARIABLE_INTEGER)
            *variable->pointer.integer = variable->value.integer;
    }
}

// --- player start-up and runner ----------------------------------------------------

playerLoadingBar_t playerLoadingBarAt(uint32_t step, uint32_t sceneCount)
{
    playerLoadingBar_t bar;
    // Double precision on purpose: in single precision 7/10 of the bar would
    // end a pixel short, at 439 instead of 440.
    bar.status = double(step) / (double(sceneCount) + 1.0);
    bar.barEnd = int(bar.status * (BAR_MAXX - BAR_SX) + BAR_SX);
    bar.fadeOut = 1.0 - (bar.status - FADE_FROM) / (1.0 - FADE_FROM);
    if (bar.fadeOut > 1.0)
        bar.fadeOut = 1.0;
    return bar;
}

namespace {

void setOpenGlState(void)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.1f);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_POINT_SMOOTH);
    glClearDepth(1.0);
    glClearColor(1, 1, 1, 1);
    resetViewport();

    // Eye-linear planes, so effects that switch generation on get texture
    // coordinates equal to the eye-space position. Configured, not enabled.
    static const GLfloat planeS[4] = {1, 0, 0, 0};
    static const GLfloat planeT[4] = {0, 1, 0, 0};
    static const GLfloat planeR[4] = {0, 0, 1, 0};
    static const GLfloat planeQ[4] = {0, 0, 0, 1};
    const GLenum coordinates[4] = {GL_S, GL_T, GL_R, GL_Q};
    const GLfloat* planes[4] = {planeS, planeT, planeR, planeQ};
    for (int i = 0; i < 4; i++) {
        glTexGeni(coordinates[i], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGenfv(coordinates[i], GL_EYE_PLANE, planes[i]);
    }
}

void drawLoadingBar(uint32_t step)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    viewReset();
    perspective2dBegin(LOADING_CANVAS_W, LOADING_CANVAS_H);
    playerLoadingBar_t bar = playerLoadingBarAt(step, player.playerSceneSize);
    float frameGrey = float(0.6 * bar.fadeOut);
    float barGrey = float(0.3 * bar.fadeOut);
    glColor3f(frameGrey, frameGrey, frameGrey);
    glBegin(GL_LINE_STRIP);
    glVertex3f(295, 293, 0);
    glVertex3f(505, 293, 0);
    glVertex3f(505, 307, 0);
    glVertex3f(295, 307, 0);
    glVertex3f(295, 293, 0);
    glEnd();
    glColor3f(barGrey, barGrey, barGrey);
    glBegin(GL_QUADS);
    glVertex3f(float(BAR_SX), float(BAR_SY), 0);
    glVertex3f(float(bar.barEnd), float(BAR_SY), 0);
    glVertex3f(float(bar.barEnd), float(BAR_EY), 0);
    glVertex3f(float(BAR_SX), float(BAR_EY), 0);
    glEnd();
    glColor3f(1, 1, 1);
    perspective2dEnd();
    player.present();
}

// With n scenes the bar is drawn n + 1 times: before each initialiser and
// once more, full and faded out, after the last.
void runLoadingLoop(void)
{
    player.playerSceneCurrent = player.playerSceneHead;
    for (uint32_t i = 1;; i++) {
        if (isUserExit())
            return;
        drawLoadingBar(i);
        playerScene* scene = player.playerSceneCurrent;
        if (!scene)
            return;
        if (scene->init) {
            scene->init(scene);
            reportOpenGlErrors();
        }
        player.playerSceneCurrent = scene->next;
    }
}

} // namespace

void playerInit(void)
{
    playlistInit();
    setOpenGlState();
    reportOpenGlErrors();
    openGlExtensionsInit();
    reportOpenGlErrors();
    runLoadingLoop();
}

void playerRun(void)
{
    float t = timerGetTime();
    for (playerScene* scene = player.playerScenePlayerHead; scene; scene = scene->next) {
        player.playerSceneCurrent = scene;
        if (!(scene->start <= t && scene->run && t < scene->end))
            continue;
        glPushMatrix();
        populateSceneTime(scene);
        scene->run(scene);
        glPopMatrix();
        reportOpenGlErrors();
    }
}

void playerDeinit(void)
{
    cleanPlayerScene();
}

void playerSetPresent(playerPresent_Func present)
{
    player.present = present ? present : swapBuffers;
}

void playerReset(void)
{
    cleanPlayerScene();
    player = playerState_t();
}
