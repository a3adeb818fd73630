#ifndef TESSELLUNE_PLAYER_H
#define TESSELLUNE_PLAYER_H

// The scene timeline: scenes with their syncs and variables, the start-up
// loading loop that runs the scenes' initialisers, and the per-frame runner.
// Times are float seconds on the frame timer's clock. Names handed in are
// borrowed, never copied: they must outlive the scene.

#include <cstddef>
#include <cstdint>

// Every callback receives its own scene, as a playerScene*.
typedef void (*playerSceneCallback_t)(void* scene);

// sceneSync_t.active
#define SYNC_WAITING 0
#define SYNC_ON 1
#define SYNC_FINAL_FRAME 2 // a window sync's last frame, percent exactly 1.0
#define SYNC_FINISHED -1   // for good

// sceneSync_t.type
#define SYNC_WINDOW 1
#define SYNC_TRIGGER 2

// playerSceneVariables.type
#define VARIABLE_DECIMAL 0
#define VARIABLE_INTEGER 1

// The time view of a scene or a sync, refreshed at each population.
struct sceneTime_t {
    float percent;      // part of the span (trigger: of the interval) that has passed
    float absolute;     // the timer time of the last population
    float now;          // time left: end - t (trigger: triggerEnd - t)
    float start;        // absolute seconds
    float end;          // absolute seconds
    float interval;     // trigger syncs: seconds between firings
    float triggerStart; // trigger syncs: the next firing; window syncs: start
    float triggerEnd;   // trigger syncs: triggerStart + interval; window syncs: end
};

struct sceneSync_t {
    int32_t active; // SYNC_WAITING, SYNC_ON, SYNC_FINAL_FRAME or SYNC_FINISHED
    int32_t type;   // SYNC_WINDOW or SYNC_TRIGGER
    sceneTime_t time;
    sceneSync_t* next;
};

struct playerSceneVariables;

struct playerScene {
    const char* name; // borrowed; the key of getPlayerScene
    float start;      // absolute seconds
    float end;        // absolute seconds
    playerSceneCallback_t init;   // once, in the loading loop
    playerSceneCallback_t run;    // every frame while the scene is on
    playerSceneCallback_t deinit; // once, at clean-up
    sceneTime_t time;
    uint32_t variablesSize; // 0; kept for the record layout
    playerSceneVariables* variablesHead;
    playerSceneVariables* variablesTail;
    playerSceneVariables* variables; // a free cursor for scene code
    sceneSync_t* syncHead;
    sceneSync_t* syncTail;
    sceneSync_t* sync; // a free cursor for scene code
    playerScene* next;
};

// A named binding of a number owned by scene code to a stored value that the
// per-frame update writes back, so values set through the timeline win.
struct playerSceneVariables {
    const char* name; // borrowed; the key of getVariable
    int32_t type;     // VARIABLE_DECIMAL or VARIABLE_INTEGER
    size_t length;    // 0; kept for the record layout
    void* parentScene; // the playerScene it belongs to
    union {
        float* decimal;
        int32_t* integer;
        char* string;
    } pointer; // the scene's own number
    union {
        float decimal;
        int32_t integer;
        char* string;
    } value; // the stored value
    union {
        float* decimal;
        int32_t* integer;
    } minValue, maxValue; // bounds for animated values; not used yet
    struct {
        float* points;
        uint32_t pointsSize;
        float* curve;
        uint32_t curveSize;
    } bezier; // curve of an animated value; not used yet
    playerSceneVariables* next;
};

// --- scenes and syncs ------------------------------------------------------

// The duration ends the scene relative to its start, or at the absolute time
// when it begins with "#"; the start is always absolute.
playerScene* addPlayerScene(const char* name, const char* startString, const char* durationString,
                            playerSceneCallback_t init, playerSceneCallback_t run,
                            playerSceneCallback_t deinit);
playerScene* getPlayerScene(const char* name); // the first with that name, or null
// Populates the scene's time and runs it; pScene null: looked up by name.
void playScene(const char* name, playerScene* pScene);
// Calls every deinit callback and frees every scene, sync and variable record.
void cleanPlayerScene(void);
// For the apps, tests and benchmarks: the first scene, to walk the list.
playerScene* getPlayerSceneHead(void);
// For tests (and callbacks): the scene being initialised, run or cleaned.
playerScene* getPlayerSceneCurrent(void);
uint32_t getPlayerSceneSize(void); // for tests: the number of scenes added

// A window sync. A relative start counts from the scene's start (from 0 for a
// scene starting before 0), a relative duration from the sync's start; "#"
// makes either absolute. Null for a null scene.
sceneSync_t* addSync(playerScene* pScene, const char* startString, const char* durationString);
// As addSync, the start counted from the end of the scene's last sync.
sceneSync_t* addSyncAfterLast(playerScene* pScene, const char* startString, const char* durationString);
// Makes the sync fire every interval within its window, from its start on.
void setTriggerSync(sceneSync_t* sync, const char* intervalString);
// 1 while a window sync is on; 1 once per firing of a trigger sync (consumed).
int isSync(sceneSync_t* sync);
// Stand-alone window test of a caller-owned record against the scene's last
// population; keeps no state between calls. 1 while on. A relative duration
// ends at start offset + scene start + duration, even after a "#" start.
int checkSync(playerScene* pScene, sceneSync_t* sync, const char* startString, const char* durationString);

// --- scene variables -------------------------------------------------------

playerSceneVariables* addVariableDecimal(playerScene* pScene, const char* name, float* value);
playerSceneVariables* addVariableInteger(playerScene* pScene, const char* name, int32_t* value);
playerSceneVariables* getVariable(playerScene* pScene, const char* variableName); // first match or null
// Sets the number and the stored value; integers truncate toward zero. A null
// record, or one of another scene, is looked up by name in pScene.
void setVariable(playerScene* pScene, playerSceneVariables* pSceneVar, const char* variableName,
                 float decimal);
// Per frame: advances the scene's syncs, then writes every stored value back.
void updateSceneVariables(playerScene* pScene);

// --- player start-up and runner ---------------------------------------------

// OpenGL state, extensions, then the loading bar while the init callbacks run;
// an exit request cuts the loading short.
void playerInit(void);
void playerRun(void); // runs every scene with start <= now < end, in list order
void playerDeinit(void);

// For tests: the geometry of one frame of the loading bar, step 1 to
// sceneCount + 1, as playerInit draws it.
struct playerLoadingBar_t {
    double status;  // step / (sceneCount + 1)
    int barEnd;     // right edge of the bar, 300 to 500 on the 800 x 600 canvas
    double fadeOut; // 1 up to 90 %, falling to 0 at 100 %
};
playerLoadingBar_t playerLoadingBarAt(uint32_t step, uint32_t sceneCount);

// For tests: the step that shows a finished frame, so a test can capture
// frames. Null puts back the buffer swap.
typedef void (*playerPresent_Func)(void);
void playerSetPresent(playerPresent_Func present);
// For tests and benchmarks: back to the start state, no scenes (their
// deinit callbacks run), the real present step.
void playerReset(void);

#endif
