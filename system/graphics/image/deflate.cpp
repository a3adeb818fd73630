// A deflate compressor for filtered image rows that looks for repeats at two
// distances only: one pixel back and one row back. After the Sub filter a
// flat area is a run of zeros and a smooth gradient repeats its pixel, so
// those two cover nearly all that a general compressor's fastest level finds,
// without its hash tables. Each block of about 128 kB gets Huffman codes of
// its own, counted from the block itself; a block that would not shrink is
// stored as it is.

#include "system/graphics/image/deflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const size_t BLOCK_BYTES = size_t(1) << 17;
const size_t MAX_MATCH = 258, MIN_MATCH = 3;
const size_t MAX_DISTANCE = 32768;
const size_t STORED_MAX = 65535; // the most bytes one stored block holds
const unsigned LITLEN_SYMBOLS = 286, DIST_SYMBOLS = 30, CODELEN_SYMBOLS = 19;
const unsigned END_OF_BLOCK = 256;
const unsigned MAX_CODE_BITS = 15, MAX_CODELEN_BITS = 7;

// The order the code-length code's own lengths are sent in.
constexpr uint8_t CODELEN_ORDER[CODELEN_SYMBOLS] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
// The repeat count's bits after code-length symbols 16, 17 and 18.
constexpr unsigned CODELEN_EXTRA[CODELEN_SYMBOLS] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
constexpr uint16_t LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t DIST_BASE[DIST_SYMBOLS] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                          33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                          1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DIST_EXTRA[DIST_SYMBOLS] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                          6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// A symbol and the extra bits after it.
struct symbolOf_t {
    uint16_t symbol;
    uint8_t extraBits;
    uint16_t extra;
};

// A run of literals and the repeat that follows it (length 0: none).
struct token_t {
    uint32_t literals;
    uint16_t length;
    uint8_t rowBack; // 1: a row back, 0: a pixel back
};

// Where the codes go, least significant bit first.
struct bitWriter_t {
    unsigned char* out;
    uint64_t bits;
    unsigned count;
};

// One block's codes: the lengths decide them and the size it will take.
struct blockCodes_t {
    uint32_t litFreq[LITLEN_SYMBOLS], distFreq[DIST_SYMBOLS], codelenFreq[CODELEN_SYMBOLS];
    uint8_t litLen[LITLEN_SYMBOLS], distLen[DIST_SYMBOLS], codelenLen[CODELEN_SYMBOLS];
    uint16_t litCode[LITLEN_SYMBOLS], distCode[DIST_SYMBOLS], codelenCode[CODELEN_SYMBOLS];
    // The literal/length and distance lengths, run-length coded: a code-length
    // symbol a byte, each 16, 17 or 18 followed by its repeat count.
    uint8_t header[2 * (LITLEN_SYMBOLS + DIST_SYMBOLS)];
    unsigned headerSize, litCount, distCount, codelenCount;
    uint64_t extraBits; // the length and distance extra bits of the matches
};

// A block's tokens, kept by each saving thread as the PNG buffers are.
thread_local std::vector<token_t> blockTokens;

constexpr std::array<symbolOf_t, MAX_MATCH + 1> lengthSymbols()
{
    std::array<symbolOf_t, MAX_MATCH + 1> table{};
    for (unsigned i = 0; i < 29; i++)
        for (unsigned length = LENGTH_BASE[i]; length < LENGTH_BASE[i] + (1u << LENGTH_EXTRA[i]) && length <= MAX_MATCH;
             length++)
            table[length] = {uint16_t(257 + i), LENGTH_EXTRA[i], uint16_t(length - LENGTH_BASE[i])};
    // 258 has a symbol of its own, not 284 with all extra bits set.
    table[MAX_MATCH] = {285, 0, 0};
    return table;
}

// A repeat length's symbol and extra bits.
constexpr std::array<symbolOf_t, MAX_MATCH + 1> lengthSymbol = lengthSymbols();

symbolOf_t distanceSymbol(size_t distance)
{
    unsigned i = DIST_SYMBOLS - 1;
    while (DIST_BASE[i] > distance)
        i--;
    return {uint16_t(i), DIST_EXTRA[i], uint16_t(distance - DIST_BASE[i])};
}

uint64_t load64(const unsigned char* at)
{
    uint64_t v;
    memcpy(&v, at, 8);
    return v;
}

