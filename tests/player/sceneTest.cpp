// The scene list, sync placement and the sync state machine, driven by the
// fake clock; no window needed.

#include "system/player/player.h"
#include "system/timer/timer.h"
#include "tests/support/fakeClock.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeClockInstall();
        timerInit(-1.0f);
        playerReset();
    }
    void TearDown() override
    {
        playerReset();
        fakeClockRemove();
    }

    // One frame as a scene sees it: the clock moves, the scene is populated
    // (and run), then the per-frame update advances its syncs.
    static void frameAt(playerScene* scene, double t)
    {
        fakeClockUpdateTo(t);
        playScene(nullptr, scene);
        updateSceneVariables(scene);
    }
};

std::vector<std::string> calls;

void recordRun(void* scene)
{
    calls.push_back(std::string("run ") + static_cast<playerScene*>(scene)->name);
}

void recordDeinit(void* scene)
{
    playerScene* self = static_cast<playerScene*>(scene);
    EXPECT_EQ(getPlayerSceneCurrent(), self) << "the scene being cleaned is current";
    calls.push_back(std::string("deinit ") + self->name);
}

// A deinit that looks up its own scene and the other one by name.
void deinitLooksAround(void* scene)
{
    recordDeinit(scene);
    playerScene* self = static_cast<playerScene*>(scene);
    EXPECT_EQ(getPlayerScene(self->name), self);
    EXPECT_EQ(getPlayerSceneSize(), 2u);
    const char* other = std::string(self->name) == "early" ? "later" : "early";
    ASSERT_NE(getPlayerScene(other), nullptr);
    calls.push_back(std::string("found ") + other);
}

TEST_F(SceneTest, SceneSpanFollowsTheDurationRules)
{
    playerScene* relative = addPlayerScene("relative", "0:10", "0:05", nullptr, nullptr, nullptr);
    EXPECT_FLOAT_EQ(relative->start, 10.0f);
    EXPECT_FLOAT_EQ(relative->end, 15.0f);
    EXPECT_FLOAT_EQ(relative->time.start, 10.0f);
    EXPECT_FLOAT_EQ(relative->time.end, 15.0f);
    EXPECT_EQ(relative->time.absolute, 0.0f) << "nothing populated yet";

    playerScene* absolute = addPlayerScene("absolute", "0:10", "#0:12", nullptr, nullptr, nullptr);
    EXPECT_FLOAT_EQ(absolute->end, 12.0f);

    playerScene* hashStart = addPlayerScene("hash", "#0:10", "0:05", nullptr, nullptr, nullptr);
    EXPECT_FLOAT_EQ(hashStart->start, 10.0f) << "a scene start is always absolute";
    EXPECT_FLOAT_EQ(hashStart->end, 15.0f);
}

TEST_F(SceneTest, ListKeepsOrderAndLookupIsExactAndFindsTheFirst)
{
    static const char name[] = "intro";
    playerScene* first = addPlayerScene(name, "0:00", "0:01", nullptr, nullptr, nullptr);
    playerScene* second = addPlayerScene("outro", "0:01", "0:01", nullptr, nullptr, nullptr);
    playerScene* again = addPlayerScene("intro", "0:02", "0:01", nullptr, nullptr, nullptr);
    EXPECT_EQ(first->name, name) << "the name is borrowed, not copied";
    EXPECT_EQ(getPlayerSceneHead(), first);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(second->next, again);
    EXPECT_EQ(again->next, nullptr);
    EXPECT_EQ(getPlayerSceneSize(), 3u);
    EXPECT_EQ(getPlayerScene("intro"), first);
    EXPECT_EQ(getPlayerScene("outro"), second);
    EXPECT_EQ(getPlayerScene("Intro"), nullptr);
    EXPECT_EQ(getPlayerScene("intr"), nullptr);
}

TEST_F(SceneTest, PlaySceneRunsTheNamedSceneWithItsTimePopulated)
{
    calls.clear();
    addPlayerScene("a", "0:10", "0:05", nullptr, recordRun, nullptr);
    playerScene* b = addPlayerScene("b", "0:10", "0:04", nullptr, recordRun, nullptr);
    fakeClockUpdateTo(11.0);
    playScene("b", nullptr);
    EXPECT_EQ(calls, std::vector<std::string>{"run b"});
    EXPECT_FLOAT_EQ(b->time.absolute, 11.0f);
    EXPECT_FLOAT_EQ(b->time.percent, 0.25f);
    EXPECT_FLOAT_EQ(b->time.now, 3.0f);
    EXPECT_FLOAT_EQ(b->time.start, 10.0f);
    EXPECT_FLOAT_EQ(b->time.end, 14.0f);

    playScene("missing", nullptr);
    playScene(nullptr, nullptr);
    EXPECT_EQ(calls.size(), 1u) << "no scene, no run";

    playerScene* silent = addPlayerScene("silent", "0:10", "0:02", nullptr, nullptr, nullptr);
    playScene("silent", nullptr);
    EXPECT_FLOAT_EQ(silent->time.percent, 0.5f) << "time populated even without a run callback";
}

