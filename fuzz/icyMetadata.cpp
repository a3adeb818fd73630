// The ICY metadata splitter and title reader on arbitrary bytes read in
// arbitrary pieces: the first byte chooses the interval, the second the
// size of the reads. Nothing may be lost or made up: the music bytes and
// the blocks (with their length bytes and padding) add up to the input,
// and no block is longer than one length byte allows.

#include "system/audio/streamProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct tally_t {
    size_t music;
    size_t titles;
};

void music(void* context, const unsigned char*, size_t size)
{
    static_cast<tally_t*>(context)->music += size;
}

void block(void* context, const char* text, size_t size)
{
    if (size > STREAM_META_MOST || strlen(text) != size)
        abort();
    char title[64] = ""; // small, so that long titles are cut
    static_cast<tally_t*>(context)->titles += size_t(streamIcyWellFormed(text, size) &&
                                                     streamIcyTitle(text, size, title, sizeof title));
    if (strlen(title) >= sizeof title)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static streamIcy_t icy; // 4 kB: kept off the stack
    size_t metaint = data[0] % 64; // 0: no metadata at all
    size_t piece = size_t(data[1]) + 1;
    data += 2;
    size -= 2;
    streamIcyInit(&icy, metaint);
    tally_t tally = {0, 0};
    for (size_t at = 0; at < size; at += piece)
        streamIcyTake(&icy, data + at, size - at < piece ? size - at : piece, music, block, &tally);
    if (tally.music > size || (!metaint && tally.music != size))
        abort();
    return 0;
}
