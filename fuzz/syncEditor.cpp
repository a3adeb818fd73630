// The sync editor's messages arrive from the network and its track files
// from disk: both readers take the same bytes here.
#include "system/production/syncEditor.h"
#include "system/production/syncTrack.h"

#include <cassert>
#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    syncTrack_t track;
    for (size_t at = 0; at < size;) {
        syncMessage_t m;
        size_t used = syncMessageRead(data + at, size - at, &m);
        if (used == 0)
            break; // waits for the rest
        assert(used <= size - at);
        if (m.command == SYNC_SET_KEY && m.key.type >= 0 && m.key.type < SYNC_KEY_TYPES)
            syncTrackSetKey(&track, m.key);
        else if (m.command == SYNC_DELETE_KEY)
            syncTrackDeleteKey(&track, m.key.row);
        at += used;
    }
    for (size_t i = 1; i < track.keys.size(); i++)
        assert(track.keys[i - 1].row < track.keys[i].row);
    std::vector<syncKey_t> keys;
    if (syncTrackParse(data, size, &keys))
        track.keys = keys;
    for (double row : {-1.5, 0.0, 3.25, 1e6})
        (void)syncTrackValue(track, row);
    return 0;
}
