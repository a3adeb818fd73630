#ifndef TESSELLUNE_SYNCTRACK_H
#define TESSELLUNE_SYNCTRACK_H

// Tracks of values keyed on rows, as the sync editor edits them and saves
// them: each track is named "scene:variable", its keys are sorted by row,
// and a value between two keys follows the first key's interpolation. A
// row is one row of the module's play order, so the editor's rows line up
// with the patterns. The saved form is the editor's own: one file per
// track, a little-endian key count, then per key its row (int32), value
// (float32) and interpolation (one byte).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum { SYNC_KEY_STEP = 0, SYNC_KEY_LINEAR = 1, SYNC_KEY_SMOOTH = 2, SYNC_KEY_RAMP = 3, SYNC_KEY_TYPES = 4 };

const size_t SYNC_TRACK_NAME_MOST = 255;       // bytes of a track's name
const uint32_t SYNC_TRACK_MOST_KEYS = 1 << 20; // a larger count is a damaged file
const size_t SYNC_KEY_BYTES = 9;               // one key in a saved track

struct syncKey_t {
    int32_t row;
    float value;
    int type; // SYNC_KEY_*
};

struct syncTrack_t {
    std::string name;
    std::vector<syncKey_t> keys; // ascending rows, one key a row
};

// Adds the key, or replaces the one on its row.
void syncTrackSetKey(syncTrack_t* track, syncKey_t key);
void syncTrackDeleteKey(syncTrack_t* track, int32_t row);
// The value at a row with its fraction: the first key's before it, the last
// key's after it, 0 without keys.
float syncTrackValue(const syncTrack_t& track, double row);

// Reads a saved track: 1 and the keys when the bytes are exactly a key
// count and that many keys of known interpolation; 0 for anything else
// (cut short, trailing bytes, an unknown interpolation), `keys` untouched.
int syncTrackParse(const uint8_t* data, size_t size, std::vector<syncKey_t>* keys);
// The file of a track beside `base` ("data/production/tracks/sync" gives
// data/production/tracks/sync_sky-3Alight.track for "sky:light"): bytes other than
// letters, digits, '.', '_' and '/' are written as -XX.
std::string syncTrackPath(const char* base, const std::string& name);
// Loads the track's file; on failure the keys stay as they were and one
// line says why (a missing file says nothing when `quietIfMissing`).
int syncTrackLoad(const char* base, syncTrack_t* track, int quietIfMissing);
int syncTrackSave(const char* base, const syncTrack_t& track);

#endif
