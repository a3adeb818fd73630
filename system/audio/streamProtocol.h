#ifndef TESSELLUNE_STREAMPROTOCOL_H
#define TESSELLUNE_STREAMPROTOCOL_H

// Inside the stream client: the readers of what a station sends besides
// the music, apart from the connection, so that tests and fuzz targets
// reach them directly. Pure functions over bytes; no allocation.

#include <cstddef>

// --- the answer's header ----------------------------------------------------------

const size_t STREAM_HEADER_MOST = 16 * 1024; // of one answer: no station needs more
const size_t STREAM_METAINT_MOST = 1 << 20;   // a larger interval is no station's
const size_t STREAM_HEADER_TEXT = 256;        // content type and station name are cut here

struct streamHeaders_t {
    int status;     // 0 until a status line ("HTTP/1.1 200 OK" or "ICY 200 OK")
    int icy;        // the status line was ICY's
    int complete;   // the blank line after the fields has arrived
    size_t bytes;   // of this answer's header so far
    size_t metaint; // audio bytes between two metadata blocks; 0: none
    char contentType[STREAM_HEADER_TEXT]; // lower case, without parameters
    char icyName[STREAM_HEADER_TEXT];     // as UTF-8
};

enum streamHeaderResult_t {
    STREAM_HEADER_MORE,      // go on: more lines follow
    STREAM_HEADER_DONE,      // the header is complete
    STREAM_HEADER_TOO_LARGE, // past STREAM_HEADER_MOST: the answer is refused
    STREAM_HEADER_MALFORMED, // a first line that is no status line
};

void streamHeadersReset(streamHeaders_t* headers);
// Takes one line of the header as it arrived (line break included or not).
// A status line starts the record afresh: a redirect's or an interim
// answer's fields are not the final answer's.
streamHeaderResult_t streamHeaderLine(streamHeaders_t* headers, const char* line, size_t size);

// --- ICY metadata inside the audio ------------------------------------------------

const size_t STREAM_META_MOST = 255 * 16; // one length byte counts 16-byte units

struct streamIcy_t {
    size_t metaint;    // 0: the stream is audio only
    size_t audioLeft;  // audio bytes before the next length byte
    int inMeta;        // inside a metadata block
    size_t metaLength; // of the block being read
    size_t metaGot;
    char meta[STREAM_META_MOST + 1];
};

void streamIcyInit(streamIcy_t* icy, size_t metaint);
// Takes bytes as they came off the connection, in pieces of any size:
// audio spans go to `audio`, each complete non-empty metadata block (its
// padding cut, zero-terminated) to `meta`.
void streamIcyTake(streamIcy_t* icy, const unsigned char* data, size_t size,
                   void (*audio)(void* context, const unsigned char* data, size_t size),
                   void (*meta)(void* context, const char* block, size_t size), void* context);
// 1 when a block reads as ICY metadata (Key='value'; pairs of printable
// text); anything else means the interval or the stream is not what the
// header said.
int streamIcyWellFormed(const char* block, size_t size);
// The StreamTitle of a metadata block, as UTF-8 (read as Latin-1 when it
// is not UTF-8); 0 when the block names none or an empty one.
int streamIcyTitle(const char* block, size_t size, char* out, size_t outSize);

// --- what an answer holds --------------------------------------------------------

enum streamKind_t {
    STREAM_MP3,
    STREAM_OGG, // Vorbis or Opus: the first page tells
    STREAM_FLAC,
    STREAM_LIST_PLS,
    STREAM_LIST_M3U,
    STREAM_UNSUPPORTED, // a type named that we do not play (AAC, HLS, video, a web page)
};

// By the content type; a missing or generic one is judged by the address's
// extension and then by the first bytes of the body (`head`).
streamKind_t streamKindOf(const char* contentType, const char* url, const unsigned char* head, size_t headSize);
// 1 for an http:// or https:// address (any case): the only ones fetched.
int streamIsAddress(const char* text);

#endif
