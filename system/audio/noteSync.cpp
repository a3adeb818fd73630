#include "system/audio/noteSync.h"

#include "system/audio/audio.h"
#include "system/io/io.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Frames rendered between two looks at the position while the row starts
// are learnt: a row starts within this much (0.7 ms) of its time, and even
// the shortest rows (one tick at the fastest tempo, about 10 ms) are seen.
const int SCAN_FRAMES = 32;
const int FIRST_NOTE = 1, LAST_NOTE = 120; // libopenmpt's note range; above are cut, off and fade
const int MOST_ROWS = 1 << 20;             // a module that loops for good is cut off here

struct noteRow_t {
    double start; // seconds from the music's start
    int order, row;
    int firstNote, notes; // its note starts in noteStarts
};

struct noteStart_t {
    int channel, instrument;
};

struct noteSync_t {
    noteRow_t* rows = nullptr;
    int rowCount = 0, rowCapacity = 0;
    noteStart_t* starts = nullptr;
    int startCount = 0, startCapacity = 0;
    // Rows reached at the last update: [reachedFirst, reachedEnd).
    int reachedFirst = 0, reachedEnd = 0;
    float last = -1.0f; // the last update's time; row 0 at 0.0 is reached by the first
};

noteSync_t noteState;

bool grow(void** items, int* capacity, int count, size_t size)
{
    if (count < *capacity)
        return true;
    int larger = *capacity ? *capacity * 2 : 256;
    void* grown = realloc(*items, size * size_t(larger));
    if (!grown)
        return false;
    *items = grown;
    *capacity = larger;
    return true;
}

// The row's note starts, each channel's instrument carried on from its
// last note as the tracker does.
bool addRow(openmpt_module* module, double start, int* lastInstrument, int channels)
{
    if (!grow(reinterpret_cast<void**>(&noteState.rows), &noteState.rowCapacity, noteState.rowCount, sizeof(noteRow_t)))
        return false;
    int pattern = openmpt_module_get_current_pattern(module);
    int row = openmpt_module_get_current_row(module);
    noteRow_t* r = &noteState.rows[noteState.rowCount++];
    *r = noteRow_t{start, openmpt_module_get_current_order(module), row, noteState.startCount, 0};
    for (int c = 0; c < channels; c++) {
        int note = openmpt_module_get_pattern_row_channel_command(module, pattern, row, c, OPENMPT_MODULE_COMMAND_NOTE);
        int instrument =
            openmpt_module_get_pattern_row_channel_command(module, pattern, row, c, OPENMPT_MODULE_COMMAND_INSTRUMENT);
        if (instrument)
            lastInstrument[c] = instrument;
        if (note < FIRST_NOTE || note > LAST_NOTE)
            continue;
        if (!grow(reinterpret_cast<void**>(&noteState.starts), &noteState.startCapacity, noteState.startCount,
                  sizeof(noteStart_t)))
            return false;
        noteState.starts[noteState.startCount++] = noteStart_t{c, lastInstrument[c]};
        r->notes++;
    }
    return true;
}

// Plays the module through without its samples (nothing to mix, so this is
// quick) at the device rate, noting where each row of the play order starts.
bool learnRows(openmpt_module* module)
{
    openmpt_module_set_repeat_count(module, 0);
    int channels = openmpt_module_get_num_channels(module);
    int* lastInstrument = static_cast<int*>(calloc(size_t(channels > 0 ? channels : 1), sizeof(int)));
    if (!lastInstrument)
        return false;
    float scratch[SCAN_FRAMES];
    uint64_t rendered = 0;
    int order = -1, row = -1;
    bool ok = true;
    while (ok && noteState.rowCount < MOST_ROWS) {
        size_t got = openmpt_module_read_float_mono(module, AUDIO_RATE, SCAN_FRAMES, scratch);
        if (got == 0)
            break;
        int o = openmpt_module_get_current_order(module), r = openmpt_module_get_current_row(module);
        // The row began within the frames just rendered; their start is its time.
        if (o != order || r != row)
            ok = addRow(module, double(rendered) / AUDIO_RATE, lastInstrument, channels);
        order = o;
        row = r;
        rendered += got;
    }
    free(lastInstrument);
    return ok;
}

