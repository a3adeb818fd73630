#include "system/ui/window/textFold.h"

#include <cstdint>
#include <cstring>

namespace {

const uint32_t NOT_A_CHARACTER = 0xFFFFFFFF;

// U+00A0..U+00FF; "" drops the character. Signs a title may carry keep a
// plain spelling; the rest (currency, accents on their own) go.
const char* const LATIN_1[] = {
    " ",  "!",  "",   "",   "",   "",   "|",  "",   "",   "(c)", "a",  "<<", "",   "",   "(R)", "",
    "",   "",   "2",  "3",  "'",  "u",  "",   ".",  "",   "1",   "o",  ">>", "1/4", "1/2", "3/4", "?",
    "A",  "A",  "A",  "A",  "A",  "A",  "AE", "C",  "E",  "E",   "E",  "E",  "I",  "I",  "I",  "I",
    "D",  "N",  "O",  "O",  "O",  "O",  "O",  "x",  "O",  "U",   "U",  "U",  "U",  "Y",  "TH", "ss",
    "a",  "a",  "a",  "a",  "a",  "a",  "ae", "c",  "e",  "e",   "e",  "e",  "i",  "i",  "i",  "i",
    "d",  "n",  "o",  "o",  "o",  "o",  "o",  "/",  "o",  "u",   "u",  "u",  "u",  "y",  "th", "y",
};

// U+0100..U+017F, mostly capital and small letter in turn.
const char* const LATIN_EXTENDED_A[] = {
    "A", "a", "A", "a", "A", "a", "C", "c", "C", "c", "C", "c", "C",  "c",  "D", "d",
    "D", "d", "E", "e", "E", "e", "E", "e", "E", "e", "E", "e", "G",  "g",  "G", "g",
    "G", "g", "G", "g", "H", "h", "H", "h", "I", "i", "I", "i", "I",  "i",  "I", "i",
    "I", "i", "IJ", "ij", "J", "j", "K", "k", "k", "L", "l", "L", "l", "L",  "l",  "L",
    "l", "L", "l", "N", "n", "N", "n", "N", "n", "'n", "N", "n", "O", "o",  "O",  "o",
    "O", "o", "OE", "oe", "R", "r", "R", "r", "R", "r", "S", "s", "S", "s", "S",  "s",
    "S", "s", "T", "t", "T", "t", "T", "t", "U", "u", "U", "u", "U",  "u",  "U", "u",
    "U", "u", "U", "u", "W", "w", "Y", "y", "Y", "Z", "z", "Z", "z",  "Z",  "z", "s",
};

static_assert(sizeof LATIN_1 / sizeof LATIN_1[0] == 0x100 - 0xA0, "one entry a code point");
static_assert(sizeof LATIN_EXTENDED_A / sizeof LATIN_EXTENDED_A[0] == 0x80, "one entry a code point");

struct fold_t {
    uint32_t code;
    const char* ascii;
};

// Letters beyond the two blocks that titles in Latin script still use, and
// the punctuation that word processors and tag editors put in.
const fold_t OTHERS[] = {
    {0x0218, "S"},  {0x0219, "s"},   {0x021A, "T"},   {0x021B, "t"},  {0x2010, "-"},
    {0x2011, "-"},  {0x2012, "-"},   {0x2013, "-"},   {0x2014, "-"},  {0x2015, "-"},
    {0x2018, "'"},  {0x2019, "'"},   {0x201A, "'"},   {0x201B, "'"},  {0x201C, "\""},
    {0x201D, "\""}, {0x201E, "\""},  {0x201F, "\""},  {0x2022, "*"},  {0x2026, "..."},
    {0x2032, "'"},  {0x2033, "\""},  {0x2039, "<"},   {0x203A, ">"},  {0x2122, "TM"},
    {0x2212, "-"},  {0x2002, " "},   {0x2003, " "},   {0x2009, " "},  {0x202F, " "},
};

// One code point from a UTF-8 sequence; NOT_A_CHARACTER for a broken,
// overlong or surrogate sequence, of which exactly one byte is consumed.
uint32_t decode(const unsigned char** at)
{
    const unsigned char* s = *at;
    int extra = s[0] < 0x80 ? 0 : s[0] < 0xC2 ? -1 : s[0] < 0xE0 ? 1 : s[0] < 0xF0 ? 2 : s[0] < 0xF5 ? 3 : -1;
    *at = s + 1;
    if (extra < 0)
        return NOT_A_CHARACTER;
    uint32_t code = extra == 0 ? s[0] : s[0] & (0x3F >> extra);
    for (int i = 1; i <= extra; i++) {
        if ((s[i] & 0xC0) != 0x80) // also stops at the terminating NUL
            return NOT_A_CHARACTER;
        code = code << 6 | (s[i] & 0x3F);
    }
    static const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return NOT_A_CHARACTER;
    *at = s + 1 + extra;
    return code;
}

// Not for the drawable ASCII codes, which stay as they are.
const char* fold(uint32_t code)
{
    if (code >= 0xA0 && code <= 0xFF)
        return LATIN_1[code - 0xA0];
    if (code >= 0x100 && code <= 0x17F)
        return LATIN_EXTENDED_A[code - 0x100];
    for (const fold_t& f : OTHERS)
        if (f.code == code)
            return f.ascii;
    return "";
}

} // namespace

size_t textFoldToAscii(const char* utf8, char* out, size_t outSize)
{
    if (outSize == 0)
        return 0;
    size_t length = 0;
    const unsigned char* at = reinterpret_cast<const unsigned char*>(utf8 ? utf8 : "");
    while (*at) {
        uint32_t code = decode(&at);
        char plain[2] = {char(code), 0};
        const char* ascii = code >= 32 && code <= 126 ? plain : fold(code);
        size_t n = strlen(ascii);
        if (length + n >= outSize)
            break;
        memcpy(out + length, ascii, n);
        length += n;
    }
    out[length] = 0;
    return length;
}