// How far `a` repeats `b`, given the first three bytes do, up to `limit`.
size_t matchLength(const unsigned char* a, const unsigned char* b, size_t limit)
{
    size_t n = MIN_MATCH;
    for (; n + 8 <= limit; n += 8) {
        uint64_t differ = load64(a + n) ^ load64(b + n);
        if (differ)
            return n + size_t(__builtin_ctzll(differ)) / 8;
    }
    while (n < limit && a[n] == b[n])
        n++;
    return n;
}

// Bit 8k + 7 is set where bytes k, k + 1 and k + 2 of the two words agree,
// for k up to 5: six places tried at once.
uint64_t threeAlike(uint64_t a, uint64_t b)
{
    const uint64_t LOW7 = 0x7f7f7f7f7f7f7f7full;
    uint64_t x = a ^ b;
    uint64_t zero = ~(((x & LOW7) + LOW7) | x | LOW7); // 0x80 in each byte that agrees
    return zero & (zero >> 8) & (zero >> 16);
}

// Literals are counted into four tables in turn: a run of one value would
// otherwise wait on each increment before the next.
struct literalCounts_t {
    uint32_t table[4][256];
};

void countLiterals(const unsigned char* from, const unsigned char* to, literalCounts_t* counts)
{
    for (; from + 4 <= to; from += 4) {
        counts->table[0][from[0]]++;
        counts->table[1][from[1]]++;
        counts->table[2][from[2]]++;
        counts->table[3][from[3]]++;
    }
    for (; from < to; from++)
        counts->table[0][*from]++;
}

// Splits rows[begin, end) into literal runs and repeats, greedily and a pixel
// back first, counting the symbols. Repeats may reach back before `begin`.
size_t parseBlock(const unsigned char* rows, size_t begin, size_t end, const size_t distance[2],
                  const symbolOf_t distSym[2], token_t* tokens, blockCodes_t* codes)
{
    size_t count = 0, p = begin, literalStart = begin;
    literalCounts_t literals = {};
    while (p + MIN_MATCH <= end) {
        uint64_t here = load64(rows + p);
        uint64_t pixel = p >= distance[0] ? threeAlike(here, load64(rows + p - distance[0])) : 0;
        uint64_t row = distance[1] && p >= distance[1] ? threeAlike(here, load64(rows + p - distance[1])) : 0;
        uint64_t any = pixel | row;
        size_t starts = end - p - MIN_MATCH + 1; // places where a repeat fits in the block
        if (starts < 6)
            any &= (uint64_t(1) << (8 * starts)) - 1;
        if (!any) {
            p += 6;
            continue;
        }
        unsigned k = unsigned(__builtin_ctzll(any)) / 8;
        p += k;
        int which = (pixel >> (8 * k)) & 0x80 ? 0 : 1;
        size_t length = matchLength(rows + p, rows + p - distance[which], std::min(MAX_MATCH, end - p));
        countLiterals(rows + literalStart, rows + p, &literals);
        tokens[count++] = {uint32_t(p - literalStart), uint16_t(length), uint8_t(which)};
        codes->litFreq[lengthSymbol[length].symbol]++;
        codes->distFreq[distSym[which].symbol]++;
        codes->extraBits += lengthSymbol[length].extraBits + distSym[which].extraBits;
        p += length;
        literalStart = p;
    }
    countLiterals(rows + literalStart, rows + end, &literals);
    tokens[count++] = {uint32_t(end - literalStart), 0, 0};
    for (unsigned i = 0; i < 256; i++)
        codes->litFreq[i] += literals.table[0][i] + literals.table[1][i] + literals.table[2][i] + literals.table[3][i];
    return count;
}

// Huffman code lengths of one tree for the nonzero counts; gives the longest.
unsigned treeLengths(const uint32_t* freq, unsigned n, uint8_t* lengths)
{
    uint16_t symbol[LITLEN_SYMBOLS];
    uint32_t weight[2 * LITLEN_SYMBOLS];
    uint16_t parent[2 * LITLEN_SYMBOLS];
    uint8_t depth[2 * LITLEN_SYMBOLS];
    unsigned m = 0;
    for (unsigned i = 0; i < n; i++) {
        lengths[i] = 0;
        if (freq[i])
            symbol[m++] = uint16_t(i);
    }
    if (m == 1) {
        lengths[symbol[0]] = 1;
        return 1;
    }
    std::sort(symbol, symbol + m, [&](uint16_t a, uint16_t b) { return freq[a] != freq[b] ? freq[a] < freq[b] : a < b; });
    for (unsigned i = 0; i < m; i++)
        weight[i] = freq[symbol[i]];
    // Leaves in order of weight and joined nodes as they are made, also in
    // order of weight: the lightest of the two queues' heads is next.
    unsigned leaf = 0, joined = m, next = m;
    auto lightest = [&]() {
        if (leaf < m && (joined >= next || weight[leaf] <= weight[joined]))
            return leaf++;
        return joined++;
    };
    for (; next < 2 * m - 1; next++) {
        unsigned a = lightest(), b = lightest();
        weight[next] = weight[a] + weight[b];
        parent[a] = parent[b] = uint16_t(next);
    }
    unsigned longest = 0;
    depth[2 * m - 2] = 0;
    for (unsigned node = 2 * m - 2; node-- > 0;) {
        depth[node] = uint8_t(depth[parent[node]] + 1);
        if (node < m) {
            lengths[symbol[node]] = depth[node];
            longest = std::max<unsigned>(longest, depth[node]);
        }
    }
    return longest;
}

