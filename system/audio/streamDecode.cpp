// The worker's decoders for a station's music. Each reads the connection
// as it arrives, with no seeking, and never needs more than it is given:
// libmpg123's feed interface for MP3, libvorbisfile and libopusfile with
// read-only callbacks for Ogg (both follow the chain of an Ogg radio
// stream, each link with its own comment header), libFLAC's stream decoder
// for FLAC. Their frames are folded to stereo, converted to AUDIO_RATE and
// written to the ring, waiting while it is full.

#include "system/audio/streamProtocol.h"
#include "system/audio/streamWorker.h"

#include "system/audio/soundText.h"

#include <FLAC/stream_decoder.h>
#include <mpg123.h>
#include <opusfile.h>
#include <samplerate.h>
#include <vorbis/vorbisfile.h>

#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const size_t INPUT_SIZE = 4 * 1024; // small reads keep an ICY title close to its music
const int FRAMES = 2048;                    // decoded at a time
// Bytes, or seconds while bytes arrive, without one decoded frame: whatever
// the answer is, it is no music (a slow trickle of noise takes the time).
const size_t NO_MUSIC_MOST = 512 * 1024;
const double NO_MUSIC_SECONDS = 8;
const int RATE_MOST = 768000;
const useconds_t RING_WAIT_US = 20 * 1000;  // the ring drains at 44.1 frames per ms

struct decode_t {
    stream_t* stream;
    streamBytes_t* bytes;
    const unsigned char* head;
    size_t headSize, headAt;
    size_t sinceMusic; // bytes read since the last decoded frame
    double musicAt;    // when that frame was decoded (or decoding began), monotonic seconds
    int decoded;
    SRC_STATE* resampler;
    int resamplerRate;
    unsigned char input[INPUT_SIZE];
    float output[FRAMES * 2]; // as the decoder gives them
    float stereo[FRAMES * 2];
    float converted[FRAMES * 2];
    char* why;
    size_t whySize;
};

double seconds(void)
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The answer's bytes: first the head already read to tell the format.
size_t readInput(decode_t* d, unsigned char* out, size_t size)
{
    if (d->sinceMusic > NO_MUSIC_MOST || (d->sinceMusic && seconds() - d->musicAt > NO_MUSIC_SECONDS)) {
        snprintf(d->why, d->whySize, "no music in %zu kB of the answer", d->sinceMusic / 1024);
        return 0;
    }
    size_t n = 0;
    if (d->headAt < d->headSize) {
        n = d->headSize - d->headAt < size ? d->headSize - d->headAt : size;
        memcpy(out, d->head + d->headAt, n);
        d->headAt += n;
    } else {
        n = streamWorkerRead(d->bytes, out, size);
    }
    d->sinceMusic += n;
    return n;
}

int stopped(const decode_t* d)
{
    return d->stream->stop.load();
}

void writeRing(decode_t* d, const float* stereo, size_t frames)
{
    while (frames && !stopped(d)) {
        size_t room = streamRingRoom(d->stream);
        if (!room) {
            usleep(RING_WAIT_US);
            continue;
        }
        size_t n = room < frames ? room : frames;
        streamRingWrite(d->stream, stereo, n);
        stereo += n * 2;
        frames -= n;
    }
}

// Stereo frames at `rate` into the ring at AUDIO_RATE.
void emit(decode_t* d, const float* stereo, size_t frames, long rate)
{
    if (!frames || rate <= 0 || rate > RATE_MOST)
        return;
    d->sinceMusic = 0;
    if (!d->decoded)
        streamWorkerSetState(d->stream, STREAM_PLAYING);
    d->decoded = 1;
    if (rate == AUDIO_RATE) {
        writeRing(d, stereo, frames);
        d->musicAt = seconds(); // after any wait for room in the ring
        return;
    }
    if (d->resampler && d->resamplerRate != rate) {
        src_delete(d->resampler);
        d->resampler = nullptr;
    }
    int error = 0;
    if (!d->resampler && !(d->resampler = src_new(SRC_SINC_FASTEST, 2, &error)))
        return;
    d->resamplerRate = int(rate);
    SRC_DATA data = {};
    data.src_ratio = double(AUDIO_RATE) / double(rate);
    while (frames && !stopped(d)) {
        data.data_in = stereo;
        data.input_frames = long(frames);
        data.data_out = d->converted;
        data.output_frames = FRAMES;
        if (src_process(d->resampler, &data) != 0 || (!data.input_frames_used && !data.output_frames_gen))
            return;
        writeRing(d, d->converted, size_t(data.output_frames_gen));
        stereo += data.input_frames_used * 2;
        frames -= size_t(data.input_frames_used);
    }
    d->musicAt = seconds();
}

