// The stream client's worker: one thread per station that owns its
// connection (libcurl's multi interface, so that waiting never outlasts a
// tenth of a second without looking at the stop flag), takes the ICY
// metadata out of the answer before any decoder sees it, and tries again
// after every drop until the person moves on. The main thread sees only
// the news record, under its lock.

#include "system/audio/streamClient.h"

#include "system/audio/streamProtocol.h"
#include "system/audio/streamWorker.h"

#include <curl/curl.h>
#include <mpg123.h>

#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const long CONNECT_TIMEOUT_S = 5;
const double READ_TIMEOUT_S = 5;      // a station silent this long has dropped us
const double HEADER_DEADLINE_S = 10;  // connecting and the whole header: no trickle holds a worker
const int RETRY_DELAYS_S[] = {1, 2, 4, 7}; // then every 7 s, on the same station
const int RETRY_STEPS = int(sizeof RETRY_DELAYS_S / sizeof RETRY_DELAYS_S[0]);
const long REDIRECTS_MOST = 5;
const size_t FIFO_SIZE = 64 * 1024;   // music bytes between the connection and the decoder
const size_t HEAD_SIZE = 4096;        // of the body, read before a decoder is chosen
const size_t HEAD_LEAST = 64;         // enough to tell a format by its first bytes
const long POLL_MS = 100;             // how long the worker waits before looking at its stop flag again
const double SHUTDOWN_WAIT_S = 1.0;
const useconds_t SLEEP_STEP_US = 50 * 1000;

struct client_t {
    std::atomic<int> workers{0};
    int librariesReady = 0;
};

client_t client;

double now(void)
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void freeStream(stream_t* stream)
{
    pthread_mutex_destroy(&stream->lock);
    free(stream->ring);
    free(stream->list);
    delete stream;
}

} // namespace

// The connection as the decoders see it: the worker's only.
struct streamBytes_t {
    stream_t* stream;
    CURLM* multi;
    CURL* easy;
    curl_slist* requestHeaders;
    curl_slist* aliases;
    streamHeaders_t headers;
    streamIcy_t icy;
    int bodyBegun;
    unsigned char fifo[FIFO_SIZE];
    size_t fifoStart, fifoEnd;
    int paused; // the write callback asked libcurl to hold its data
    int done;
    CURLcode result;
    double started, lastByte;
    char error[CURL_ERROR_SIZE];
    char why[256]; // the first reason the answer ended, for the reconnect line
    // ICY titles wait here until the decoder has read the music before
    // them; then they are stamped with the ring's position.
    uint64_t musicIn, musicOut; // bytes of music taken from the answer, and read by the decoder
    int malformedSaid;          // a block that is no ICY text was reported for this answer
    struct {
        uint64_t atByte;
        char text[STREAM_TITLE_SIZE];
    } titles[STREAM_TITLES];
    int titleCount;
};

