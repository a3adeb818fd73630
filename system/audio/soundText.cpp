#include "system/audio/soundText.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

// Length of the UTF-8 sequence at `s`, 0 when it is malformed.
int sequenceLength(const unsigned char* s)
{
    if (s[0] < 0x80)
        return 1;
    int length = s[0] >= 0xF0 ? 4 : s[0] >= 0xE0 ? 3 : s[0] >= 0xC0 ? 2 : 0;
    if (length == 0 || s[0] > 0xF4)
        return 0;
    uint32_t code = s[0] & (0x7F >> length);
    for (int i = 1; i < length; i++) {
        if ((s[i] & 0xC0) != 0x80)
            return 0; // also stops at the terminator
        code = (code << 6) | (s[i] & 0x3F);
    }
    static const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

int isDriveLetterPath(const char* s)
{
    return isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' && (s[2] == '/' || s[2] == '\\');
}

// Length of "scheme://" at the start of `s`, 0 when there is none. A single
// letter before the colon is a drive, not a scheme.
size_t uriSchemeLength(const char* s)
{
    size_t i = 0;
    if (!isalpha(static_cast<unsigned char>(s[0])))
        return 0;
    while (isalnum(static_cast<unsigned char>(s[i])) || s[i] == '+' || s[i] == '-' || s[i] == '.')
        i++;
    if (i < 2 || strncmp(s + i, "://", 3) != 0)
        return 0;
    return i + 3;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Decodes %XX escapes; a malformed escape, or one that would make a zero
// byte and so cut the path, stays as written.
void percentDecode(const char* in, char* out, size_t outSize)
{
    size_t o = 0;
    for (size_t i = 0; in[i] && o + 1 < outSize; i++) {
        int high = in[i] == '%' ? hexValue(in[i + 1]) : -1;
        int low = high >= 0 ? hexValue(in[i + 2]) : -1;
        if (low >= 0 && (high | low) != 0) {
            out[o++] = char(high * 16 + low);
            i += 2;
        } else {
            out[o++] = in[i];
        }
    }
    out[o] = 0;
}

// file:///music/a.ogg and file://localhost/music/a.ogg name /music/a.ogg;
// file:///C:/music/a.ogg names C:/music/a.ogg; file://server/share/a.ogg
// names the network path //server/share/a.ogg.
void fileUriToPath(const char* rest, char* out, size_t outSize)
{
    char path[4096];
    if (strncasecmp(rest, "localhost/", 10) == 0)
        rest += 9;
    if (rest[0] == '/')
        snprintf(path, sizeof path, "%s", rest);
    else
        snprintf(path, sizeof path, "//%s", rest);
    const char* start = path;
    if (path[0] == '/' && isDriveLetterPath(path + 1))
        start++;
    percentDecode(start, out, outSize);
}

} // namespace

int soundTextIsUtf8(const char* text)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    while (*s) {
        int length = sequenceLength(s);
        if (!length)
            return 0;
        s += length;
    }
    return 1;
}

void soundTextLatin1ToUtf8(const char* text, char* out, size_t outSize)
{
    if (!outSize)
        return;
    size_t o = 0;
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(text); *s; s++) {
        size_t need = *s < 0x80 ? 1 : 2;
        if (o + need >= outSize)
            break;
        if (need == 1) {
            out[o++] = char(*s);
        } else {
            out[o++] = char(0xC0 | (*s >> 6));
            out[o++] = char(0x80 | (*s & 0x3F));
        }
    }
    out[o] = 0;
}

void soundTextToUtf8(const char* text, char* out, size_t outSize)
{
    if (soundTextIsUtf8(text))
        snprintf(out, outSize, "%s", text);
    else
        soundTextLatin1ToUtf8(text, out, outSize);
}

void soundTextTitleFromFile(const char* path, char* out, size_t outSize)
{
    const char* name = path;
    for (const char* c = path; *c; c++)
        if ((*c == '/' || *c == '\\') && c[1])
            name = c + 1;
    size_t length = strcspn(name, "/\\");
    const char* dot = nullptr;
    for (const char* c = name + 1; c < name + length; c++)
        if (*c == '.')
            dot = c; // a leading dot is a hidden file's name, not its extension
    if (dot)
        length = size_t(dot - name);
    char bare[4096];
    snprintf(bare, sizeof bare, "%.*s", int(length < sizeof bare ? length : sizeof bare - 1), name);
    soundTextToUtf8(bare, out, outSize);
}

void soundTextFolderOf(const char* path, char* out, size_t outSize)
{
    size_t end = strlen(path);
    while (end > 0 && path[end - 1] != '/' && path[end - 1] != '\\')
        end--;
    snprintf(out, outSize, "%.*s", int(end < outSize ? end : outSize - 1), path);
}

void soundTextResolveFile(const char* prefix, const char* value, char* out, size_t outSize)
{
    size_t scheme = uriSchemeLength(value);
    if (scheme == 7 && strncasecmp(value, "file://", 7) == 0)
        fileUriToPath(value + 7, out, outSize);
    else if (scheme || value[0] == '/' || value[0] == '\\' || isDriveLetterPath(value))
        snprintf(out, outSize, "%s", value);
    else
        snprintf(out, outSize, "%s%s", prefix, value);
}