// Code lengths no longer than `limit`: counts are halved until the tree fits,
// which keeps every used symbol and costs a little size only on the rare
// block that needs it.
void limitedLengths(const uint32_t* freq, unsigned n, unsigned limit, uint8_t* lengths)
{
    uint32_t f[LITLEN_SYMBOLS];
    memcpy(f, freq, n * sizeof *f);
    while (treeLengths(f, n, lengths) > limit)
        for (unsigned i = 0; i < n; i++)
            f[i] = (f[i] + 1) / 2;
}

// Canonical codes from their lengths, bit-reversed for the writer.
void canonicalCodes(const uint8_t* lengths, unsigned n, uint16_t* codes)
{
    unsigned perLength[MAX_CODE_BITS + 1] = {0}, next[MAX_CODE_BITS + 1] = {0};
    for (unsigned i = 0; i < n; i++)
        perLength[lengths[i]]++;
    perLength[0] = 0;
    unsigned code = 0;
    for (unsigned bits = 1; bits <= MAX_CODE_BITS; bits++) {
        code = (code + perLength[bits - 1]) << 1;
        next[bits] = code;
    }
    for (unsigned i = 0; i < n; i++) {
        unsigned length = lengths[i], value = length ? next[length]++ : 0, reversed = 0;
        for (unsigned b = 0; b < length; b++)
            reversed |= ((value >> b) & 1u) << (length - 1 - b);
        codes[i] = uint16_t(reversed);
    }
}

// A tree needs two used symbols to be complete, which every decoder accepts.
void useTwoAtLeast(uint32_t* freq, unsigned n)
{
    unsigned used = 0;
    for (unsigned i = 0; i < n; i++)
        used += freq[i] != 0;
    for (unsigned i = 0; used < 2; i++)
        if (!freq[i]) {
            freq[i] = 1;
            used++;
        }
}

void pushRun(blockCodes_t* codes, uint8_t symbol, unsigned repeat)
{
    codes->header[codes->headerSize++] = symbol;
    if (symbol >= 16)
        codes->header[codes->headerSize++] = uint8_t(repeat);
    codes->codelenFreq[symbol]++;
}

// The lengths of both trees as one run-length coded list.
void codeTheLengths(blockCodes_t* codes)
{
    uint8_t all[LITLEN_SYMBOLS + DIST_SYMBOLS];
    unsigned n = codes->litCount + codes->distCount;
    memcpy(all, codes->litLen, codes->litCount);
    memcpy(all + codes->litCount, codes->distLen, codes->distCount);
    codes->headerSize = 0;
    for (unsigned i = 0; i < n;) {
        unsigned run = 1;
        while (i + run < n && all[i + run] == all[i])
            run++;
        i += run;
        if (all[i - 1] == 0) {
            for (; run >= 11; run -= std::min(run, 138u))
                pushRun(codes, 18, std::min(run, 138u) - 11);
            if (run >= 3) {
                pushRun(codes, 17, run - 3);
                run = 0;
            }
        } else {
            pushRun(codes, all[i - 1], 0);
            run--;
            for (; run >= 3; run -= std::min(run, 6u))
                pushRun(codes, 16, std::min(run, 6u) - 3);
        }
        for (; run > 0; run--)
            pushRun(codes, all[i - 1], 0);
    }
}