namespace {

void setWhy(streamBytes_t* b, const char* format, ...) __attribute__((format(printf, 2, 3)));

void setWhy(streamBytes_t* b, const char* format, ...)
{
    if (b->why[0])
        return;
    va_list args;
    va_start(args, format);
    vsnprintf(b->why, sizeof b->why, format, args);
    va_end(args);
}

// --- libcurl's callbacks -------------------------------------------------------------

size_t takeHeader(char* line, size_t size, size_t count, void* context)
{
    streamBytes_t* b = static_cast<streamBytes_t*>(context);
    size_t n = size * count;
    b->lastByte = now();
    switch (streamHeaderLine(&b->headers, line, n)) {
    case STREAM_HEADER_TOO_LARGE:
        setWhy(b, "the answer's header is longer than %zu kB", STREAM_HEADER_MOST / 1024);
        return 0;
    case STREAM_HEADER_MALFORMED:
        setWhy(b, "the answer is no HTTP or ICY answer");
        return 0;
    default:
        return n;
    }
}

void takeMusic(void* context, const unsigned char* data, size_t size)
{
    streamBytes_t* b = static_cast<streamBytes_t*>(context);
    memcpy(b->fifo + b->fifoEnd, data, size); // room was made before the split
    b->fifoEnd += size;
    b->musicIn += size;
}

void takeMetadata(void* context, const char* block, size_t size)
{
    streamBytes_t* b = static_cast<streamBytes_t*>(context);
    if (!streamIcyWellFormed(block, size)) {
        if (!b->malformedSaid)
            streamWorkerSay(b->stream, "\"%s\": a metadata block of %zu bytes is no ICY text; titles from it are ignored",
                            b->stream->url, size);
        b->malformedSaid = 1;
        return;
    }
    if (b->titleCount == STREAM_TITLES)
        b->titleCount--;
    if (streamIcyTitle(block, size, b->titles[b->titleCount].text, sizeof b->titles[0].text))
        b->titles[b->titleCount++].atByte = b->musicIn;
}

size_t takeBody(char* data, size_t size, size_t count, void* context)
{
    streamBytes_t* b = static_cast<streamBytes_t*>(context);
    size_t n = size * count;
    b->lastByte = now();
    if (!b->bodyBegun) {
        b->bodyBegun = 1;
        streamIcyInit(&b->icy, b->headers.metaint);
    }
    if (n > FIFO_SIZE) { // libcurl hands over at most CURL_MAX_WRITE_SIZE; never wait for room that cannot come
        setWhy(b, "a piece of %zu bytes at once", n);
        return 0;
    }
    if (b->fifoStart == b->fifoEnd)
        b->fifoStart = b->fifoEnd = 0;
    if (b->fifoEnd + n > FIFO_SIZE && b->fifoStart) {
        memmove(b->fifo, b->fifo + b->fifoStart, b->fifoEnd - b->fifoStart);
        b->fifoEnd -= b->fifoStart;
        b->fifoStart = 0;
    }
    if (b->fifoEnd + n > FIFO_SIZE) {
        b->paused = 1; // libcurl keeps the data until the decoder has taken some
        return CURL_WRITEFUNC_PAUSE;
    }
    streamIcyTake(&b->icy, reinterpret_cast<unsigned char*>(data), n, takeMusic, takeMetadata, b);
    return n;
}

int progress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<streamBytes_t*>(context)->stream->stop.load() ? 1 : 0;
}

// --- one connection ------------------------------------------------------------------

void closeConnection(streamBytes_t* b)
{
    if (b->easy) {
        curl_multi_remove_handle(b->multi, b->easy);
        curl_easy_cleanup(b->easy);
    }
    curl_slist_free_all(b->requestHeaders);
    curl_slist_free_all(b->aliases);
    b->easy = nullptr;
    b->requestHeaders = b->aliases = nullptr;
}

int openConnection(streamBytes_t* b)
{
    stream_t* s = b->stream;
    streamHeadersReset(&b->headers);
    b->bodyBegun = b->paused = b->done = 0;
    b->fifoStart = b->fifoEnd = 0;
    b->musicIn = b->musicOut = 0;
    b->titleCount = b->malformedSaid = 0;
    b->result = CURLE_OK;
    b->error[0] = b->why[0] = 0;
    b->started = b->lastByte = now();
    CURL* e = b->easy = curl_easy_init();
    b->requestHeaders = curl_slist_append(nullptr, "Icy-MetaData: 1");
    // Older stations answer "ICY 200 OK"; libcurl takes it as a status line
    // only when told so.
    b->aliases = curl_slist_append(nullptr, "ICY 200 OK");
    if (!e || !b->requestHeaders || !b->aliases)
        return 0;
    curl_easy_setopt(e, CURLOPT_URL, s->url);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, REDIRECTS_MOST);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_S);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L); // against the system's store, libcurl's default
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L); // threads must not meet SIGALRM
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Tessellune");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, b->requestHeaders);
    curl_easy_setopt(e, CURLOPT_HTTP200ALIASES, b->aliases);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, takeHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, b);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, takeBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, b);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, b);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, b->error);
    return curl_multi_add_handle(b->multi, e) == CURLM_OK;
}

