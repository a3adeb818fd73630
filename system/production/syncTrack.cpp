#include "system/production/syncTrack.h"

#include "system/io/io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

const char HEX[] = "0123456789ABCDEF";

// The first key at or after `row`.
std::vector<syncKey_t>::const_iterator keyAt(const std::vector<syncKey_t>& keys, int32_t row)
{
    return std::lower_bound(keys.begin(), keys.end(), row,
                            [](const syncKey_t& k, int32_t r) { return k.row < r; });
}

// The saved form is little-endian whatever the machine.
uint32_t readLittle(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void writeLittle(uint32_t v, uint8_t* p)
{
    for (int i = 0; i < 4; i++)
        p[i] = uint8_t(v >> (8 * i));
}

// The editor writes into folders of the base it names; they may not exist yet.
bool makeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

} // namespace

void syncTrackSetKey(syncTrack_t* track, syncKey_t key)
{
    auto at = keyAt(track->keys, key.row);
    size_t index = size_t(at - track->keys.begin());
    if (at != track->keys.end() && at->row == key.row)
        track->keys[index] = key;
    else
        track->keys.insert(track->keys.begin() + long(index), key);
}

void syncTrackDeleteKey(syncTrack_t* track, int32_t row)
{
    auto at = keyAt(track->keys, row);
    if (at != track->keys.end() && at->row == row)
        track->keys.erase(at);
}

float syncTrackValue(const syncTrack_t& track, double row)
{
    const std::vector<syncKey_t>& keys = track.keys;
    if (keys.empty())
        return 0.0f;
    // The key that governs the row is the last one at or before it.
    double whole = floor(row);
    auto next = std::upper_bound(keys.begin(), keys.end(), whole,
                                 [](double r, const syncKey_t& k) { return r < double(k.row); });
    if (next == keys.begin())
        return keys.front().value;
    if (next == keys.end())
        return keys.back().value;
    const syncKey_t& a = *(next - 1);
    const syncKey_t& b = *next;
    double t = (row - a.row) / double(int64_t(b.row) - a.row);
    switch (a.type) {
    case SYNC_KEY_STEP:
        return a.value;
    case SYNC_KEY_SMOOTH:
        t = t * t * (3 - 2 * t);
        break;
    case SYNC_KEY_RAMP:
        t = t * t;
        break;
    default:
        break;
    }
    return float(a.value + (double(b.value) - a.value) * t);
}

int syncTrackParse(const uint8_t* data, size_t size, std::vector<syncKey_t>* keys)
{
    if (size < 4)
        return 0;
    uint32_t count = readLittle(data);
    if (count > SYNC_TRACK_MOST_KEYS || size != 4 + size_t(count) * SYNC_KEY_BYTES)
        return 0;
    std::vector<syncKey_t> read;
    read.reserve(count);
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t* p = data + 4 + size_t(i) * SYNC_KEY_BYTES;
        uint32_t bits = readLittle(p + 4);
        float value;
        memcpy(&value, &bits, sizeof value);
        if (p[8] >= SYNC_KEY_TYPES)
            return 0;
        read.push_back(syncKey_t{int32_t(readLittle(p)), value, p[8]});
    }
    // Another writer may not keep them in order; one key a row, the last wins.
    std::stable_sort(read.begin(), read.end(), [](const syncKey_t& a, const syncKey_t& b) { return a.row < b.row; });
    syncTrack_t sorted;
    for (const syncKey_t& k : read)
        syncTrackSetKey(&sorted, k);
    keys->swap(sorted.keys);
    return 1;
}

std::string syncTrackPath(const char* base, const std::string& name)
{
    std::string path = std::string(base) + "_";
    for (unsigned char c : name) {
        if (isalnum(c) || c == '.' || c == '_' || c == '/') {
            path += char(c);
        } else {
            path += '-';
            path += HEX[c >> 4];
            path += HEX[c & 0xF];
        }
    }
    return path + ".track";
}

int syncTrackLoad(const char* base, syncTrack_t* track, int quietIfMissing)
{
    std::string path = syncTrackPath(base, track->name);
    size_t size = 0;
    char* bytes = ioReadFileWithSize(path.c_str(), &size);
    if (!bytes) {
        if (!quietIfMissing)
            fprintf(stderr, "sync: cannot read %s; the track keeps its keys\n", path.c_str());
        return 0;
    }
    int parsed = syncTrackParse(reinterpret_cast<const uint8_t*>(bytes), size, &track->keys);
    free(bytes);
    if (!parsed)
        fprintf(stderr, "sync: %s is no track file (cut short or damaged); the track keeps its keys\n", path.c_str());
    return parsed;
}

int syncTrackSave(const char* base, const syncTrack_t& track)
{
    std::string path = syncTrackPath(base, track.name);
    std::vector<uint8_t> bytes(4 + track.keys.size() * SYNC_KEY_BYTES);
    writeLittle(uint32_t(track.keys.size()), bytes.data());
    for (size_t i = 0; i < track.keys.size(); i++) {
        uint8_t* p = bytes.data() + 4 + i * SYNC_KEY_BYTES;
        uint32_t bits;
        memcpy(&bits, &track.keys[i].value, sizeof bits);
        writeLittle(uint32_t(track.keys[i].row), p);
        writeLittle(bits, p + 4);
        p[8] = uint8_t(track.keys[i].type);
    }
    // Written beside and renamed, so a run that reloads on save never reads half a file.
    std::string partial = path + ".partial";
    FILE* f = makeFolders(path) ? fopen(partial.c_str(), "wb") : nullptr;
    bool written = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && fclose(f) != 0)
        written = false;
    if (!written || rename(partial.c_str(), path.c_str()) != 0) {
        fprintf(stderr, "sync: cannot write %s: %s\n", path.c_str(), strerror(errno));
        remove(partial.c_str());
        return 0;
    }
    return 1;
}
