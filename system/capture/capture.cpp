#include "system/capture/capture.h"

#include "system/audio/audio.h"
#include "system/capture/captureWriter.h"
#include "system/debug/debugMisuse.h"
#include "system/timer/timer.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int WAV_HEADER = 44;
const uint64_t MOST_WAV_BYTES = 0xFFFFFFFFull - WAV_HEADER; // the RIFF sizes are 32-bit

struct capture_t {
    int fps = 0;
    uint64_t frame = 0;
    FILE* wav = nullptr;
    char wavPath[4096] = "";
    uint64_t written = 0; // stereo frames in the file
    int failed = 0;
    int16_t block[2 * 4096];
};

capture_t capture;

// The frame timer reads a counter of `fps` ticks a second: the frame number.
int frameFrequency(uint64_t* ticksPerSecond)
{
    *ticksPerSecond = uint64_t(capture.fps);
    return 1;
}

uint64_t frameCounter(void)
{
    return capture.frame;
}

uint32_t frameMilliseconds(void)
{
    return uint32_t(capture.frame * 1000 / uint64_t(capture.fps));
}

void noSleep(uint32_t) {}

const timerPlatform_t framePlatform = {frameFrequency, frameCounter, frameMilliseconds, noSleep};

void putLittle(unsigned char* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void wavHeader(unsigned char* h, uint64_t frames)
{
    uint32_t data = uint32_t(frames * 4);
    memcpy(h, "RIFF", 4);
    putLittle(h + 4, data + WAV_HEADER - 8, 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    putLittle(h + 16, 16, 4); // the format chunk's size
    putLittle(h + 20, 1, 2);  // integer PCM
    putLittle(h + 22, 2, 2);  // stereo
    putLittle(h + 24, AUDIO_RATE, 4);
    putLittle(h + 28, AUDIO_RATE * 4, 4); // bytes a second
    putLittle(h + 32, 4, 2);              // bytes a frame
    putLittle(h + 34, 16, 2);             // bits a sample
    memcpy(h + 36, "data", 4);
    putLittle(h + 40, data, 4);
}

void writeSamples(const int16_t* samples, int frames)
{
    unsigned char bytes[sizeof capture.block];
    for (int i = 0; i < frames * 2; i++)
        putLittle(bytes + 2 * i, uint16_t(samples[i]), 2);
    if (fwrite(bytes, 4, size_t(frames), capture.wav) != size_t(frames))
        capture.failed = 1;
    capture.written += uint64_t(frames);
}

} // namespace

void captureClockInstall(int fps)
{
    // The clock divides by the rate.
    if (fps <= 0) {
        debugMisuse(__func__, "%d frames a second; the clock is left as it was", fps);
        return;
    }
    capture.fps = fps;
    capture.frame = 0;
    timerSetPlatform(&framePlatform);
}

void captureClockSetFrame(uint64_t frame)
{
    capture.frame = frame;
}

void captureClockRemove(void)
{
    timerSetPlatform(nullptr);
}

uint64_t captureSoundFramesBefore(uint64_t frame, int fps)
{
    if (fps <= 0) {
        debugMisuse(__func__, "%d frames a second", fps);
        return 0;
    }
    return frame * uint64_t(AUDIO_RATE) / uint64_t(fps);
}

int captureSaveFrame(const char* path)
{
    if (debugMisuseIfNull(path, __func__, "the path"))
        return 0;
    int w = getWindowScreenAreaWidth(), h = getWindowScreenAreaHeight();
    // Two negative sides would multiply into a small, valid-looking size.
    if (w <= 0 || h <= 0) {
        debugMisuse(__func__, "the drawing area is %d x %d; nothing saved", w, h);
        return 0;
    }
    if (captureFramesFailure())
        return 0;
    unsigned char* pixels = captureWriterSlot(uint32_t(w), uint32_t(h), path);
    if (!pixels)
        return 0;
    // Rows come bottom first, as the engine keeps images; the alpha byte of
    // the back buffer means nothing, so the file is RGB. RGBA is the layout
    // the software renderer reads back fastest, faster than RGB or its own
    // BGRA.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(getScreenPositionX(), getScreenPositionY(), w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    captureWriterQueue();
    return 1;
}

int captureSoundOpen(const char* path)
{
    if (debugMisuseIfNull(path, __func__, "the path"))
        return 0;
    if (capture.wav) {
        debugMisuse(__func__, "%s is still open; one sound file at a time", capture.wavPath);
        return 0;
    }
    capture.wav = fopen(path, "wb");
    if (!capture.wav)
        return 0;
    snprintf(capture.wavPath, sizeof capture.wavPath, "%s", path);
    capture.written = 0;
    capture.failed = 0;
    unsigned char header[WAV_HEADER];
    wavHeader(header, 0);
    if (fwrite(header, 1, sizeof header, capture.wav) != sizeof header)
        capture.failed = 1;
    return 1;
}

void captureSoundRender(uint64_t frames, int keep)
{
    const int most = int(sizeof capture.block / sizeof capture.block[0] / 2);
    while (frames > 0) {
        int n = frames < uint64_t(most) ? int(frames) : most;
        audioRender16(capture.block, n);
        if (keep && capture.wav && (capture.written + uint64_t(n)) * 4 <= MOST_WAV_BYTES)
            writeSamples(capture.block, n);
        frames -= uint64_t(n);
    }
}

uint64_t captureSoundFramesWritten(void)
{
    return capture.written;
}

int captureSoundClose(void)
{
    if (!capture.wav)
        return 0;
    unsigned char header[WAV_HEADER];
    wavHeader(header, capture.written);
    if (fseek(capture.wav, 0, SEEK_SET) != 0 || fwrite(header, 1, sizeof header, capture.wav) != sizeof header)
        capture.failed = 1;
    if (fclose(capture.wav) != 0)
        capture.failed = 1;
    capture.wav = nullptr;
    if (capture.failed)
        remove(capture.wavPath);
    return !capture.failed;
}