TEST_F(SceneTest, CleanUpDeinitsEveryScenePassesItAndEmptiesTheList)
{
    calls.clear();
    playerScene* a = addPlayerScene("a", "0:00", "0:01", nullptr, nullptr, recordDeinit);
    addPlayerScene("no deinit", "0:00", "0:01", nullptr, nullptr, nullptr);
    addPlayerScene("b", "0:00", "0:01", nullptr, nullptr, recordDeinit);
    addSync(a, "0:00", "0:01");
    addSync(a, "0:00.5", "0:01");
    float number = 1;
    addVariableDecimal(a, "number", &number);
    cleanPlayerScene();
    EXPECT_EQ(calls, (std::vector<std::string>{"deinit a", "deinit b"}));
    EXPECT_EQ(getPlayerSceneHead(), nullptr);
    EXPECT_EQ(getPlayerSceneCurrent(), nullptr);
    EXPECT_EQ(getPlayerSceneSize(), 0u);
    EXPECT_EQ(getPlayerScene("a"), nullptr);

    // The module is usable again at once.
    playerScene* fresh = addPlayerScene("fresh", "0:00", "0:01", nullptr, nullptr, nullptr);
    EXPECT_EQ(getPlayerSceneHead(), fresh);
    EXPECT_EQ(getPlayerSceneSize(), 1u);
}

// Every deinit sees the list as it stood: itself, the scenes before and after
// it, the full size. Freeing scenes before a later deinit ran let it walk
// freed memory; unlinking them first hid its own scene from it.
TEST_F(SceneTest, EveryDeinitSeesTheWholeListItselfIncluded)
{
    calls.clear();
    addPlayerScene("early", "0:00", "0:01", nullptr, nullptr, deinitLooksAround);
    addPlayerScene("later", "0:00", "0:01", nullptr, nullptr, deinitLooksAround);
    cleanPlayerScene();
    EXPECT_EQ(calls, (std::vector<std::string>{"deinit early", "found later", "deinit later", "found early"}));
}

TEST_F(SceneTest, SyncPlacementFollowsTheHashRules)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:10", nullptr, nullptr, nullptr);
    sceneSync_t* relative = addSync(scene, "0:02", "0:01");
    EXPECT_FLOAT_EQ(relative->time.start, 12.0f);
    EXPECT_FLOAT_EQ(relative->time.end, 13.0f);
    EXPECT_FLOAT_EQ(relative->time.triggerStart, 12.0f);
    EXPECT_FLOAT_EQ(relative->time.triggerEnd, 13.0f);

    sceneSync_t* absoluteStart = addSync(scene, "#0:02", "0:01");
    EXPECT_FLOAT_EQ(absoluteStart->time.start, 2.0f);
    EXPECT_FLOAT_EQ(absoluteStart->time.end, 3.0f);

    sceneSync_t* absoluteEnd = addSync(scene, "0:02", "#0:14");
    EXPECT_FLOAT_EQ(absoluteEnd->time.start, 12.0f);
    EXPECT_FLOAT_EQ(absoluteEnd->time.end, 14.0f);

    EXPECT_EQ(scene->syncHead, relative);
    EXPECT_EQ(relative->next, absoluteStart);
    EXPECT_EQ(absoluteStart->next, absoluteEnd);
    EXPECT_EQ(scene->syncTail, absoluteEnd);

    EXPECT_EQ(addSync(nullptr, "0:01", "0:01"), nullptr);
    EXPECT_EQ(addSyncAfterLast(nullptr, "0:01", "0:01"), nullptr);
}

TEST_F(SceneTest, RelativeSyncsOfASceneStartingBeforeZeroCountFromZero)
{
    playerScene* scene = addPlayerScene("early", "-1:00", "2:00", nullptr, nullptr, nullptr);
    ASSERT_FLOAT_EQ(scene->start, -60.0f);
    sceneSync_t* sync = addSync(scene, "0:02", "0:01");
    EXPECT_FLOAT_EQ(sync->time.start, 2.0f);
    EXPECT_FLOAT_EQ(sync->time.end, 3.0f);
}

