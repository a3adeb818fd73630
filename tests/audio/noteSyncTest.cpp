// Note sync against a module made here, whose play order is known by hand:
// a pattern break skips the rest of order 0, a pattern jump the rest of
// order 1 and all of order 2. Rows last 0.12 s (speed 6, 125 BPM).
// Each note must be reported in exactly the first frame at or after its
// row's start, whatever the frame rate; notes on rows never played (all of
// instrument 3) never.

#include "system/audio/noteSync.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

const double ROW = 0.12;

struct note_t {
    int order, pattern, row, channel, instrument;
    double played; // the row's start in the play order; < 0: never played
};

// Instrument 0 on a note: the channel's last instrument carries on.
const note_t NOTES[] = {
    {0, 0, 0, 0, 1, 0 * ROW},  {0, 0, 2, 2, 2, 2 * ROW},   {0, 0, 4, 1, 2, 4 * ROW},
    {0, 0, 6, 2, 0, 6 * ROW},   {0, 0, 20, 0, 3, -1},       {1, 1, 5, 0, 1, 14 * ROW},
    {1, 1, 10, 3, 1, 19 * ROW}, {1, 1, 12, 0, 2, 21 * ROW}, {1, 1, 20, 0, 3, -1},
    {2, 2, 0, 1, 3, -1},        {3, 3, 0, 1, 1, 24 * ROW},  {3, 3, 1, 1, 1, 25 * ROW},
    {3, 3, 3, 2, 2, 27 * ROW},
};

void putCell(std::vector<uint8_t>& m, size_t at, int instrument, int period, int effect, int parameter)
{
    m[at] = uint8_t((instrument & 0xF0) | (period >> 8));
    m[at + 1] = uint8_t(period & 0xFF);
    m[at + 2] = uint8_t(((instrument & 0x0F) << 4) | effect);
    m[at + 3] = uint8_t(parameter);
}

// A four-channel M.K. module of four patterns played in order 0 to 3.
std::vector<uint8_t> makeModule(void)
{
    const size_t patterns = 1084, patternSize = 64 * 4 * 4;
    std::vector<uint8_t> m(patterns + 4 * patternSize + 96, 0);
    for (int s = 0; s < 3; s++) {
        m[20 + 30 * s + 23] = 16; // 16 words long
        m[20 + 30 * s + 25] = 64; // volume
        m[20 + 30 * s + 29] = 1;  // no loop
    }
    m[950] = 4;   // orders
    m[951] = 127;
    for (int o = 0; o < 4; o++)
        m[952 + o] = uint8_t(o);
    m[1080] = 'M', m[1081] = '.', m[1082] = 'K', m[1083] = '.';
    auto cell = [&](int pattern, int row, int channel) { return patterns + pattern * patternSize + (row * 4 + channel) * 4; };
    for (const note_t& n : NOTES)
        putCell(m, cell(n.pattern, n.row, n.channel), n.instrument, 428, 0, 0);
    putCell(m, cell(0, 8, 3), 0, 0, 0xD, 0); // break to the next order
    putCell(m, cell(1, 14, 3), 0, 0, 0xB, 3);   // jump to order 3
    for (size_t i = m.size() - 96; i < m.size(); i++)
        m[i] = uint8_t(i * 37);
    return m;
}

// Frame times of a run at `step` seconds a frame through the module's reached rows.
void expectEachNoteOnce(double step)
{
    SCOPED_TRACE(step);
    int frames = int(29 * ROW / step) + 2;
    for (int k = 0; k < frames; k++) {
        float t = float(k * step);
        noteSyncUpdate(t);
        for (int channel = 0; channel < 4; channel++) {
            bool due = false;
            for (const note_t& n : NOTES)
                due |= n.played >= 0 && n.channel == channel && int(ceil(n.played / step - 1e-9)) == k;
            EXPECT_EQ(noteSyncChannel(channel), due ? 1 : 0) << "channel " << channel << " at " << t;
        }
        for (int instrument = 1; instrument <= 3; instrument++) {
            bool due = false;
            for (const note_t& n : NOTES) {
                int carried = n.instrument ? n.instrument : 2; // the 0 follows channel 2's instrument 2
                due |= n.played >= 0 && carried == instrument && int(ceil(n.played / step - 1e-9)) == k;
            }
            EXPECT_EQ(noteSyncInstrument(instrument), due ? 1 : 0) << "instrument " << instrument << " at " << t;
        }
    }
}

TEST(NoteSync, ReportsEachReachedNoteOnceOnItsRowAcrossBreaksJumpsAndSkippedRows)
{
    std::vector<uint8_t> module = makeModule();
    ASSERT_EQ(noteSyncLoadMemory(module.data(), module.size()), 1);
    // A frame shorter than a row, and one longer, which passes rows between frames.
    for (double step : {1.0 / 64, 0.17}) {
        noteSyncUpdate(-1.0f); // back before the start: a seek, nothing reported
        EXPECT_EQ(noteSyncChannel(0), 0);
        expectEachNoteOnce(step);
    }
    int order = -1, row = -1;
    noteSyncUpdate(float(9.5 * ROW));
    ASSERT_TRUE(noteSyncPosition(&order, &row));
    EXPECT_EQ(order * 100 + row, 100) << "order 1 follows the break";
    // A seek forward passes rows over without reporting them.
    noteSyncUpdate(float(25.5 * ROW));
    EXPECT_EQ(noteSyncChannel(1) + noteSyncChannel(3) + noteSyncChannel(0), 0);
    ASSERT_TRUE(noteSyncPosition(&order, &row));
    EXPECT_EQ(order * 100 + row, 301) << "the jump skips order 2";
    // A sync editor's rows count along the play order, and a pattern key
    // goes by entries of it, across the break and the jump alike.
    EXPECT_NEAR(noteSyncRowAt(float(9.5 * ROW)), 9.5, 0.01); // row starts are learnt to within 0.7 ms
    EXPECT_NEAR(noteSyncRowStart(24), 24 * ROW, 1e-3);
    float start = -1;
    const double entryStarts[] = {0, 9 * ROW, 24 * ROW}; // the entries before, at and after row 10
    for (int step = -1; step <= 1; step++) {
        ASSERT_TRUE(noteSyncPatternStart(float(10 * ROW), step, &start));
        EXPECT_NEAR(start, entryStarts[step + 1], 1e-3) << step;
    }
    noteSyncUnload();
    EXPECT_EQ(noteSyncLoadMemory("not a module", 12), 0);
    noteSyncUpdate(0.0f);
    EXPECT_EQ(noteSyncInstrument(1), 0);
}

} // namespace