// Lets libcurl move the transfer on, waiting at most POLL_MS for it.
void drive(streamBytes_t* b)
{
    int running = 0;
    curl_multi_perform(b->multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(b->multi, &queued)) {
        if (message->msg == CURLMSG_DONE) {
            b->done = 1;
            b->result = message->data.result;
        }
    }
    if (!b->done && b->fifoStart == b->fifoEnd)
        curl_multi_poll(b->multi, nullptr, 0, int(POLL_MS), nullptr);
}

void whyEnded(streamBytes_t* b)
{
    if (b->result == CURLE_OK)
        setWhy(b, "the station closed the connection");
    else
        setWhy(b, "%s", b->error[0] ? b->error : curl_easy_strerror(b->result));
}

int timedOut(streamBytes_t* b, double waitFrom)
{
    double t = now();
    if (!b->headers.complete && t - b->started > HEADER_DEADLINE_S) {
        setWhy(b, "no answer within %.0f s", HEADER_DEADLINE_S);
        return 1;
    }
    double last = b->lastByte > waitFrom ? b->lastByte : waitFrom;
    if (t - last > READ_TIMEOUT_S) {
        setWhy(b, "nothing received for %.0f s", READ_TIMEOUT_S);
        return 1;
    }
    return 0;
}

size_t takeFifo(streamBytes_t* b, unsigned char* out, size_t size)
{
    size_t n = b->fifoEnd - b->fifoStart < size ? b->fifoEnd - b->fifoStart : size;
    memcpy(out, b->fifo + b->fifoStart, n);
    b->fifoStart += n;
    // A title is due once the decoder has read the music before it (its
    // own small buffer aside).
    for (b->musicOut += n; b->titleCount && b->titles[0].atByte < b->musicOut;) {
        streamWorkerSetTitle(b->stream, b->titles[0].text);
        memmove(&b->titles[0], &b->titles[1], sizeof b->titles[0] * size_t(--b->titleCount));
    }
    if (b->paused && b->fifoEnd - b->fifoStart < FIFO_SIZE / 2) {
        b->paused = 0;
        curl_easy_pause(b->easy, CURLPAUSE_CONT); // may call takeBody at once: there is room now
    }
    return n;
}

} // namespace

size_t streamWorkerRead(streamBytes_t* b, unsigned char* out, size_t size)
{
    double waitFrom = now(); // time spent decoding or waiting for the ring is no silence of the station
    while (!b->stream->stop.load()) {
        if (b->fifoEnd > b->fifoStart)
            return takeFifo(b, out, size);
        if (b->paused) {
            b->paused = 0;
            curl_easy_pause(b->easy, CURLPAUSE_CONT);
            continue;
        }
        if (b->done) {
            whyEnded(b);
            return 0;
        }
        if (timedOut(b, waitFrom))
            return 0;
        drive(b);
    }
    return 0;
}