TEST_F(SceneTest, SyncAfterLastCountsFromTheLastEndInWholeMilliseconds)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:10", nullptr, nullptr, nullptr);
    sceneSync_t* first = addSyncAfterLast(scene, "0:02", "0:01");
    EXPECT_FLOAT_EQ(first->time.start, 12.0f) << "no sync yet: as addSync";
    EXPECT_FLOAT_EQ(first->time.end, 13.0f);

    sceneSync_t* second = addSyncAfterLast(scene, "0:01", "0:00.5");
    EXPECT_FLOAT_EQ(second->time.start, 14.0f);
    EXPECT_FLOAT_EQ(second->time.end, 14.5f);

    sceneSync_t* hashed = addSyncAfterLast(scene, "#0:01", "#0:20");
    EXPECT_FLOAT_EQ(hashed->time.start, 15.5f) << "the offset always counts from the last end";
    EXPECT_FLOAT_EQ(hashed->time.end, 20.0f);

    addSync(scene, "#0:30", "0:00.1234567");
    sceneSync_t* truncated = addSyncAfterLast(scene, "0:00", "0:01");
    EXPECT_FLOAT_EQ(truncated->time.start, 30.123f) << "truncated, not rounded, to milliseconds";
}

// Written out as a time text, a start of -59 s read back as +59 s.
TEST_F(SceneTest, SyncAfterLastKeepsANegativeStart)
{
    playerScene* scene = addPlayerScene("s", "0:00", "0:10", nullptr, nullptr, nullptr);
    addSync(scene, "#0:00", "#-1:00");
    sceneSync_t* sync = addSyncAfterLast(scene, "0:01", "0:02");
    EXPECT_FLOAT_EQ(sync->time.start, -59.0f);
    EXPECT_FLOAT_EQ(sync->time.end, -57.0f);
}

TEST_F(SceneTest, WindowSyncTurnsOnGetsOneFinalFrameThenFinishes)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:10", nullptr, nullptr, nullptr);
    sceneSync_t* sync = addSync(scene, "0:02", "0:01");
    struct { double t; int active; int answer; } frames[] = {
        {11.9, SYNC_WAITING, 0}, {12.0, SYNC_ON, 1}, {12.5, SYNC_ON, 1},
        {12.996, SYNC_FINAL_FRAME, 1}, {13.1, SYNC_FINISHED, 0}};
    for (auto f : frames) {
        frameAt(scene, f.t);
        EXPECT_EQ(sync->active, f.active) << "t " << f.t;
        EXPECT_EQ(isSync(sync), f.answer) << "t " << f.t;
        if (f.t == 12.5) {
            EXPECT_FLOAT_EQ(sync->time.percent, 0.5f);
            EXPECT_FLOAT_EQ(sync->time.now, 0.5f);
        }
        if (f.active == SYNC_FINAL_FRAME) {
            EXPECT_EQ(sync->time.percent, 1.0f) << "exactly 1 in the final frame";
        }
    }
    frameAt(scene, 12.5);
    EXPECT_EQ(sync->active, SYNC_FINISHED) << "a finished sync never comes back";
    EXPECT_EQ(isSync(sync), 0);
}

TEST_F(SceneTest, WindowPassingBetweenTwoUpdatesNeverTurnsOn)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:10", nullptr, nullptr, nullptr);
    sceneSync_t* sync = addSync(scene, "0:02", "0:00.004");
    frameAt(scene, 11.9);
    EXPECT_EQ(isSync(sync), 0);
    frameAt(scene, 12.002);
    EXPECT_EQ(sync->active, SYNC_FINISHED);
    EXPECT_EQ(isSync(sync), 0);
}

TEST_F(SceneTest, TriggerSyncFiresEveryIntervalAfterTheFiringWasNoticed)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:10", nullptr, nullptr, nullptr);
    sceneSync_t* sync = addSync(scene, "0:02", "0:02");
    setTriggerSync(sync, "0:00.5");
    EXPECT_EQ(sync->type, SYNC_TRIGGER);
    EXPECT_FLOAT_EQ(sync->time.interval, 0.5f);
    EXPECT_FLOAT_EQ(sync->time.triggerEnd, 12.5f) << "the first firing opens at the start";

    std::vector<double> firings;
    for (int tenth = 115; tenth <= 145; tenth++) {
        double t = tenth / 10.0;
        frameAt(scene, t);
        if (isSync(sync))
            firings.push_back(t);
        if (tenth == 122) { // 0.2 s into the interval after the firing at 12.0
            EXPECT_NEAR(sync->time.percent, 0.4f, 1e-5);
        }
        if (tenth >= 140) {
            EXPECT_EQ(sync->active, SYNC_FINISHED) << "t " << t;
        }
    }
    EXPECT_EQ(firings, (std::vector<double>{12.0, 12.5, 13.0, 13.5}));
}

