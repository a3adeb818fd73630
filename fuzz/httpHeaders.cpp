// The answer's header reader on arbitrary bytes cut into lines as libcurl
// hands them over, then the choice of decoder from what it kept: every
// field stays within its buffer and bound, and the reader stops at its
// size limit.

#include "system/audio/streamProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    streamHeaders_t headers;
    streamHeadersReset(&headers);
    size_t read = 0;
    for (size_t at = 0; at < size;) {
        const void* newline = memchr(text + at, '\n', size - at);
        size_t end = newline ? size_t(static_cast<const char*>(newline) - text) + 1 : size;
        streamHeaderResult_t result = streamHeaderLine(&headers, text + at, end - at);
        read += end - at;
        if (strnlen(headers.contentType, sizeof headers.contentType) == sizeof headers.contentType ||
            strnlen(headers.icyName, sizeof headers.icyName) == sizeof headers.icyName ||
            headers.metaint > STREAM_METAINT_MOST || (headers.bytes > STREAM_HEADER_MOST) != (result == STREAM_HEADER_TOO_LARGE))
            abort();
        if (result == STREAM_HEADER_TOO_LARGE || result == STREAM_HEADER_MALFORMED)
            break;
        at = end;
    }
    // The rest stands for the body's first bytes, and the input for the address.
    char url[256];
    size_t urlSize = size < sizeof url - 1 ? size : sizeof url - 1;
    memcpy(url, text, urlSize);
    url[urlSize] = 0;
    int kind = streamKindOf(headers.contentType, url, data + read, size - read);
    return kind < STREAM_MP3 || kind > STREAM_UNSUPPORTED ? -1 : 0;
}
