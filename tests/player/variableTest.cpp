// Scene variables: the binding, the write-back and the lookups by name.

#include "effects/playlist.h"
#include "system/player/player.h"
#include "system/timer/timer.h"
#include "tests/support/fakeClock.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class VariableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeClockInstall();
        timerInit(-1.0f);
        playerReset();
        scene = addPlayerScene("scene", "0:00", "0:10", nullptr, nullptr, nullptr);
        other = addPlayerScene("other", "0:00", "0:10", nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        playerReset();
        fakeClockRemove();
    }
    playerScene* scene = nullptr;
    playerScene* other = nullptr;
};

TEST_F(VariableTest, BindingTakesTheCurrentNumberAndBorrowsTheName)
{
    static const char name[] = "alpha";
    float alpha = 0.5f;
    int32_t count = 7;
    playerSceneVariables* a = addVariableDecimal(scene, name, &alpha);
    playerSceneVariables* c = addVariableInteger(scene, "count", &count);
    EXPECT_EQ(a->name, name);
    EXPECT_EQ(a->value.decimal, 0.5f);
    EXPECT_EQ(a->parentScene, scene);
    EXPECT_EQ(c->value.integer, 7);
    EXPECT_EQ(scene->variablesHead, a);
    EXPECT_EQ(a->next, c);
    EXPECT_EQ(scene->variablesTail, c);
}

TEST_F(VariableTest, IntegersTruncateTowardZero)
{
    int32_t number = 0;
    playerSceneVariables* v = addVariableInteger(scene, "n", &number);
    setVariable(scene, v, "n", 2.7f);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(v->value.integer, 2);
    setVariable(scene, v, "n", -2.7f);
    EXPECT_EQ(number, -2);
    EXPECT_EQ(v->value.integer, -2);
}

// Converting a float no int can hold is undefined behaviour; the timeline
// saturates instead.
TEST_F(VariableTest, IntegersOutOfRangeSaturateAndNaNGivesZero)
{
    int32_t number = 0;
    playerSceneVariables* v = addVariableInteger(scene, "n", &number);
    setVariable(scene, v, nullptr, 1e10f);
    EXPECT_EQ(number, INT32_MAX);
    setVariable(scene, v, nullptr, -1e10f);
    EXPECT_EQ(number, INT32_MIN);
    setVariable(scene, v, nullptr, -2147483648.0f);
    EXPECT_EQ(number, INT32_MIN);
    setVariable(scene, v, nullptr, std::nanf(""));
    EXPECT_EQ(number, 0);
}

TEST_F(VariableTest, StoredValuesWinOverWhatSceneCodeWroteInBetween)
{
    float alpha = 0.5f;
    int32_t count = 3;
    addVariableDecimal(scene, "alpha", &alpha);
    playerSceneVariables* c = addVariableInteger(scene, "count", &count);
    alpha = 3.0f;
    count = 99;
    updateSceneVariables(scene);
    EXPECT_EQ(alpha, 0.5f);
    EXPECT_EQ(count, 3);

    setVariable(scene, nullptr, "alpha", 0.25f);
    setVariable(scene, c, nullptr, 4.9f);
    alpha = -1.0f;
    count = -1;
    updateSceneVariables(scene);
    EXPECT_EQ(alpha, 0.25f);
    EXPECT_EQ(count, 4);
}

TEST_F(VariableTest, ARecordOfAnotherSceneIsLookedUpByNameInThisOne)
{
    float mine = 0, theirs = 0;
    playerSceneVariables* own = addVariableDecimal(scene, "level", &mine);
    playerSceneVariables* foreign = addVariableDecimal(other, "level", &theirs);
    setVariable(scene, foreign, "level", 0.75f);
    EXPECT_EQ(mine, 0.75f);
    EXPECT_EQ(own->value.decimal, 0.75f);
    EXPECT_EQ(theirs, 0.0f);
    EXPECT_EQ(foreign->value.decimal, 0.0f);

    setVariable(scene, foreign, "absent", 0.5f);
    EXPECT_EQ(mine, 0.75f) << "an unknown name changes nothing";
    EXPECT_EQ(theirs, 0.0f);
    setVariable(scene, nullptr, "absent", 0.5f);
    setVariable(scene, nullptr, nullptr, 0.5f);
    setVariable(nullptr, own, "level", 0.5f);
    EXPECT_EQ(mine, 0.75f);
    EXPECT_EQ(getVariable(scene, "absent"), nullptr);
    EXPECT_EQ(getVariable(scene, "Level"), nullptr);
}

TEST_F(VariableTest, DuplicateNamesResolveToTheFirstRecord)
{
    float first = 1, second = 2;
    playerSceneVariables* a = addVariableDecimal(scene, "x", &first);
    playerSceneVariables* b = addVariableDecimal(scene, "x", &second);
    EXPECT_EQ(getVariable(scene, "x"), a);
    setVariable(scene, nullptr, "x", 9.0f);
    EXPECT_EQ(first, 9.0f);
    EXPECT_EQ(second, 2.0f);
    setVariable(scene, b, "x", 8.0f);
    EXPECT_EQ(second, 8.0f) << "a record of this scene is used as given";
    EXPECT_EQ(first, 9.0f);
}

TEST_F(VariableTest, OtherTypesAreLeftAlone)
{
    float number = 1;
    playerSceneVariables* v = addVariableDecimal(scene, "v", &number);
    v->type = 5;
    setVariable(scene, v, "v", 2.0f);
    number = 3;
    updateSceneVariables(scene);
    EXPECT_EQ(number, 3.0f);
}

TEST_F(VariableTest, OneUpdateAdvancesSyncsAndWritesValues)
{
    float level = 0.5f;
    addVariableDecimal(scene, "level", &level);
    sceneSync_t* sync = addSync(scene, "0:01", "0:01");
    fakeClockUpdateTo(1.5);
    playScene(nullptr, scene);
    level = 0;
    updateSceneVariables(scene);
    EXPECT_EQ(sync->active, SYNC_ON);
    EXPECT_EQ(level, 0.5f);
}

TEST(PlaylistTest, NamesTheProductionsMusicAndLength)
{
    playlistInit();
    EXPECT_EQ(getPlaylistLength(), 128.0f);
    EXPECT_STREQ(getPlaylistMusic(), "data/business.ogg");
}

} // namespace
