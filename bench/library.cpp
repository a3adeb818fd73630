// A library of 100,000 songs in 5,000 album folders (under 50 artists):
// what opening it costs before the player screen's first frame, the memory
// its table holds beyond a 10-song list's, and NEXT moving through it. The
// files are empty (only names are read before a song plays; the first
// song's header read finds nothing and costs what a failed look costs).
// BM_findFloor is `find DIR -type f | wc -l` on the same tree: the floor
// for any walk. The tree is made once under /tmp and removed at the end.
//
//     tools/with-xvfb.sh ./build/bench_library --benchmark_repetitions=3

#include "bench/benchWindow.h"
#include "system/audio/sound.h"
#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

const int ARTISTS = 50, ALBUMS = 100, SONGS = 20; // 5,000 albums, 100,000 songs
const int SMALL_LIST = 10;

std::string makeTree(void)
{
    char pattern[] = "/tmp/tessellune-library-XXXXXX";
    if (!mkdtemp(pattern))
        return "";
    std::string root = pattern;
    mkdir((root + "/small").c_str(), 0755);
    for (int s = 0; s < SMALL_LIST; s++)
        close(open((root + "/small/" + std::to_string(s) + ".flac").c_str(), O_CREAT | O_WRONLY, 0644));
    mkdir((root + "/library").c_str(), 0755);
    for (int a = 0; a < ARTISTS; a++) {
        std::string artist = root + "/library/Artist " + std::to_string(a);
        mkdir(artist.c_str(), 0755);
        for (int b = 0; b < ALBUMS; b++) {
            std::string album = artist + "/Album " + std::to_string(b);
            mkdir(album.c_str(), 0755);
            for (int s = 0; s < SONGS; s++) {
                char name[64];
                snprintf(name, sizeof name, "/%02d Song number %d.flac", s + 1, s + 1);
                int fd = open((album + name).c_str(), O_CREAT | O_WRONLY, 0644);
                if (fd < 0)
                    return "";
                close(fd);
            }
        }
    }
    return root;
}

const std::string& tree(void)
{
    static std::string made = makeTree();
    return made;
}

long residentKb(void)
{
    long pages = 0, resident = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (statm) {
        if (fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void openList(const std::string& path, int songs)
{
    char reason[256];
    if (!soundOpenPlaylist(path.c_str(), reason, sizeof reason) || soundGetPlaylistSize() != songs)
        abort();
}

bool ready(benchmark::State& state)
{
    if (tree().empty())
        state.SkipWithError("cannot write the tree to /tmp");
    return !tree().empty();
}

void firstFrame(const std::string& path, int songs)
{
    openList(path, songs);
    menuInit();
    menuAddTimeLine();
    gui_component_set_text(get_gui_component(5), soundGetSongName(0));
    menuSetPlayTime(0, 0, soundGetSongLength(0));
    menuDraw();
    SDL_GL_SwapBuffers();
}

// Start to first frame, as far as it can be measured in one process: the
// tree into the table, the player screen built, its first frame shown.
// The memory counter is the resident growth over the same on 10 songs
// (measured once, before the first library run).
void BM_libraryToFirstFrame(benchmark::State& state)
{
    if (!ready(state))
        return;
    if (!benchPlayerWindow(state))
        return;
    resetViewport();
    static long small = (firstFrame(tree() + "/small", SMALL_LIST), residentKb());
    for (auto _ : state)
        firstFrame(tree() + "/library", ARTISTS * ALBUMS * SONGS);
    state.counters["extraMB"] = double(residentKb() - small) / 1024.0;
}
BENCHMARK(BM_libraryToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(1);

// NEXT through the whole library, not playing: each step is O(1).
void BM_nextThroughLibrary(benchmark::State& state)
{
    if (!ready(state))
        return;
    if (soundGetPlaylistSize() != ARTISTS * ALBUMS * SONGS)
        openList(tree() + "/library", ARTISTS * ALBUMS * SONGS);
    for (auto _ : state)
        soundNextTrack();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_nextThroughLibrary);

void BM_findFloor(benchmark::State& state)
{
    if (!ready(state))
        return;
    std::string command = "find '" + tree() + "/library' -type f | wc -l >/dev/null";
    for (auto _ : state)
        if (system(command.c_str()) != 0)
            abort();
}
BENCHMARK(BM_findFloor)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (!freopen("/dev/null", "w", stdout))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    soundReset();
    if (!tree().empty() && system(("rm -rf '" + tree() + "'").c_str()) != 0)
        fprintf(stderr, "bench_library: could not remove %s\n", tree().c_str());
    return 0;
}
