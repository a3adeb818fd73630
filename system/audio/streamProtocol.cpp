#include "system/audio/streamProtocol.h"

#include "system/audio/soundText.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

// Copies `size` bytes of `text` with blanks cut from both ends, at most
// `outSize` - 1 of them.
void copyTrimmed(const char* text, size_t size, char* out, size_t outSize)
{
    while (size && (*text == ' ' || *text == '\t')) {
        text++;
        size--;
    }
    while (size && (text[size - 1] == ' ' || text[size - 1] == '\t' || text[size - 1] == '\r' ||
                    text[size - 1] == '\n'))
        size--;
    if (size >= outSize)
        size = outSize - 1;
    memcpy(out, text, size);
    out[size] = 0;
}

// "HTTP/1.1 200 OK", "HTTP/2 200", "ICY 200 OK": the code, 0 when the line is none.
int statusCode(const char* line, size_t size, int* icy)
{
    size_t i = 0;
    if (size >= 5 && strncasecmp(line, "HTTP/", 5) == 0) {
        i = 5;
        while (i < size && line[i] != ' ')
            i++;
        *icy = 0;
    } else if (size >= 3 && strncasecmp(line, "ICY", 3) == 0) {
        i = 3;
        *icy = 1;
    } else {
        return 0;
    }
    while (i < size && line[i] == ' ')
        i++;
    if (i + 3 > size || !isdigit((unsigned char)line[i]) || !isdigit((unsigned char)line[i + 1]) ||
        !isdigit((unsigned char)line[i + 2]))
        return 0;
    return (line[i] - '0') * 100 + (line[i + 1] - '0') * 10 + (line[i + 2] - '0');
}

// A decimal count of bytes; 0 when it is no number or beyond the bound.
size_t metaintValue(const char* text)
{
    size_t value = 0;
    for (; *text == ' '; text++) {
    }
    if (!isdigit((unsigned char)*text))
        return 0;
    for (; isdigit((unsigned char)*text); text++) {
        value = value * 10 + size_t(*text - '0');
        if (value > STREAM_METAINT_MOST)
            return 0;
    }
    return *text ? 0 : value;
}

void takeField(streamHeaders_t* headers, const char* line, size_t size)
{
    const char* colon = static_cast<const char*>(memchr(line, ':', size));
    if (!colon)
        return; // a line that is no field says nothing we need
    size_t nameSize = size_t(colon - line);
    char value[STREAM_HEADER_TEXT];
    copyTrimmed(colon + 1, size - nameSize - 1, value, sizeof value);
    if (nameSize == 12 && strncasecmp(line, "content-type", 12) == 0) {
        value[strcspn(value, "; ")] = 0;
        for (char* c = value; *c; c++)
            *c = char(tolower((unsigned char)*c));
        snprintf(headers->contentType, sizeof headers->contentType, "%s", value);
    } else if (nameSize == 11 && strncasecmp(line, "icy-metaint", 11) == 0) {
        headers->metaint = metaintValue(value);
    } else if (nameSize == 8 && strncasecmp(line, "icy-name", 8) == 0) {
        soundTextToUtf8(value, headers->icyName, sizeof headers->icyName);
    }
}

int endsWith(const char* text, size_t size, const char* tail)
{
    size_t n = strlen(tail);
    return size >= n && strncasecmp(text + size - n, tail, n) == 0;
}

// The extension of the address's path, without query or fragment.
streamKind_t kindByExtension(const char* url, int* known)
{
    *known = 1;
    size_t size = strcspn(url, "?#");
    if (endsWith(url, size, ".pls"))
        return STREAM_LIST_PLS;
    if (endsWith(url, size, ".m3u") || endsWith(url, size, ".m3u8"))
        return STREAM_LIST_M3U;
    if (endsWith(url, size, ".mp3"))
        return STREAM_MP3;
    if (endsWith(url, size, ".ogg") || endsWith(url, size, ".oga") || endsWith(url, size, ".opus"))
        return STREAM_OGG;
    if (endsWith(url, size, ".flac"))
        return STREAM_FLAC;
    *known = 0;
    return STREAM_UNSUPPORTED;
}

