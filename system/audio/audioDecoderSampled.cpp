// Sampled audio (WAV, FLAC, Ogg Vorbis, Opus, MP3 and what else libsndfile
// reads) decoded from memory, folded to stereo and resampled to the device
// rate with libsamplerate.

#include "system/audio/audioDecoder.h"

#include <samplerate.h>
#include <sndfile.h>

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int CHUNK = 1024;       // frames read from the file at a time
// Input frames before a converted song's first sample and after its last
// that the converter is fed so its filter has the song's own shape at both
// edges instead of a cliff to zero: enough for the filter's half length.
const long LEAD_LEAST = 256;
const int MOST_CHANNELS = 256; // more is no music file
const float SIDE = 0.70710678f; // a centre or rear channel folded into both sides at -3 dB

// An Ogg stream never packs more frames into a byte than this: even pure
// silence costs a byte or two per packet of at most 8192 frames.
const double PLAUSIBLE_OGG_FRAMES_PER_BYTE = 4096.0;

// MP3s whose warnings have been shown once: the decoder under libsndfile
// prints its own about a damaged header ("Xing stream size off ...") at
// every open, and a file is opened for its header, to prove it plays and
// at every play. A small ring of the last ones is enough to stop the repeat.
const int QUIET_FILES = 64;
const size_t QUIET_HASHED_BYTES = 4096; // of the file's start, with its size

struct quietFiles_t {
    uint64_t key[QUIET_FILES];
    int count, next;
};

quietFiles_t quiet;

struct sampledState_t {
    const unsigned char* data; // the whole file, owned by the caller
    sf_count_t size;
    sf_count_t offset;
    SNDFILE* file;
    SF_INFO info;
    SRC_STATE* resampler; // null when the file already has the device rate
    double ratio;         // output frames per input frame
    float* input;         // CHUNK frames as the file has them
    float feed[CHUNK * 2]; // stereo frames handed to the resampler
    int ended;            // the file gave out once: nothing more is read until a seek
    // The converter's edges: before the first sample, the song's start
    // mirrored through that sample (value and slope run on), and the same
    // past its end. The lead's output is dropped and the output is cut
    // where the song's own time ends, so a song that follows another
    // starts on its own first sample with no filter edge or tail.
    long lead;            // input frames of each edge; 0: none (no whole ratio)
    long leadOutput;      // the output frames the lead-in makes, a whole number
    int phase;            // where the feed stands: the edge, the song or past it
    long dropLeft;        // output of the lead-in still to drop
    double fed;           // song frames fed since the start or the last seek
    long long given;      // output frames handed out since then
    long long limit;      // where the output ends; -1 until the song has ended
    float edge[CHUNK * 2]; // the mirrored frames for the converter
    float tail[CHUNK * 2]; // the song's last `lead` frames so far
};

enum { FEED_LEAD_IN, FEED_HEAD, FEED_SONG, FEED_DONE };

// --- libsndfile reads the bytes in memory through these -------------------

sf_count_t memoryLength(void* user)
{
    return static_cast<sampledState_t*>(user)->size;
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user)
{
    sampledState_t* state = static_cast<sampledState_t*>(user);
    sf_count_t base = whence == SEEK_CUR ? state->offset : whence == SEEK_END ? state->size : 0;
    sf_count_t target = base + offset;
    if (target < 0 || target > state->size)
        return -1;
    state->offset = target;
    return target;
}

