// Tracker modules through libopenmpt, rendered straight at the device rate.

#include "system/audio/audioDecoder.h"

#include <libopenmpt/libopenmpt.h>

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct moduleState_t {
    openmpt_module* module;
    int rate;
};

int probe(const unsigned char* data, size_t size)
{
    int result = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, data, size, size,
                                           openmpt_log_func_silent, nullptr, nullptr, nullptr,
                                           nullptr, nullptr);
    return result == OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS;
}

// An XM's order table holds 256 bytes, so its orders and the patterns they
// can name are at most 256 each. A damaged header that claims tens of
// thousands of either makes the library step through days of music at
// load, taking seconds and gigabytes for a file of a few hundred kB.
const size_t XM_HEADER_END = 74;
const int XM_MOST_ORDERS = 256, XM_MOST_PATTERNS = 256;

int readLittle16(const unsigned char* p)
{
    return p[0] | p[1] << 8;
}

int beyondFormat(const unsigned char* data, size_t size)
{
    if (size < XM_HEADER_END || memcmp(data, "Extended Module: ", 17) != 0)
        return 0;
    return readLittle16(data + 64) > XM_MOST_ORDERS || readLittle16(data + 70) > XM_MOST_PATTERNS;
}

void* open(const unsigned char* data, size_t size, int rate, char* reason, size_t reasonSize)
{
    assert(rate > 0);
    if (beyondFormat(data, size)) {
        snprintf(reason, reasonSize, "not a playable module (more orders or patterns than the format holds)");
        return nullptr;
    }
    int error = 0;
    const char* message = nullptr;
    openmpt_module* module = openmpt_module_create_from_memory2(
        data, size, openmpt_log_func_silent, nullptr, nullptr, nullptr, &error, &message, nullptr);
    if (!module) {
        snprintf(reason, reasonSize, "not a playable module (%s)",
                 message && *message ? message : "unknown error");
        openmpt_free_string(message);
        return nullptr;
    }
    openmpt_free_string(message);
    // Played once, like every other sound: the playlist decides what follows.
    openmpt_module_set_repeat_count(module, 0);
    moduleState_t* state = static_cast<moduleState_t*>(calloc(1, sizeof(moduleState_t)));
    if (!state) {
        openmpt_module_destroy(module);
        snprintf(reason, reasonSize, "out of memory");
        return nullptr;
    }
    state->module = module;
    state->rate = rate;
    return state;
}

size_t read(void* opaque, float* stereo, size_t frames)
{
    moduleState_t* state = static_cast<moduleState_t*>(opaque);
    return openmpt_module_read_interleaved_float_stereo(state->module, state->rate, frames, stereo);
}

double seek(void* opaque, double seconds)
{
    moduleState_t* state = static_cast<moduleState_t*>(opaque);
    if (!(seconds >= 0) || seconds > openmpt_module_get_duration_seconds(state->module))
        return -1;
    return openmpt_module_set_position_seconds(state->module, seconds);
}

void close(void* opaque)
{
    moduleState_t* state = static_cast<moduleState_t*>(opaque);
    if (!state)
        return;
    openmpt_module_destroy(state->module);
    free(state);
}

void modulePosition(void* opaque, int* order, int* row)
{
    moduleState_t* state = static_cast<moduleState_t*>(opaque);
    *order = openmpt_module_get_current_order(state->module);
    *row = openmpt_module_get_current_row(state->module);
}

// The samples are skipped (they are most of a module's bytes and play no
// part in its length); the length is the library's estimate, found by
// stepping through the patterns without rendering.
int info(const unsigned char* data, size_t size, int, double* seconds, audioTags_t* tags)
{
    static const openmpt_module_initial_ctl skip[] = {
        {"load.skip_samples", "1"}, {"load.skip_plugins", "1"}, {nullptr, nullptr}};
    if (beyondFormat(data, size))
        return 0;
    openmpt_module* module = openmpt_module_create_from_memory2(
        data, size, openmpt_log_func_silent, nullptr, nullptr, nullptr, nullptr, nullptr, skip);
    if (!module)
        return 0;
    *seconds = openmpt_module_get_duration_seconds(module);
    const char* title = openmpt_module_get_metadata(module, "title");
    const char* artist = openmpt_module_get_metadata(module, "artist");
    snprintf(tags->title, sizeof tags->title, "%s", title ? title : "");
    snprintf(tags->artist, sizeof tags->artist, "%s", artist ? artist : "");
    tags->album[0] = 0; // modules carry none
    openmpt_free_string(title);
    openmpt_free_string(artist);
    openmpt_module_destroy(module);
    return 1;
}

int playsExtension(const char* extension)
{
    return openmpt_is_extension_supported(extension);
}

} // namespace

const audioDecoder_t audioDecoderModule = {"module", probe,          open, read, seek,
                                           close,    modulePosition, info, playsExtension};