// Builds the block's codes from its counts; gives its size in bits.
uint64_t buildCodes(blockCodes_t* codes)
{
    codes->litFreq[END_OF_BLOCK] = 1;
    useTwoAtLeast(codes->litFreq, LITLEN_SYMBOLS);
    useTwoAtLeast(codes->distFreq, DIST_SYMBOLS);
    limitedLengths(codes->litFreq, LITLEN_SYMBOLS, MAX_CODE_BITS, codes->litLen);
    limitedLengths(codes->distFreq, DIST_SYMBOLS, MAX_CODE_BITS, codes->distLen);
    codes->litCount = LITLEN_SYMBOLS;
    while (codes->litCount > 257 && !codes->litLen[codes->litCount - 1])
        codes->litCount--;
    codes->distCount = DIST_SYMBOLS;
    while (codes->distCount > 1 && !codes->distLen[codes->distCount - 1])
        codes->distCount--;
    codeTheLengths(codes);
    useTwoAtLeast(codes->codelenFreq, CODELEN_SYMBOLS);
    limitedLengths(codes->codelenFreq, CODELEN_SYMBOLS, MAX_CODELEN_BITS, codes->codelenLen);
    codes->codelenCount = CODELEN_SYMBOLS;
    while (codes->codelenCount > 4 && !codes->codelenLen[CODELEN_ORDER[codes->codelenCount - 1]])
        codes->codelenCount--;
    canonicalCodes(codes->litLen, LITLEN_SYMBOLS, codes->litCode);
    canonicalCodes(codes->distLen, DIST_SYMBOLS, codes->distCode);
    canonicalCodes(codes->codelenLen, CODELEN_SYMBOLS, codes->codelenCode);

    uint64_t bits = 3 + 5 + 5 + 4 + 3 * codes->codelenCount + codes->extraBits;
    for (unsigned i = 0; i < CODELEN_SYMBOLS; i++)
        bits += uint64_t(codes->codelenFreq[i]) * (codes->codelenLen[i] + CODELEN_EXTRA[i]);
    for (unsigned i = 0; i < LITLEN_SYMBOLS; i++)
        bits += uint64_t(codes->litFreq[i]) * codes->litLen[i];
    for (unsigned i = 0; i < DIST_SYMBOLS; i++)
        bits += uint64_t(codes->distFreq[i]) * codes->distLen[i];
    return bits;
}

// Bits are gathered in a word and written eight bytes at a time, whole bytes
// counted: a put adds at most 56 bits between flushes. The output has room
// for the bytes a flush writes past the end.
// Inlined by force: a call for each literal costs more than the put itself.
inline __attribute__((always_inline)) void putBits(bitWriter_t* w, uint64_t value, unsigned n)
{
    w->bits |= value << w->count;
    w->count += n;
}

inline __attribute__((always_inline)) void flushBits(bitWriter_t* w)
{
    uint64_t bits = w->bits;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    uint64_t littleEndian = __builtin_bswap64(bits);
#else
    uint64_t littleEndian = bits;
#endif
    memcpy(w->out, &littleEndian, 8);
    unsigned bytes = w->count / 8;
    w->out += bytes;
    w->bits = bytes ? bits >> (8 * bytes) : bits;
    w->count %= 8;
}

void putAndFlush(bitWriter_t* w, uint64_t value, unsigned n)
{
    putBits(w, value, n);
    flushBits(w);
}

void alignToByte(bitWriter_t* w)
{
    putAndFlush(w, 0, (8 - w->count % 8) % 8);
}

void writeStored(bitWriter_t* w, const unsigned char* data, size_t size, bool last)
{
    do {
        size_t chunk = std::min(size, STORED_MAX);
        putAndFlush(w, last && chunk == size, 3); // and the type, 0: stored
        alignToByte(w);
        const unsigned char head[4] = {uint8_t(chunk), uint8_t(chunk >> 8), uint8_t(~chunk), uint8_t(~chunk >> 8)};
        memcpy(w->out, head, 4);
        memcpy(w->out + 4, data, chunk);
        w->out += 4 + chunk;
        data += chunk;
        size -= chunk;
    } while (size > 0);
}

void writeHeader(bitWriter_t* w, const blockCodes_t* codes, bool last)
{
    putBits(w, last, 1);
    putBits(w, 2, 2); // dynamic Huffman codes
    putBits(w, codes->litCount - 257, 5);
    putBits(w, codes->distCount - 1, 5);
    putAndFlush(w, codes->codelenCount - 4, 4);
    for (unsigned i = 0; i < codes->codelenCount; i++)
        putAndFlush(w, codes->codelenLen[CODELEN_ORDER[i]], 3);
    for (unsigned i = 0; i < codes->headerSize; i++) {
        unsigned symbol = codes->header[i];
        putBits(w, codes->codelenCode[symbol], codes->codelenLen[symbol]);
        if (symbol >= 16)
            putBits(w, codes->header[++i], CODELEN_EXTRA[symbol]);
        flushBits(w);
    }
}

