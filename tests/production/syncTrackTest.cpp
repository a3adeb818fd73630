// Track values against values worked out by hand, and the two readers of
// outside bytes (the editor's messages, saved track files) against input
// that is cut short, padded or out of order.

#include "system/production/syncEditor.h"
#include "system/production/syncTrack.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Guards the interpolations: between rows 10 (value 2) and 20 (value 6),
// at row 15 (t = 1/2) and row 12.5 (t = 1/4), each as its key says.
TEST(SyncTrack, InterpolatesAsTheKeySaysAndHoldsOutsideTheKeys)
{
    syncTrack_t track;
    syncTrackSetKey(&track, syncKey_t{20, 6.0f, SYNC_KEY_STEP});
    for (int type : {SYNC_KEY_STEP, SYNC_KEY_LINEAR, SYNC_KEY_SMOOTH, SYNC_KEY_RAMP}) {
        syncTrackSetKey(&track, syncKey_t{10, 2.0f, type}); // replaces the key on its row
        ASSERT_EQ(track.keys.size(), 2u);
        const float half[] = {2.0f, 4.0f, 4.0f, 3.0f}, quarter[] = {2.0f, 3.0f, 2.0f + 4 * 0.15625f, 2.25f};
        EXPECT_FLOAT_EQ(syncTrackValue(track, 15.0), half[type]) << type;
        EXPECT_FLOAT_EQ(syncTrackValue(track, 12.5), quarter[type]) << type;
    }
    EXPECT_FLOAT_EQ(syncTrackValue(track, -3.0), 2.0f);
    EXPECT_FLOAT_EQ(syncTrackValue(track, 20.0), 6.0f);
    EXPECT_FLOAT_EQ(syncTrackValue(track, 1e9), 6.0f);
    syncTrackDeleteKey(&track, 20);
    EXPECT_FLOAT_EQ(syncTrackValue(track, 15.0), 2.0f);
}

// Guards against reading past the bytes, and against a damaged file
// replacing good keys.
TEST(SyncTrack, SavedFilesAreReadWholeOrNotAtAll)
{
    // Two keys out of order on disk: row 7 (1.5, linear), then row 3 (-1, ramp).
    const uint8_t file[] = {2, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0xC0, 0x3F, 1, 3, 0, 0, 0, 0, 0, 0x80, 0xBF, 3};
    std::vector<syncKey_t> keys = {{1, 1.0f, 0}};
    for (size_t cut = 0; cut < sizeof file; cut++)
        EXPECT_EQ(syncTrackParse(file, cut, &keys), 0) << cut;
    uint8_t padded[sizeof file + 1] = {};
    memcpy(padded, file, sizeof file);
    EXPECT_EQ(syncTrackParse(padded, sizeof padded, &keys), 0);
    EXPECT_EQ(keys.size(), 1u) << "a refused file leaves the keys";
    ASSERT_EQ(syncTrackParse(file, sizeof file, &keys), 1);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].row, 3);
    EXPECT_FLOAT_EQ(keys[0].value, -1.0f);
    EXPECT_EQ(keys[1].type, SYNC_KEY_LINEAR);
    EXPECT_EQ(syncTrackPath("t/sync", "sky:light"), "t/sync_sky-3Alight.track");
}

// Guards the message reader: a message split anywhere waits for its rest.
TEST(SyncMessage, PartialMessagesWaitAndWholeOnesAreRead)
{
    const uint8_t setKey[] = {0, 0, 0, 0, 2, 0, 0, 1, 0, 0x3F, 0x80, 0, 0, 2};
    syncMessage_t m;
    for (size_t cut = 0; cut < sizeof setKey; cut++)
        EXPECT_EQ(syncMessageRead(setKey, cut, &m), 0u) << cut;
    ASSERT_EQ(syncMessageRead(setKey, sizeof setKey, &m), sizeof setKey);
    EXPECT_EQ(m.track, 2u);
    EXPECT_EQ(m.key.row, 256);
    EXPECT_FLOAT_EQ(m.key.value, 1.0f);
    EXPECT_EQ(m.key.type, SYNC_KEY_SMOOTH);
    const uint8_t unknown[] = {9, 3, 0, 0, 0, 5};
    ASSERT_EQ(syncMessageRead(unknown, sizeof unknown, &m), 1u);
    EXPECT_EQ(m.command, -1);
    ASSERT_EQ(syncMessageRead(unknown + 1, 5, &m), 5u);
    EXPECT_EQ(m.row, 5u);
}

} // namespace