streamKind_t kindByContent(const unsigned char* head, size_t size)
{
    if (size >= 4 && memcmp(head, "OggS", 4) == 0)
        return STREAM_OGG;
    if (size >= 4 && memcmp(head, "fLaC", 4) == 0)
        return STREAM_FLAC;
    if ((size >= 3 && memcmp(head, "ID3", 3) == 0) || (size >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0))
        return STREAM_MP3;
    size_t i = 0;
    while (i < size && (head[i] == ' ' || head[i] == '\r' || head[i] == '\n' || head[i] == '\t'))
        i++;
    if (size - i >= 10 && strncasecmp(reinterpret_cast<const char*>(head + i), "[playlist]", 10) == 0)
        return STREAM_LIST_PLS;
    if (size - i >= 7 && strncmp(reinterpret_cast<const char*>(head + i), "#EXTM3U", 7) == 0)
        return STREAM_LIST_M3U;
    return STREAM_UNSUPPORTED;
}

struct namedKind_t {
    const char* type;
    streamKind_t kind;
};

const namedKind_t NAMED_KINDS[] = {
    {"audio/mpeg", STREAM_MP3},           {"audio/mp3", STREAM_MP3},
    {"audio/mpeg3", STREAM_MP3},          {"audio/x-mpeg", STREAM_MP3},
    {"audio/mpa", STREAM_MP3},            {"application/ogg", STREAM_OGG},
    {"audio/ogg", STREAM_OGG},            {"audio/x-ogg", STREAM_OGG},
    {"audio/vorbis", STREAM_OGG},         {"audio/opus", STREAM_OGG},
    {"audio/flac", STREAM_FLAC},          {"audio/x-flac", STREAM_FLAC},
    {"audio/x-scpls", STREAM_LIST_PLS},   {"audio/x-mpegurl", STREAM_LIST_M3U},
    {"audio/mpegurl", STREAM_LIST_M3U},   {"application/pls+xml", STREAM_LIST_PLS},
};

// Types that tell nothing: the address and the bytes decide.
int isGeneric(const char* type)
{
    return !type[0] || strcmp(type, "application/octet-stream") == 0 || strcmp(type, "text/plain") == 0 ||
           strcmp(type, "binary/octet-stream") == 0;
}

} // namespace

void streamHeadersReset(streamHeaders_t* headers)
{
    memset(headers, 0, sizeof *headers);
}

streamHeaderResult_t streamHeaderLine(streamHeaders_t* headers, const char* line, size_t size)
{
    int icy = 0;
    int status = statusCode(line, size, &icy);
    if (status) {
        streamHeadersReset(headers);
        headers->status = status;
        headers->icy = icy;
    }
    headers->bytes += size;
    if (headers->bytes > STREAM_HEADER_MOST)
        return STREAM_HEADER_TOO_LARGE;
    if (!headers->status)
        return STREAM_HEADER_MALFORMED;
    if (status)
        return STREAM_HEADER_MORE;
    size_t content = size;
    while (content && (line[content - 1] == '\r' || line[content - 1] == '\n'))
        content--;
    if (!content) {
        headers->complete = 1;
        return STREAM_HEADER_DONE;
    }
    takeField(headers, line, content);
    return STREAM_HEADER_MORE;
}

void streamIcyInit(streamIcy_t* icy, size_t metaint)
{
    icy->metaint = metaint <= STREAM_METAINT_MOST ? metaint : 0;
    icy->audioLeft = icy->metaint;
    icy->inMeta = 0;
    icy->metaLength = 0;
    icy->metaGot = 0;
    icy->meta[0] = 0;
}