// Interleaved frames of any channel count, folded to stereo: mono on both
// sides, more than two channels by their first two.
void emitInterleaved(decode_t* d, const float* in, size_t frames, int channels, long rate)
{
    if (channels < 1)
        return;
    while (frames) {
        size_t n = frames < size_t(FRAMES) ? frames : size_t(FRAMES);
        for (size_t i = 0; i < n; i++) {
            d->stereo[i * 2] = in[i * size_t(channels)];
            d->stereo[i * 2 + 1] = in[i * size_t(channels) + (channels > 1 ? 1 : 0)];
        }
        emit(d, d->stereo, n, rate);
        in += n * size_t(channels);
        frames -= n;
    }
}

// "ARTIST - TITLE", or TITLE, from a link's comments; nothing when it has no title.
void takeComments(decode_t* d, const char* artist, const char* title)
{
    if (!title || !title[0])
        return;
    char raw[STREAM_TITLE_SIZE], text[STREAM_TITLE_SIZE];
    if (artist && artist[0])
        snprintf(raw, sizeof raw, "%s - %s", artist, title);
    else
        snprintf(raw, sizeof raw, "%s", title);
    soundTextToUtf8(raw, text, sizeof text);
    streamWorkerSetTitle(d->stream, text);
}

// --- MP3 ---------------------------------------------------------------------------

int runMp3(decode_t* d)
{
    int error = 0;
    mpg123_handle* mp3 = mpg123_new(nullptr, &error);
    if (!mp3) {
        snprintf(d->why, d->whySize, "MP3 decoder: %s", mpg123_plain_strerror(error));
        return 0;
    }
    mpg123_param(mp3, MPG123_ADD_FLAGS, MPG123_QUIET, 0); // damage costs a resync, not a line per frame
    mpg123_param(mp3, MPG123_RESYNC_LIMIT, -1, 0);        // the no-music bound ends a hopeless search
    mpg123_format_none(mp3);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; i++)
        mpg123_format(mp3, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    mpg123_open_feed(mp3);
    long rate = 0;
    int channels = 0, encoding = 0;
    while (!stopped(d)) {
        size_t done = 0;
        int result = mpg123_read(mp3, d->output, sizeof d->output, &done);
        if (result == MPG123_NEW_FORMAT)
            mpg123_getformat(mp3, &rate, &channels, &encoding);
        if (done && channels > 0)
            emitInterleaved(d, d->output, done / (sizeof(float) * size_t(channels)), channels, rate);
        if (result == MPG123_NEED_MORE) {
            size_t n = readInput(d, d->input, sizeof d->input);
            if (!n)
                break;
            mpg123_feed(mp3, d->input, n);
        } else if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            snprintf(d->why, d->whySize, "MP3 decoder: %s", mpg123_strerror(mp3));
            break;
        }
    }
    mpg123_delete(mp3);
    return d->decoded;
}

// --- Ogg Vorbis ----------------------------------------------------------------------

size_t readVorbis(void* buffer, size_t size, size_t count, void* context)
{
    if (!size)
        return 0;
    return readInput(static_cast<decode_t*>(context), static_cast<unsigned char*>(buffer), size * count) / size;
}

void vorbisTitle(decode_t* d, OggVorbis_File* file)
{
    vorbis_comment* comments = ov_comment(file, -1);
    if (comments)
        takeComments(d, vorbis_comment_query(comments, "ARTIST", 0), vorbis_comment_query(comments, "TITLE", 0));
}

int runVorbis(decode_t* d)
{
    OggVorbis_File file;
    ov_callbacks callbacks = {readVorbis, nullptr, nullptr, nullptr}; // no seeking: a stream
    if (ov_open_callbacks(d, &file, nullptr, 0, callbacks) != 0) {
        if (!d->why[0])
            snprintf(d->why, d->whySize, "no Ogg Vorbis stream");
        return 0;
    }
    int lastLink = -1;
    while (!stopped(d)) {
        float** planes = nullptr;
        int link = 0;
        long frames = ov_read_float(&file, &planes, FRAMES, &link);
        if (frames == OV_HOLE)
            continue; // a lost page: the music goes on after it
        if (frames <= 0)
            break;
        vorbis_info* info = ov_info(&file, -1);
        if (link != lastLink)
            vorbisTitle(d, &file);
        lastLink = link;
        if (!info || info->channels < 1)
            break;
        for (long i = 0; i < frames; i++) {
            d->stereo[i * 2] = planes[0][i];
            d->stereo[i * 2 + 1] = planes[info->channels > 1 ? 1 : 0][i];
        }
        emit(d, d->stereo, size_t(frames), info->rate);
    }
    ov_clear(&file);
    return d->decoded;
}

// --- Ogg Opus -------------------------------------------------------------------------

int readOpus(void* context, unsigned char* buffer, int size)
{
    return size > 0 ? int(readInput(static_cast<decode_t*>(context), buffer, size_t(size))) : 0;
}

