// The consumer side of the frame capture: a worker thread that compresses
// and writes the frames the main thread has read back, so that the PNG
// encoding of one frame runs while the renderer draws the next. The main
// thread fills a slot of a small ring and hands it over; the worker gives the
// slot back when the file is written. Nothing here touches OpenGL.

#include "system/capture/captureWriter.h"

#include "system/capture/capture.h"

#include "system/graphics/image/image.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

// Frames read back but not yet written. Two keep the worker busy while the
// next frame is drawn; more would only hold more memory (3.5 MiB a 720p
// frame) when the encoder is the slower side.
const int QUEUED_FRAMES = 2;
const size_t MOST_PATH = 4096;

struct slot_t {
    unsigned char* pixels = nullptr;
    size_t capacity = 0;
    uint32_t w = 0, h = 0;
    char path[MOST_PATH] = "";
};

struct writer_t {
    std::thread worker;
    std::mutex lock; // guards everything below but the pixels of a slot in use
    std::condition_variable changed;
    slot_t slot[QUEUED_FRAMES];
    int head = 0;  // the oldest frame waiting to be written
    int count = 0; // frames handed over and not yet written
    bool filling = false;
    bool stopping = false;
    bool running = false;
    char failed[MOST_PATH] = ""; // the first frame that could not be written
};

writer_t writer;

void writeFrames(void)
{
    std::unique_lock<std::mutex> hold(writer.lock);
    for (;;) {
        writer.changed.wait(hold, [] { return writer.count > 0 || writer.stopping; });
        if (writer.count == 0)
            return;
        slot_t* slot = &writer.slot[writer.head];
        // After a failure the run is over: the frames still queued are dropped.
        bool skip = writer.failed[0] != 0;
        hold.unlock();
        imageData_t frame = {"frame", slot->path, slot->w, slot->h, 3, reinterpret_cast<uintptr_t>(slot->pixels)};
        bool written = skip || imageSavePNG(slot->path, &frame);
        hold.lock();
        if (!written)
            snprintf(writer.failed, sizeof writer.failed, "%s", slot->path);
        writer.head = (writer.head + 1) % QUEUED_FRAMES;
        writer.count--;
        writer.changed.notify_all();
    }
}

} // namespace

void captureFramesStart(void)
{
    if (writer.running)
        return;
    writer.head = writer.count = 0;
    writer.filling = writer.stopping = false;
    writer.failed[0] = 0;
    writer.running = true;
    writer.worker = std::thread(writeFrames);
}

unsigned char* captureWriterSlot(uint32_t w, uint32_t h, const char* path)
{
    std::unique_lock<std::mutex> hold(writer.lock);
    if (!writer.running || writer.filling)
        return nullptr;
    writer.changed.wait(hold, [] { return writer.count < QUEUED_FRAMES; });
    slot_t* slot = &writer.slot[(writer.head + writer.count) % QUEUED_FRAMES];
    size_t size = size_t(w) * size_t(h) * 4;
    if (slot->capacity < size) {
        free(slot->pixels);
        slot->pixels = static_cast<unsigned char*>(malloc(size));
        slot->capacity = slot->pixels ? size : 0;
        if (!slot->pixels)
            return nullptr;
    }
    slot->w = w;
    slot->h = h;
    snprintf(slot->path, sizeof slot->path, "%s", path);
    writer.filling = true;
    return slot->pixels;
}

void captureWriterQueue(void)
{
    std::lock_guard<std::mutex> hold(writer.lock);
    if (!writer.filling)
        return;
    writer.filling = false;
    writer.count++;
    writer.changed.notify_all();
}

const char* captureFramesFailure(void)
{
    std::lock_guard<std::mutex> hold(writer.lock);
    return writer.failed[0] ? writer.failed : nullptr;
}

int captureFramesFinish(void)
{
    if (!writer.running)
        return 1;
    {
        std::lock_guard<std::mutex> hold(writer.lock);
        writer.filling = false; // a slot taken and never queued is not written
        writer.stopping = true;
        writer.changed.notify_all();
    }
    writer.worker.join();
    writer.running = false;
    for (slot_t& slot : writer.slot) {
        free(slot.pixels);
        slot = slot_t();
    }
    return writer.failed[0] == 0;
}