// The literals and repeats. The writer is a local copy, so that its word
// stays in a register while the bytes go out.
void writeTokens(bitWriter_t* writer, const unsigned char* literals, const token_t* tokens, size_t count,
                 const blockCodes_t* codes, const symbolOf_t distSym[2])
{
    uint32_t lit[LITLEN_SYMBOLS]; // a literal's code, its length in the top half
    for (unsigned i = 0; i < LITLEN_SYMBOLS; i++)
        lit[i] = codes->litCode[i] | uint32_t(codes->litLen[i]) << 16;
    uint64_t distBits[2];
    unsigned distBitCount[2];
    for (int i = 0; i < 2; i++) {
        unsigned length = codes->distLen[distSym[i].symbol];
        distBits[i] = codes->distCode[distSym[i].symbol] | uint64_t(distSym[i].extra) << length;
        distBitCount[i] = length + distSym[i].extraBits;
    }
    bitWriter_t w = *writer;
    auto putLiteral = [&](unsigned char byte) { putBits(&w, lit[byte] & 0xffff, lit[byte] >> 16); };
    for (size_t t = 0; t < count; t++) {
        uint32_t n = tokens[t].literals;
        for (; n >= 3; n -= 3, literals += 3) { // 3 x 15 bits and 7 pending fit in 56
            putLiteral(literals[0]);
            putLiteral(literals[1]);
            putLiteral(literals[2]);
            flushBits(&w);
        }
        for (; n > 0; n--, literals++) {
            putLiteral(*literals);
            flushBits(&w);
        }
        unsigned length = tokens[t].length;
        if (!length)
            continue;
        symbolOf_t s = lengthSymbol[length];
        unsigned codeLength = lit[s.symbol] >> 16;
        putBits(&w, (lit[s.symbol] & 0xffff) | uint64_t(s.extra) << codeLength, codeLength + s.extraBits);
        putBits(&w, distBits[tokens[t].rowBack], distBitCount[tokens[t].rowBack]); // 20 + 28 + 7 fit
        flushBits(&w);
        literals += length;
    }
    putAndFlush(&w, lit[END_OF_BLOCK] & 0xffff, lit[END_OF_BLOCK] >> 16);
    *writer = w;
}

uint64_t storedBits(size_t size, unsigned pending)
{
    size_t chunks = std::max<size_t>(1, (size + STORED_MAX - 1) / STORED_MAX);
    // The first header may share a byte with what came before; the rest
    // start on whole bytes.
    return 3 + (8 - (pending + 3) % 8) % 8 + 32 + (chunks - 1) * 40 + uint64_t(size) * 8;
}

} // namespace

size_t imageDeflateBound(size_t size)
{
    size_t blocks = size / BLOCK_BYTES + 1;
    return 2 + 4 + size + (size / STORED_MAX + blocks) * 5 + 8 + 8; // and a flush's word
}

size_t imageDeflateRows(const unsigned char* rows, size_t size, size_t stride, unsigned pixelBytes,
                        unsigned char* out)
{
    const size_t distance[2] = {pixelBytes, stride <= MAX_DISTANCE && stride != pixelBytes ? stride : 0};
    const symbolOf_t distSym[2] = {distanceSymbol(distance[0]), distanceSymbol(distance[1] ? distance[1] : 1)};
    blockTokens.resize(BLOCK_BYTES / MIN_MATCH + 2); // a repeat takes three bytes at least
    blockCodes_t codes;
    bitWriter_t w = {out, 0, 0};
    putBits(&w, 0x78, 8); // deflate with a 32 kB window
    putAndFlush(&w, 0x01, 8); // fastest, and the header's check
    size_t begin = 0;
    do {
        size_t end = std::min(size, begin + BLOCK_BYTES);
        bool last = end == size;
        memset(&codes, 0, sizeof codes);
        size_t count = parseBlock(rows, begin, end, distance, distSym, blockTokens.data(), &codes);
        if (buildCodes(&codes) < storedBits(end - begin, w.count)) {
            writeHeader(&w, &codes, last);
            writeTokens(&w, rows + begin, blockTokens.data(), count, &codes, distSym);
        } else {
            writeStored(&w, rows + begin, end - begin, last);
        }
        begin = end;
    } while (begin < size);
    alignToByte(&w);
    putAndFlush(&w, __builtin_bswap32(libdeflate_adler32(1, rows, size)), 32); // most significant byte first
    return size_t(w.out - out);
}