// The block is complete: its padding cut, it goes on when anything is left.
static void endBlock(streamIcy_t* icy, void (*meta)(void*, const char*, size_t), void* context)
{
    size_t size = icy->metaLength;
    icy->meta[size] = 0;
    size = strlen(icy->meta); // NUL padding, and anything a NUL hides
    if (size)
        meta(context, icy->meta, size);
    icy->inMeta = 0;
    icy->audioLeft = icy->metaint;
}

void streamIcyTake(streamIcy_t* icy, const unsigned char* data, size_t size,
                   void (*audio)(void* context, const unsigned char* data, size_t size),
                   void (*meta)(void* context, const char* block, size_t size), void* context)
{
    if (!icy->metaint) {
        if (size)
            audio(context, data, size);
        return;
    }
    while (size) {
        if (icy->inMeta) {
            size_t want = icy->metaLength - icy->metaGot;
            size_t n = size < want ? size : want;
            memcpy(icy->meta + icy->metaGot, data, n);
            icy->metaGot += n;
            data += n;
            size -= n;
            if (icy->metaGot == icy->metaLength)
                endBlock(icy, meta, context);
        } else if (icy->audioLeft) {
            size_t n = size < icy->audioLeft ? size : icy->audioLeft;
            audio(context, data, n);
            icy->audioLeft -= n;
            data += n;
            size -= n;
        } else {
            icy->metaLength = size_t(data[0]) * 16; // at most STREAM_META_MOST
            icy->metaGot = 0;
            icy->inMeta = 1;
            data++;
            size--;
            if (!icy->metaLength) // the usual case: nothing new
                endBlock(icy, meta, context);
        }
    }
}

int streamIcyWellFormed(const char* block, size_t size)
{
    size_t key = 0;
    while (key < size && isalnum((unsigned char)block[key]))
        key++;
    if (!key || key + 1 >= size || block[key] != '=' || block[key + 1] != '\'')
        return 0;
    for (size_t i = 0; i < size; i++)
        if (((unsigned char)block[i] < 0x20 && !strchr("\t\r\n", block[i])) || block[i] == 0x7F)
            return 0;
    return 1;
}

int streamIcyTitle(const char* block, size_t size, char* out, size_t outSize)
{
    static const char KEY[] = "StreamTitle='";
    const size_t keySize = sizeof KEY - 1;
    const char* end = block + size;
    const char* start = nullptr;
    for (const char* c = block; c + keySize <= end && !start; c++)
        if (strncmp(c, KEY, keySize) == 0)
            start = c + keySize;
    if (!start)
        return 0;
    // A title may hold apostrophes: the value ends at the first "';",
    // else at the last "'" of the block.
    const char* stop = nullptr;
    for (const char* c = start; c + 1 < end && !stop; c++)
        if (c[0] == '\'' && c[1] == ';')
            stop = c;
    for (const char* c = end; !stop && c > start; c--)
        if (c[-1] == '\'')
            stop = c - 1;
    if (!stop)
        stop = end;
    char raw[STREAM_META_MOST + 1];
    copyTrimmed(start, size_t(stop - start), raw, sizeof raw);
    raw[strlen(raw)] = 0;
    if (!raw[0] || !outSize)
        return 0;
    soundTextToUtf8(raw, out, outSize);
    return 1;
}

streamKind_t streamKindOf(const char* contentType, const char* url, const unsigned char* head, size_t headSize)
{
    if (!isGeneric(contentType)) {
        for (const namedKind_t& named : NAMED_KINDS)
            if (strcmp(contentType, named.type) == 0)
                return named.kind;
        return STREAM_UNSUPPORTED;
    }
    int known = 0;
    streamKind_t kind = kindByExtension(url, &known);
    return known ? kind : kindByContent(head, headSize);
}

int streamIsAddress(const char* text)
{
    return strncasecmp(text, "http://", 7) == 0 || strncasecmp(text, "https://", 8) == 0;
}