namespace {

// --- what an answer holds ------------------------------------------------------------

enum sessionEnd_t { SESSION_RETRY, SESSION_OVER };

sessionEnd_t passOver(stream_t* s, const char* format, const char* detail)
{
    char reason[STREAM_LINE_SIZE];
    snprintf(reason, sizeof reason, format, detail);
    streamWorkerSay(s, "\"%s\": %s; passed over", s->url, reason);
    streamWorkerSetState(s, STREAM_FAILED);
    return SESSION_OVER;
}

// Faults that no later attempt can mend: a redirect loop, or a redirect to
// an address the player does not follow. A missing mount (404) is not one:
// a server answers so while its source reconnects.
int permanent(const streamBytes_t* b)
{
    return b->done && (b->result == CURLE_TOO_MANY_REDIRECTS || b->result == CURLE_UNSUPPORTED_PROTOCOL ||
                       b->result == CURLE_URL_MALFORMAT);
}

// The whole list, at most STREAM_LIST_MOST bytes, for the main thread to read.
sessionEnd_t takeList(stream_t* s, streamBytes_t* b, int kind, const unsigned char* head, size_t headSize)
{
    if (!s->listAllowed)
        return passOver(s, "%s", "a playlist named by a fetched playlist is not followed");
    // One byte past the bound tells a list that is too large; one more ends the text.
    char* text = static_cast<char*>(malloc(STREAM_LIST_MOST + 2));
    if (!text)
        return passOver(s, "%s", "out of memory for its playlist");
    memcpy(text, head, headSize);
    size_t size = headSize;
    for (size_t n = 1; n && size <= STREAM_LIST_MOST;) {
        n = streamWorkerRead(b, reinterpret_cast<unsigned char*>(text + size), STREAM_LIST_MOST + 1 - size);
        size += n;
    }
    text[size] = 0;
    if (size > STREAM_LIST_MOST) {
        free(text);
        return passOver(s, "a playlist larger than %s is not read", "1 MB");
    }
    if (!b->done || b->result != CURLE_OK) {
        free(text);
        return SESSION_RETRY; // cut short: the next try may get all of it
    }
    if (kind == STREAM_LIST_M3U && strstr(text, "#EXT-X-")) {
        free(text);
        return passOver(s, "%s", "an HLS playlist is not played");
    }
    pthread_mutex_lock(&s->lock);
    free(s->list);
    s->list = text;
    s->listSize = size;
    s->listPls = kind == STREAM_LIST_PLS;
    s->state = STREAM_LIST;
    pthread_mutex_unlock(&s->lock);
    return SESSION_OVER;
}

sessionEnd_t session(stream_t* s, streamBytes_t* b, int* played)
{
    *played = 0;
    if (!openConnection(b))
        return passOver(s, "%s", "out of memory for a connection");
    unsigned char head[HEAD_SIZE];
    size_t headSize = 0;
    for (size_t n = 1; n && headSize < HEAD_LEAST;) {
        n = streamWorkerRead(b, head + headSize, HEAD_SIZE - headSize);
        headSize += n;
    }
    if (!headSize)
        return permanent(b) ? passOver(s, "%s", b->why) : SESSION_RETRY;
    const char* address = nullptr;
    curl_easy_getinfo(b->easy, CURLINFO_EFFECTIVE_URL, &address);
    int kind = streamKindOf(b->headers.contentType, address ? address : s->url, head, headSize);
    if (kind == STREAM_LIST_PLS || kind == STREAM_LIST_M3U)
        return takeList(s, b, kind, head, headSize);
    if (kind == STREAM_UNSUPPORTED)
        return passOver(s, "content type \"%s\" is not played", b->headers.contentType[0] ? b->headers.contentType : "(none)");
    if (b->headers.icyName[0]) {
        pthread_mutex_lock(&s->lock);
        snprintf(s->icyName, sizeof s->icyName, "%s", b->headers.icyName);
        pthread_mutex_unlock(&s->lock);
    }
    *played = streamDecodeRun(s, b, kind, head, headSize, b->why, sizeof b->why);
    if (b->done)
        whyEnded(b);
    setWhy(b, "the music ended");
    return SESSION_RETRY;
}

// Sleeps `seconds`, or less when told to stop.
void rest(stream_t* s, int seconds)
{
    for (double until = now() + seconds; !s->stop.load() && now() < until;)
        usleep(SLEEP_STEP_US);
}

void* work(void* context)
{
    stream_t* s = static_cast<stream_t*>(context);
    streamBytes_t* b = static_cast<streamBytes_t*>(calloc(1, sizeof(streamBytes_t)));
    if (b) {
        b->stream = s;
        b->multi = curl_multi_init();
    }
    if (!b || !b->multi)
        passOver(s, "%s", "out of memory for a connection");
    for (int attempt = 0; b && b->multi && !s->stop.load();) {
        int played = 0;
        sessionEnd_t end = session(s, b, &played);
        closeConnection(b);
        if (end == SESSION_OVER || s->stop.load())
            break;
        attempt = played ? 0 : attempt; // a station that played starts the back-off anew
        int delay = RETRY_DELAYS_S[attempt < RETRY_STEPS ? attempt : RETRY_STEPS - 1];
        attempt++;
        streamWorkerSetState(s, STREAM_RECONNECTING);
        streamWorkerSay(s, "\"%s\": %s; reconnecting in %d s", s->url, b->why, delay);
        rest(s, delay);
    }
    if (b && b->multi)
        curl_multi_cleanup(b->multi);
    free(b);
    client.workers.fetch_sub(1);
    streamRelease(s);
    return nullptr;
}

int librariesReady(void)
{
    // Both set up global state that is not safe to set up from two threads
    // at once: here, on the main thread, before any worker exists.
    if (!client.librariesReady && curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK && mpg123_init() == MPG123_OK)
        client.librariesReady = 1;
    return client.librariesReady;
}

} // namespace