// The first row that starts after `seconds`.
int rowAfter(float seconds)
{
    int low = 0, high = noteState.rowCount;
    while (low < high) {
        int middle = (low + high) / 2;
        if (noteState.rows[middle].start <= double(seconds))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

template <typename Match> int reachedNote(Match match)
{
    for (int i = noteState.reachedFirst; i < noteState.reachedEnd; i++)
        for (int n = 0; n < noteState.rows[i].notes; n++)
            if (match(noteState.starts[noteState.rows[i].firstNote + n]))
                return 1;
    return 0;
}

} // namespace

int noteSyncLoad(const char* path)
{
    size_t size = 0;
    char* bytes = ioReadFileWithSize(path, &size);
    int loaded = bytes ? noteSyncLoadMemory(bytes, size) : 0;
    free(bytes);
    if (!loaded)
        noteSyncUnload();
    return loaded;
}

int noteSyncLoadMemory(const void* data, size_t size)
{
    noteSyncUnload();
    static const openmpt_module_initial_ctl skip[] = {
        {"load.skip_samples", "1"}, {"load.skip_plugins", "1"}, {nullptr, nullptr}};
    openmpt_module* module = openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent, nullptr,
                                                                 nullptr, nullptr, nullptr, nullptr, skip);
    if (!module)
        return 0;
    bool learnt = learnRows(module);
    openmpt_module_destroy(module);
    if (!learnt)
        noteSyncUnload();
    return learnt ? 1 : 0;
}

void noteSyncUnload(void)
{
    free(noteState.rows);
    free(noteState.starts);
    noteState = noteSync_t();
}

void noteSyncUpdate(float seconds)
{
    int end = rowAfter(seconds);
    bool seek = noteState.last < 0 ? seconds > NOTE_SYNC_SEEK
                                   : seconds < noteState.last || seconds - noteState.last > NOTE_SYNC_SEEK;
    noteState.reachedFirst = seek ? end : rowAfter(noteState.last);
    noteState.reachedEnd = end;
    noteState.last = seconds;
}

int noteSyncChannel(int channel)
{
    return reachedNote([channel](const noteStart_t& s) { return s.channel == channel; });
}

int noteSyncInstrument(int instrument)
{
    return reachedNote([instrument](const noteStart_t& s) { return s.instrument == instrument; });
}

int noteSyncPosition(int* order, int* row)
{
    int latest = rowAfter(noteState.last) - 1;
    if (latest < 0 || noteState.last < 0) {
        *order = *row = -1;
        return 0;
    }
    *order = noteState.rows[latest].order;
    *row = noteState.rows[latest].row;
    return 1;
}

namespace {

double rowLength(int i)
{
    if (i + 1 < noteState.rowCount)
        return noteState.rows[i + 1].start - noteState.rows[i].start;
    return i > 0 ? noteState.rows[i].start - noteState.rows[i - 1].start : NOTE_SYNC_PLAIN_ROW;
}

} // namespace

double noteSyncRowAt(float seconds)
{
    int i = rowAfter(seconds) - 1;
    if (noteState.rowCount == 0 || i < 0)
        return seconds > 0 ? seconds / NOTE_SYNC_PLAIN_ROW : 0.0;
    return i + (double(seconds) - noteState.rows[i].start) / rowLength(i);
}

float noteSyncRowStart(int row)
{
    if (row <= 0)
        return 0.0f;
    if (noteState.rowCount == 0)
        return float(row * NOTE_SYNC_PLAIN_ROW);
    int last = noteState.rowCount - 1;
    if (row <= last)
        return float(noteState.rows[row].start);
    return float(noteState.rows[last].start + (row - last) * rowLength(last));
}

int noteSyncPatternStart(float seconds, int step, float* start)
{
    if (noteState.rowCount == 0)
        return 0;
    // Back to the first row of the entry playing, then entry by entry; an
    // entry begins where the order changes (a jump back to the same order
    // begins one too, at its row 0 or wherever the jump lands).
    auto entryStart = [](int i) {
        while (i > 0 && noteState.rows[i - 1].order == noteState.rows[i].order &&
               noteState.rows[i - 1].row < noteState.rows[i].row)
            i--;
        return i;
    };
    int i = entryStart(std::max(0, rowAfter(seconds) - 1));
    for (; step < 0 && i > 0; step++)
        i = entryStart(i - 1);
    for (; step > 0; step--) {
        int next = i + 1;
        while (next < noteState.rowCount && noteState.rows[next].order == noteState.rows[next - 1].order &&
               noteState.rows[next].row > noteState.rows[next - 1].row)
            next++;
        if (next >= noteState.rowCount)
            break;
        i = next;
    }
    *start = float(noteState.rows[i].start);
    return 1;
}
