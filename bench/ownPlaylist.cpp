// What a folder of a person's own music costs before the player screen's
// first frame: 200 generated songs (WAV, FLAC, Ogg Vorbis and MP3 in turn,
// 2 s each) read into the song table, and the first frame drawn with the
// first song's title and length. The folder is read by name only; a song's
// header is read the first time its length or title is asked for, so the
// first frame reads one. BM_readEveryHeader is what reading all 200 up
// front would cost instead. The files stay in the page cache between runs.
// The console line per entry goes to /dev/null.
//
//     tools/with-xvfb.sh ./build/bench_ownPlaylist --benchmark_repetitions=5

#include "bench/benchWindow.h"
#include "system/audio/sound.h"
#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

const int SONGS = 200;

bool writeSong(const std::string& path, int format, int rate)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<float> samples(size_t(rate) * 2);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = float(0.4 * sin(2 * M_PI * 440 * double(i) / rate));
    bool ok = sf_writef_float(file, samples.data(), sf_count_t(samples.size())) == sf_count_t(samples.size());
    return sf_close(file) == 0 && ok;
}

// The folder, made once per process; "" when it cannot be written.
const std::string& folder(void)
{
    static std::string made;
    if (!made.empty())
        return made;
    char pattern[] = "/tmp/tessellune-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return made;
    static const struct {
        const char* extension;
        int format;
    } kinds[] = {{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                 {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                 {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                 {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}};
    for (int i = 0; i < SONGS; i++) {
        char name[64];
        snprintf(name, sizeof name, "/%03d Song.%s", i + 1, kinds[i % 4].extension);
        if (!writeSong(pattern + std::string(name), kinds[i % 4].format, 22050))
            return made;
    }
    made = pattern;
    return made;
}

void removeFolder(void)
{
    if (!folder().empty() && system(("rm -rf '" + folder() + "'").c_str()) != 0)
        fprintf(stderr, "bench_ownPlaylist: could not remove %s\n", folder().c_str());
}

bool ready(benchmark::State& state)
{
    if (folder().empty()) {
        state.SkipWithError("cannot write the songs to /tmp");
        return false;
    }
    return true;
}

void openFolder(void)
{
    char reason[256];
    if (!soundOpenPlaylist(folder().c_str(), reason, sizeof reason) || soundGetPlaylistSize() != SONGS)
        abort();
}

void BM_openFolder(benchmark::State& state)
{
    if (!ready(state))
        return;
    for (auto _ : state) {
        openFolder();
        // What the first frame shows: the first song's title and length.
        benchmark::DoNotOptimize(soundGetSongName(0));
        benchmark::DoNotOptimize(soundGetSongLength(0));
    }
    soundClearPlaylist();
}
BENCHMARK(BM_openFolder)->Unit(benchmark::kMillisecond);

void BM_readEveryHeader(benchmark::State& state)
{
    if (!ready(state))
        return;
    for (auto _ : state) {
        openFolder();
        for (int i = 0; i < SONGS; i++)
            benchmark::DoNotOptimize(soundGetSongLength(i));
    }
    soundClearPlaylist();
}
BENCHMARK(BM_readEveryHeader)->Unit(benchmark::kMillisecond);

// The closest measurable stand-in for start to first frame: the folder,
// the player screen built, and its first frame drawn and shown.
void BM_folderToFirstFrame(benchmark::State& state)
{
    if (!ready(state))
        return;
    if (!benchPlayerWindow(state))
        return;
    resetViewport();
    for (auto _ : state) {
        openFolder();
        menuInit();
        menuAddTimeLine();
        gui_component_set_text(get_gui_component(5), soundGetSongName(0));
        menuSetPlayTime(0, 0, soundGetSongLength(0));
        menuDraw();
        SDL_GL_SwapBuffers();
    }
    soundClearPlaylist();
}
BENCHMARK(BM_folderToFirstFrame)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!freopen("/dev/null", "w", stdout))
        return 1;
    benchmark::Initialize(&argc, argv);
    // The results go to the standard error: the standard output is gone.
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeFolder();
    return 0;
}