sf_count_t memoryRead(void* buffer, sf_count_t count, void* user)
{
    sampledState_t* state = static_cast<sampledState_t*>(user);
    sf_count_t left = state->size - state->offset;
    if (count > left)
        count = left;
    if (count <= 0)
        return 0;
    memcpy(buffer, state->data + state->offset, size_t(count));
    state->offset += count;
    return count;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t memoryTell(void* user)
{
    return static_cast<sampledState_t*>(user)->offset;
}

// --- channel folding and reading -------------------------------------------

// A float file may hold NaN, infinities or absurd magnitudes; passed on,
// they would overflow the fold and poison the resampler's memory and the
// mix. NaN becomes silence; anything past 24 dB over full scale (which the
// output clips anyway) is held there.
float sane(float v)
{
    const float LOUDEST = 16.0f;
    return v > LOUDEST ? LOUDEST : v < -LOUDEST ? -LOUDEST : v == v ? v : 0.0f;
}

// The first two channels are front left and right in every common layout;
// a centre (3, 5, 6 channels), a rear pair (4: quad; 6: 5.1 after the LFE)
// joins both sides at -3 dB. Other channels are left out.
void foldToStereo(const float* in, int channels, size_t frames, float* out)
{
    for (size_t i = 0; i < frames; i++, in += channels, out += 2) {
        if (channels == 1) {
            out[0] = out[1] = sane(in[0]);
            continue;
        }
        float left = sane(in[0]), right = sane(in[1]);
        if (channels == 4) {
            left += SIDE * sane(in[2]);
            right += SIDE * sane(in[3]);
        } else if (channels >= 3) {
            left += SIDE * sane(in[2]);
            right += SIDE * sane(in[2]);
        }
        if (channels >= 6) {
            left += SIDE * sane(in[4]);
            right += SIDE * sane(in[5]);
        }
        out[0] = left;
        out[1] = right;
    }
}

// The MP3 decoder may find more frames after it has once reported the end
// (it resyncs past damage); the resampler, told the input had ended, then
// spins for ever on them. So the first end is final until a seek.
size_t readStereo(sampledState_t* state, float* stereo, size_t frames)
{
    size_t done = 0;
    while (done < frames && !state->ended) {
        sf_count_t want = sf_count_t(frames - done < size_t(CHUNK) ? frames - done : size_t(CHUNK));
        sf_count_t got = sf_readf_float(state->file, state->input, want);
        if (got > 0) {
            foldToStereo(state->input, state->info.channels, size_t(got), stereo + done * 2);
            done += size_t(got);
        }
        if (got < want)
            state->ended = 1;
    }
    return done;
}

// `count` frames mirrored through the frame at `pivot` of `from`, stepping
// `direction` (−1: the frames before a start, 1: after an end) into `out`,
// which is written in play order.
void mirror(const float* from, long frames, long pivot, int direction, long count, float* out)
{
    for (long k = 1; k <= count; k++) {
        long at = pivot - direction * k;
        at = at < 0 ? 0 : at >= frames ? frames - 1 : at;
        long to = direction < 0 ? count - k : k - 1;
        for (int c = 0; c < 2; c++)
            out[to * 2 + c] = 2 * from[pivot * 2 + c] - from[at * 2 + c];
    }
}

// Keeps the last `lead` frames of the song fed so far.
void keepTail(sampledState_t* state, const float* frames, long count)
{
    long keep = count < state->lead ? count : state->lead;
    memmove(state->tail, state->tail + keep * 2, sizeof(float) * size_t(state->lead - keep) * 2);
    memcpy(state->tail + (state->lead - keep) * 2, frames + (count - keep) * 2, sizeof(float) * size_t(keep) * 2);
}

long feedResampler(void* user, float** data)
{
    sampledState_t* state = static_cast<sampledState_t*>(user);
    long got = 0;
    if (state->phase == FEED_LEAD_IN && state->lead) {
        got = long(readStereo(state, state->feed, size_t(state->lead)));
        state->phase = FEED_HEAD;
        if (got > 0) {
            mirror(state->feed, got, 0, -1, state->lead, state->edge);
            state->fed = double(got);
            keepTail(state, state->feed, got);
            *data = state->edge;
            return state->lead;
        }
    } else if (state->phase == FEED_HEAD) {
        state->phase = FEED_SONG;
        *data = state->feed;
        return long(state->fed);
    } else if (state->phase != FEED_DONE) {
        state->phase = FEED_SONG;
        got = long(readStereo(state, state->feed, CHUNK));
        state->fed += double(got);
        if (got > 0 && state->lead)
            keepTail(state, state->feed, got);
    }
    if (got > 0 || state->phase == FEED_DONE) {
        *data = state->feed;
        return got;
    }
    // The song has ended: where its output ends is now known.
    state->phase = FEED_DONE;
    state->limit = (long long)(std::ceil(state->fed * state->ratio - 1e-9));
    if (!state->lead || state->fed < 1)
        return 0;
    long have = state->fed < double(state->lead) ? long(state->fed) : state->lead;
    const float* last = state->tail + (state->lead - have) * 2;
    mirror(last, have, have - 1, 1, state->lead, state->edge);
    *data = state->edge;
    return state->lead;
}

// Back to the song's start, or a seek's landing: the edges begin anew.
void restartFeed(sampledState_t* state)
{
    state->phase = FEED_LEAD_IN;
    state->dropLeft = state->leadOutput;
    state->fed = 0;
    state->given = 0;
    state->limit = -1;
}

long greatestDivisor(long a, long b)
{
    while (b) {
        long t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// The edges need a lead whose output is a whole number of frames, so the
// song's first sample lands on an output sample: true of every common
// pair of rates (48000 to 44100: 160 in, 147 out).
void chooseLead(sampledState_t* state, int rate)
{
    long divisor = greatestDivisor(state->info.samplerate, rate);
    long in = state->info.samplerate / divisor, out = rate / divisor;
    long units = (LEAD_LEAST + in - 1) / in;
    state->lead = units * in <= CHUNK ? units * in : 0;
    state->leadOutput = state->lead ? units * out : 0;
}

// --- the table entry -------------------------------------------------------

int startsWith(const unsigned char* data, size_t size, const char* magic, size_t at = 0)
{
    size_t length = strlen(magic);
    return size >= at + length && memcmp(data + at, magic, length) == 0;
}

// Only the containers we mean to play; an MPEG frame sync is the one weak
// sign, and a module that happens to start with one still gets its turn
// when libsndfile refuses it.
int probe(const unsigned char* data, size_t size)
{
    if (startsWith(data, size, "RIFF") || startsWith(data, size, "RIFX") ||
        startsWith(data, size, "RF64") || startsWith(data, size, "FORM") ||
        startsWith(data, size, "fLaC") || startsWith(data, size, "OggS") ||
        startsWith(data, size, "ID3") || startsWith(data, size, ".snd") ||
        startsWith(data, size, "caff") || startsWith(data, size, "riff"))
        return 1;
    return size >= 2 && data[0] == 0xFF && (data[1] & 0xE0) == 0xE0;
}

void close(void* opaque)
{
    sampledState_t* state = static_cast<sampledState_t*>(opaque);
    if (!state)
        return;
    if (state->resampler)
        src_delete(state->resampler);
    if (state->file)
        sf_close(state->file);
    free(state->input);
    free(state);
}

// Null with the reason when the stream is one we cannot play.
const char* checkStream(const SF_INFO* info, int rate)
{
    if (info->channels < 1 || info->channels > MOST_CHANNELS)
        return "unsupported channel count";
    double ratio = double(rate) / double(info->samplerate);
    if (info->samplerate < 1 || ratio > 256.0 || ratio < 1.0 / 256.0)
        return "unsupported sample rate";
    return nullptr;
}

int isMpeg(const unsigned char* data, size_t size)
{
    return startsWith(data, size, "ID3") || (size >= 2 && data[0] == 0xFF && (data[1] & 0xE0) == 0xE0);
}

uint64_t fileKey(const unsigned char* data, size_t size)
{
    uint64_t hash = 1469598103934665603ull ^ uint64_t(size); // FNV-1a
    for (size_t i = 0; i < size && i < QUIET_HASHED_BYTES; i++)
        hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

// 1 when these MP3 bytes have been opened before (the caller then keeps
// the decoder quiet); remembers them otherwise.
int seenBefore(const unsigned char* data, size_t size)
{
    if (!isMpeg(data, size))
        return 0;
    uint64_t key = fileKey(data, size);
    for (int i = 0; i < quiet.count; i++)
        if (quiet.key[i] == key)
            return 1;
    quiet.key[quiet.next] = key;
    quiet.next = (quiet.next + 1) % QUIET_FILES;
    quiet.count += quiet.count < QUIET_FILES;
    return 0;
}

// The standard error sent to /dev/null for the length of one open; -1
// when it was left alone. Opens happen on the main thread, and no other
// thread of ours writes there.
int muteStderr(void)
{
    int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    int saved = devNull >= 0 ? dup(STDERR_FILENO) : -1;
    if (saved >= 0)
        dup2(devNull, STDERR_FILENO);
    if (devNull >= 0)
        ::close(devNull);
    return saved;
}

void restoreStderr(int saved)
{
    if (saved < 0)
        return;
    dup2(saved, STDERR_FILENO);
    ::close(saved);
}

// The file opened on the bytes and its stream checked, nothing decoded yet;
// null with the reason when it is none we play.
sampledState_t* openFile(const unsigned char* data, size_t size, int rate, char* reason, size_t reasonSize)
{
    sampledState_t* state = static_cast<sampledState_t*>(calloc(1, sizeof(sampledState_t)));
    if (!state) {
        snprintf(reason, reasonSize, "out of memory");
        return nullptr;
    }
    state->data = data;
    state->size = sf_count_t(size);
    SF_VIRTUAL_IO io = {memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    int saved = seenBefore(data, size) ? muteStderr() : -1;
    state->file = sf_open_virtual(&io, SFM_READ, &state->info, state);
    restoreStderr(saved);
    if (!state->file) {
        snprintf(reason, reasonSize, "%s", sf_strerror(nullptr));
        close(state);
        return nullptr;
    }
    if (const char* problem = checkStream(&state->info, rate)) {
        snprintf(reason, reasonSize, "%s (%d channels, %d Hz)", problem, state->info.channels,
                 state->info.samplerate);
        close(state);
        return nullptr;
    }
    return state;
}

void* open(const unsigned char* data, size_t size, int rate, char* reason, size_t reasonSize)
{
    assert(rate > 0);
    sampledState_t* state = openFile(data, size, rate, reason, reasonSize);
    if (!state)
        return nullptr;
    state->input = static_cast<float*>(malloc(sizeof(float) * CHUNK * size_t(state->info.channels)));
    state->ratio = double(rate) / double(state->info.samplerate);
    int error = 0;
    if (state->info.samplerate != rate) {
        chooseLead(state, rate);
        restartFeed(state);
        state->resampler = src_callback_new(feedResampler, SRC_SINC_FASTEST, 2, &error, state);
    }
    if (!state->input || error) {
        snprintf(reason, reasonSize, "%s", error ? src_strerror(error) : "out of memory");
        close(state);
        return nullptr;
    }
    return state;
}

size_t read(void* opaque, float* stereo, size_t frames)
{
    sampledState_t* state = static_cast<sampledState_t*>(opaque);
    if (!state->resampler)
        return readStereo(state, stereo, frames);
    while (state->dropLeft > 0) { // the lead-in's output is no part of the song
        long want = state->dropLeft < long(frames) ? state->dropLeft : long(frames);
        long dropped = src_callback_read(state->resampler, state->ratio, want, stereo);
        if (dropped <= 0)
            return 0;
        state->dropLeft -= dropped;
    }
    if (state->limit >= 0 && state->given >= state->limit)
        return 0;
    long got = src_callback_read(state->resampler, state->ratio, long(frames), stereo);
    if (got <= 0)
        return 0;
    if (state->limit >= 0 && state->given + got > state->limit)
        got = long(state->limit - state->given); // the lead-out's output is no part of it either
    state->given += got;
    return size_t(got);
}

// A damaged Ogg page can claim a length far beyond what the bytes could
// hold (and the library's page search toward such a target never ends).
bool plausibleFrame(const sampledState_t* state, double frame)
{
    bool ogg = (state->info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG;
    return !ogg || frame <= double(state->size) * PLAUSIBLE_OGG_FRAMES_PER_BYTE;
}

bool lengthKnown(const sampledState_t* state)
{
    return state->info.frames > 0 && state->info.frames < SF_COUNT_MAX &&
           plausibleFrame(state, double(state->info.frames));
}

double seek(void* opaque, double seconds)
{
    sampledState_t* state = static_cast<sampledState_t*>(opaque);
    if (!(seconds >= 0))
        return -1;
    double frame = std::floor(seconds * state->info.samplerate + 0.5);
    if (lengthKnown(state) && frame > double(state->info.frames))
        return -1;
    if (!plausibleFrame(state, frame))
        return -1;
    if (frame > 9e18 || sf_seek(state->file, sf_count_t(frame), SEEK_SET) < 0)
        return -1;
    if (state->resampler) {
        src_reset(state->resampler);
        restartFeed(state);
    }
    state->ended = 0;
    return frame / state->info.samplerate;
}

// libsndfile finds the length in the header (WAV, FLAC), from the last
// page (Ogg) or from the frame count or bit rate (MP3): no audio is decoded.
// The tags come as libsndfile gives them: RIFF INFO, Vorbis comments (FLAC,
// Ogg) and ID3 (MP3).
int info(const unsigned char* data, size_t size, int rate, double* seconds, audioTags_t* tags)
{
    char reason[256];
    sampledState_t* state = openFile(data, size, rate, reason, sizeof reason);
    if (!state)
        return 0;
    *seconds = lengthKnown(state) ? double(state->info.frames) / state->info.samplerate : -1.0;
    const char* title = sf_get_string(state->file, SF_STR_TITLE);
    const char* artist = sf_get_string(state->file, SF_STR_ARTIST);
    const char* album = sf_get_string(state->file, SF_STR_ALBUM);
    snprintf(tags->title, sizeof tags->title, "%s", title ? title : "");
    snprintf(tags->artist, sizeof tags->artist, "%s", artist ? artist : "");
    snprintf(tags->album, sizeof tags->album, "%s", album ? album : "");
    close(state);
    return 1;
}

// The containers the probe accepts, by their usual names.
int playsExtension(const char* extension)
{
    static const char* const names[] = {"wav", "wave", "bwf", "w64", "rf64", "aif", "aiff", "aifc",
                                        "flac", "ogg", "oga", "opus", "mp3", "mp2", "mp1", "au",
                                        "snd", "caf"};
    for (const char* name : names)
        if (strcmp(extension, name) == 0)
            return 1;
    return 0;
}

} // namespace

const audioDecoder_t audioDecoderSampled = {"sampled", probe, open,    read, seek,
                                            close,     nullptr, info, playsExtension};