int runOpus(decode_t* d)
{
    OpusFileCallbacks callbacks = {readOpus, nullptr, nullptr, nullptr};
    int error = 0;
    OggOpusFile* file = op_open_callbacks(d, &callbacks, nullptr, 0, &error);
    if (!file) {
        if (!d->why[0])
            snprintf(d->why, d->whySize, "no Ogg Opus stream");
        return 0;
    }
    int lastLink = -1;
    while (!stopped(d)) {
        int frames = op_read_float_stereo(file, d->output, FRAMES * 2);
        if (frames == OP_HOLE)
            continue;
        if (frames <= 0)
            break;
        int link = op_current_link(file);
        if (link != lastLink) {
            const OpusTags* tags = op_tags(file, -1);
            if (tags)
                takeComments(d, opus_tags_query(tags, "ARTIST", 0), opus_tags_query(tags, "TITLE", 0));
        }
        lastLink = link;
        emit(d, d->output, size_t(frames), 48000); // Opus always decodes at 48 kHz
    }
    op_free(file);
    return d->decoded;
}

// --- FLAC ------------------------------------------------------------------------------

FLAC__StreamDecoderReadStatus readFlac(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                       void* context)
{
    *bytes = readInput(static_cast<decode_t*>(context), buffer, *bytes);
    return *bytes ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

FLAC__StreamDecoderWriteStatus writeFlac(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                         const FLAC__int32* const planes[], void* context)
{
    decode_t* d = static_cast<decode_t*>(context);
    unsigned channels = frame->header.channels, bits = frame->header.bits_per_sample;
    if (channels < 1 || bits < 4 || bits > 32)
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    float scale = 1.0f / float(1u << (bits - 1));
    unsigned right = channels > 1 ? 1 : 0;
    for (unsigned done = 0; done < frame->header.blocksize && !stopped(d);) {
        unsigned n = frame->header.blocksize - done < unsigned(FRAMES) ? frame->header.blocksize - done : FRAMES;
        for (unsigned i = 0; i < n; i++) {
            d->stereo[i * 2] = float(planes[0][done + i]) * scale;
            d->stereo[i * 2 + 1] = float(planes[right][done + i]) * scale;
        }
        emit(d, d->stereo, n, long(frame->header.sample_rate));
        done += n;
    }
    return stopped(d) ? FLAC__STREAM_DECODER_WRITE_STATUS_ABORT : FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void metadataFlac(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* context)
{
    if (block->type != FLAC__METADATA_TYPE_VORBIS_COMMENT)
        return;
    char artist[STREAM_TITLE_SIZE] = "", title[STREAM_TITLE_SIZE] = "";
    const FLAC__StreamMetadata_VorbisComment& comments = block->data.vorbis_comment;
    for (FLAC__uint32 i = 0; i < comments.num_comments; i++) {
        const char* entry = reinterpret_cast<const char*>(comments.comments[i].entry);
        int length = int(comments.comments[i].length);
        if (length > 6 && strncasecmp(entry, "TITLE=", 6) == 0)
            snprintf(title, sizeof title, "%.*s", length - 6, entry + 6);
        else if (length > 7 && strncasecmp(entry, "ARTIST=", 7) == 0)
            snprintf(artist, sizeof artist, "%.*s", length - 7, entry + 7);
    }
    takeComments(static_cast<decode_t*>(context), artist, title);
}

void errorFlac(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*)
{
    // Lost sync or a damaged frame: the decoder looks for the next one.
}

int runFlac(decode_t* d)
{
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    if (!decoder)
        return 0;
    FLAC__stream_decoder_set_metadata_respond(decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (FLAC__stream_decoder_init_stream(decoder, readFlac, nullptr, nullptr, nullptr, nullptr, writeFlac,
                                         metadataFlac, errorFlac, d) == FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        while (!stopped(d) && FLAC__stream_decoder_process_single(decoder)) {
            FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder);
            if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED)
                break;
        }
    }
    FLAC__stream_decoder_delete(decoder);
    return d->decoded;
}

// Opus announces itself in its first packet, on the first page.
int isOpus(const unsigned char* head, size_t size)
{
    for (size_t i = 0; i + 8 <= size; i++)
        if (memcmp(head + i, "OpusHead", 8) == 0)
            return 1;
    return 0;
}

} // namespace

int streamDecodeRun(stream_t* stream, streamBytes_t* bytes, int kind, const unsigned char* head,
                    size_t headSize, char* why, size_t whySize)
{
    decode_t* d = static_cast<decode_t*>(calloc(1, sizeof(decode_t)));
    if (!d)
        return 0;
    d->stream = stream;
    d->bytes = bytes;
    d->head = head;
    d->headSize = headSize;
    d->why = why;
    d->whySize = whySize;
    d->musicAt = seconds();
    int decoded = 0;
    if (kind == STREAM_MP3)
        decoded = runMp3(d);
    else if (kind == STREAM_OGG)
        decoded = isOpus(head, headSize) ? runOpus(d) : runVorbis(d);
    else if (kind == STREAM_FLAC)
        decoded = runFlac(d);
    if (d->resampler)
        src_delete(d->resampler);
    free(d);
    return decoded;
}