// --- news ------------------------------------------------------------------------------

void streamWorkerSetState(stream_t* s, streamState_t state)
{
    pthread_mutex_lock(&s->lock);
    s->state = state;
    pthread_mutex_unlock(&s->lock);
}

void streamWorkerSetTitle(stream_t* s, const char* title)
{
    pthread_mutex_lock(&s->lock);
    if (s->titleCount == STREAM_TITLES)
        s->titleCount--; // the newest matters most
    s->titles[s->titleCount].atFrame = s->written.load(std::memory_order_relaxed);
    snprintf(s->titles[s->titleCount].text, sizeof s->titles[0].text, "%s", title);
    s->titleCount++;
    pthread_mutex_unlock(&s->lock);
}

void streamWorkerSay(stream_t* s, const char* format, ...)
{
    pthread_mutex_lock(&s->lock);
    if (s->lineCount == STREAM_LINES) { // the oldest gives way
        memmove(s->lines[0], s->lines[1], sizeof s->lines[0] * (STREAM_LINES - 1));
        s->lineCount--;
    }
    va_list args;
    va_start(args, format);
    vsnprintf(s->lines[s->lineCount++], STREAM_LINE_SIZE, format, args);
    va_end(args);
    pthread_mutex_unlock(&s->lock);
}

// --- the main thread's calls -------------------------------------------------------------

stream_t* streamOpen(const char* url, int listAllowed)
{
    if (!streamIsAddress(url) || !librariesReady())
        return nullptr;
    stream_t* s = new (std::nothrow) stream_t{};
    if (!s)
        return nullptr;
    s->ring = static_cast<float*>(calloc(STREAM_RING_FRAMES * 2, sizeof(float)));
    pthread_mutex_init(&s->lock, nullptr);
    snprintf(s->url, sizeof s->url, "%s", url);
    s->listAllowed = listAllowed;
    s->state = STREAM_CONNECTING;
    s->holders.store(2); // the caller and the worker
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED); // nobody waits for it
    pthread_t thread;
    client.workers.fetch_add(1);
    if (!s->ring || pthread_create(&thread, &attributes, work, s) != 0) {
        client.workers.fetch_sub(1);
        freeStream(s);
        s = nullptr;
    }
    pthread_attr_destroy(&attributes);
    return s;
}

void streamPoll(stream_t* s, streamNews_t* news)
{
    char lines[STREAM_LINES][STREAM_LINE_SIZE];
    pthread_mutex_lock(&s->lock);
    news->state = s->state;
    // Titles whose music the audio thread has reached become the title.
    uint64_t heard = s->taken.load(std::memory_order_acquire);
    while (s->titleCount && s->titles[0].atFrame <= heard) {
        snprintf(s->title, sizeof s->title, "%s", s->titles[0].text);
        memmove(&s->titles[0], &s->titles[1], sizeof s->titles[0] * size_t(--s->titleCount));
    }
    snprintf(news->title, sizeof news->title, "%s", s->title);
    snprintf(news->icyName, sizeof news->icyName, "%s", s->icyName);
    news->list = s->list;
    news->listSize = s->listSize;
    news->listPls = s->listPls;
    s->list = nullptr;
    int count = s->lineCount;
    memcpy(lines, s->lines, sizeof lines[0] * size_t(count));
    s->lineCount = 0;
    pthread_mutex_unlock(&s->lock);
    for (int i = 0; i < count; i++)
        fprintf(stderr, "tessellune: %s\n", lines[i]);
}

void streamRelease(stream_t* s)
{
    if (!s)
        return;
    s->stop.store(1);
    if (s->holders.fetch_sub(1) == 1)
        freeStream(s);
}

void streamShutdown(void)
{
    for (double until = now() + SHUTDOWN_WAIT_S; client.workers.load() > 0 && now() < until;)
        usleep(SLEEP_STEP_US / 5);
}
