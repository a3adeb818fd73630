// Arbitrary bytes as a music file: straight through each decoder (module and
// sampled audio, whatever the probes say; first the header read for a
// length and title, then the music), then through the layer as a sound that
// is played, seeked and released. Rendering is bounded so one
// input costs at most about a second of sound per path.
// Seeds (fuzz/corpus/audioSound): 0.02-0.1 s tones of 440 Hz written with
// libsndfile in each format, and `tools/makeModule.py --orders 1 --rows 8`.

#include "system/audio/audio.h"
#include "system/audio/audioDecoder.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

const size_t MOST_FRAMES = 44100;
float block[2 * 4096];

void exerciseDecoder(const audioDecoder_t* decoder, const uint8_t* data, size_t size)
{
    decoder->probe(data, size);
    double seconds;
    static audioTags_t tags;
    decoder->info(data, size, AUDIO_RATE, &seconds, &tags);
    char reason[256];
    void* state = decoder->open(data, size, AUDIO_RATE, reason, sizeof reason);
    if (!state)
        return;
    size_t done = 0;
    for (size_t got = 1; got && done < MOST_FRAMES; done += got) {
        got = decoder->read(state, block, 4096);
        for (size_t i = 0; i < got * 2; i++)
            if (std::isnan(block[i]))
                __builtin_trap(); // a decoder must not hand out NaN
    }
    if (decoder->seek(state, 0.25) >= 0)
        decoder->read(state, block, 1024);
    decoder->seek(state, 1e9);
    if (decoder->modulePosition) {
        int order, row;
        decoder->modulePosition(state, &order, &row);
    }
    decoder->close(state);
}

} // namespace

// libsndfile 1.2.0 leaks the Vorbis decoder's set-up (5.7 KB) when an Ogg
// file's headers are damaged; nothing outside the library can free it.
extern "C" const char* __lsan_default_suppressions(void)
{
    return "leak:vorbis_info_init\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    audioSetOutput(AUDIO_OUTPUT_PULL);
    audioSystemInit(4);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    exerciseDecoder(&audioDecoderModule, data, size);
    exerciseDecoder(&audioDecoderSampled, data, size);

    audioSound_t sound;
    if (audioSystemCreateSoundMemory(data, size, &sound) != AUDIO_OK)
        return 0;
    audioChannel_t channel;
    if (audioSystemPlaySound(sound, 0, &channel) == AUDIO_OK) {
        audioRender(block, 4096);
        audioChannelSetPosition(channel, 100, AUDIO_TIME_MS);
        audioRender(block, 4096);
        uint32_t position;
        audioChannelGetPosition(channel, &position, AUDIO_TIME_ROW);
    }
    audioSoundRelease(sound);
    return 0;
}