TEST_F(SceneTest, LateNoticedTriggerFiringMovesTheNextOne)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:10", nullptr, nullptr, nullptr);
    sceneSync_t* sync = addSync(scene, "0:02", "0:02");
    setTriggerSync(sync, "0:00.5");
    frameAt(scene, 12.0);
    ASSERT_EQ(isSync(sync), 1);
    frameAt(scene, 12.7); // the second firing is due since 12.5 but asked for only now
    ASSERT_EQ(isSync(sync), 1);
    EXPECT_FLOAT_EQ(sync->time.triggerStart, 13.2f);
    frameAt(scene, 13.1);
    EXPECT_EQ(isSync(sync), 0);
    frameAt(scene, 13.2);
    EXPECT_EQ(isSync(sync), 1);
}

TEST_F(SceneTest, CheckSyncIsAStatelessWindowTest)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:10", nullptr, nullptr, nullptr);
    sceneSync_t record = {};
    record.type = SYNC_WINDOW;

    fakeClockUpdateTo(11.9);
    playScene(nullptr, scene);
    EXPECT_EQ(checkSync(scene, &record, "0:02", "0:01"), 0);
    EXPECT_EQ(record.active, SYNC_WAITING);
    EXPECT_EQ(record.time.percent, 0.0f);
    EXPECT_FLOAT_EQ(record.time.start, 12.0f);
    EXPECT_FLOAT_EQ(record.time.end, 13.0f);

    fakeClockUpdateTo(12.5);
    playScene(nullptr, scene);
    EXPECT_EQ(checkSync(scene, &record, "0:02", "0:01"), 1);
    EXPECT_EQ(record.active, SYNC_ON);
    EXPECT_FLOAT_EQ(record.time.percent, 0.5f);
    EXPECT_EQ(record.next, nullptr);

    fakeClockUpdateTo(12.996);
    playScene(nullptr, scene);
    EXPECT_EQ(checkSync(scene, &record, "0:02", "0:01"), 0) << "the 5 ms margin, no final frame";
    EXPECT_EQ(record.active, SYNC_FINISHED);
    EXPECT_EQ(checkSync(scene, &record, "0:02", "0:01.5"), 1) << "no state kept between calls";

    EXPECT_EQ(checkSync(scene, &record, "0:02", "#0:13.5"), 1);
    EXPECT_FLOAT_EQ(record.time.end, 13.5f);
}

// A relative duration adds the scene start even after an absolute start:
// productions time their windows by that rule, so a window at #0:02 lasting
// 0:01 in a scene at 10 s ends at 13 s, not 3 s.
TEST_F(SceneTest, CheckSyncAddsTheSceneStartToARelativeDurationAfterAnAbsoluteStart)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:10", nullptr, nullptr, nullptr);
    sceneSync_t record = {};
    fakeClockUpdateTo(2.5);
    playScene(nullptr, scene);
    EXPECT_EQ(checkSync(scene, &record, "#0:02", "0:01"), 1);
    EXPECT_FLOAT_EQ(record.time.start, 2.0f);
    EXPECT_FLOAT_EQ(record.time.end, 13.0f);
    fakeClockUpdateTo(12.5);
    playScene(nullptr, scene);
    EXPECT_EQ(checkSync(scene, &record, "#0:02", "0:01"), 1) << "still on after 3 s";
    fakeClockUpdateTo(12.996);
    playScene(nullptr, scene);
    EXPECT_EQ(checkSync(scene, &record, "#0:02", "0:01"), 0);
}

TEST_F(SceneTest, CheckSyncDoesNotClampANegativeSceneStart)
{
    playerScene* scene = addPlayerScene("s", "-1:00", "2:00", nullptr, nullptr, nullptr);
    sceneSync_t record = {};
    fakeClockUpdateTo(0);
    playScene(nullptr, scene);
    EXPECT_EQ(checkSync(scene, &record, "0:02", "0:01"), 0);
    EXPECT_FLOAT_EQ(record.time.start, -58.0f);
    EXPECT_FLOAT_EQ(record.time.end, -57.0f);
}

// A zero-length span divided by zero and handed NaN or infinity to scene code.
TEST_F(SceneTest, ZeroLengthSpansGiveAStepNotANonFiniteFraction)
{
    playerScene* scene = addPlayerScene("s", "0:10", "0:00", nullptr, nullptr, nullptr);
    sceneSync_t* window = addSync(scene, "0:00", "0:00");
    sceneSync_t* trigger = addSync(scene, "0:00", "0:05");
    setTriggerSync(trigger, "0:00");
    fakeClockUpdateTo(10.0);
    playScene(nullptr, scene);
    EXPECT_EQ(scene->time.percent, 1.0f);
    EXPECT_EQ(window->time.percent, 1.0f);
    EXPECT_TRUE(std::isfinite(trigger->time.percent));
    fakeClockUpdateTo(9.0);
    playScene(nullptr, scene);
    EXPECT_EQ(scene->time.percent, 0.0f);
    EXPECT_EQ(window->time.percent, 0.0f);
}

} // namespace
