// Song start, memory, playing cost and seeking for ten-minute songs in every
// format the player reads, and seeking in hour-long FLAC and MP3 songs. The songs are made at run time (libsndfile for
// the sampled formats, tools/makeModule.py for the module) in
// /tmp/tessellune-bench-songs, kept there for the next run.
//
//   ./build/bench_soundPlayback --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "system/audio/audio.h"
#include "system/audio/sound.h"
#include "system/timer/timer.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

const char* const DIR = "/tmp/tessellune-bench-songs";
const int SECONDS = 600;

const int LONG_SECONDS = 3600;

struct format_t {
    const char* file;
    int format; // 0: a module from the tool
    int rate;   // Opus has no 44.1 kHz: it is coded at 48 kHz
    int seconds;
};

const format_t formats[] = {
    {"song.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, SECONDS},
    {"song.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, SECONDS},
    {"song.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, SECONDS},
    {"song.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, SECONDS},
    {"song.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, SECONDS},
    {"song.mod", 0, 0, SECONDS},
    {"hour.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, LONG_SECONDS},
    {"hour.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, LONG_SECONDS},
};
const int TEN_MINUTE_SONGS = 6; // the hour-long ones follow

std::string pathOf(int i)
{
    return std::string(DIR) + "/" + formats[i].file;
}

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

// Music-like test sound: a slowly changing chord with vibrato, a pulse and
// a little noise, so the encoders work as hard as on real songs.
bool writeSong(const std::string& path, int format, int rate, int seconds)
{
    SF_INFO info;
    memset(&info, 0, sizeof info);
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    std::string part = path + ".part";
    SNDFILE* file = sf_open(part.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<float> second(size_t(rate) * 2);
    unsigned noise = 1;
    for (int s = 0; s < seconds; s++) {
        const double chord[3] = {220.0 * pow(2, (s / 8 % 5) / 12.0), 277.2, 329.6};
        for (int i = 0; i < rate; i++) {
            double t = s + double(i) / rate;
            double v = 0;
            for (double f : chord)
                v += sin(2 * M_PI * f * t + 0.3 * sin(2 * M_PI * 5 * t)) / 6;
            v *= 0.6 + 0.4 * sin(2 * M_PI * 2 * t);
            noise = noise * 1664525u + 1013904223u;
            float hiss = float(int(noise >> 16) - 32768) / 32768.0f * 0.02f;
            second[size_t(i) * 2] = float(v) + hiss;
            second[size_t(i) * 2 + 1] = float(v * 0.9) - hiss;
        }
        sf_writef_float(file, second.data(), rate);
    }
    return sf_close(file) == 0 && rename(part.c_str(), path.c_str()) == 0;
}

bool makeSongs(void)
{
    mkdir(DIR, 0755);
    for (int i = 0; i < int(sizeof formats / sizeof formats[0]); i++) {
        std::string path = pathOf(i);
        if (exists(path))
            continue;
        fprintf(stderr, "making %s ...\n", path.c_str());
        bool ok;
        if (formats[i].format) {
            ok = writeSong(path, formats[i].format, formats[i].rate, formats[i].seconds);
        } else {
            // 80 orders of 7.68 s: 10 min 14 s.
            std::string command = "/usr/bin/python3 " TESSELLUNE_SOURCE_DIR "/tools/makeModule.py --orders 80 " + path + " >/dev/null";
            ok = system(command.c_str()) == 0;
        }
        if (!ok) {
            fprintf(stderr, "cannot make %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

void loadPlaylist(void)
{
    std::string text;
    for (const format_t& f : formats)
        text += std::string("File=") + f.file + "\nTitle=" + f.file + "\nLength=600\n";
    std::string path = std::string(DIR) + "/playlist.pls";
    // The reader announces each entry; keep the benchmark's output clean.
    fflush(stdout);
    int saved = dup(1), quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
    soundParsePlaylist(text.data(), text.size(), path.c_str());
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(quiet);
}

void startPull(void)
{
    soundReset();
    audioSetOutput(AUDIO_OUTPUT_PULL);
    timerInit(-1.0f);
    loadPlaylist();
    soundInit();
}

double cpuSeconds(void)
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Song start: the whole soundPlaySong (system torn down and made anew, file
// loaded, decoder opened) plus the first mixed block.
void SongStart(benchmark::State& state)
{
    int song = int(state.range(0));
    state.SetLabel(formats[song].file);
    startPull();
    float block[512 * 2];
    for (auto _ : state) {
        soundPlaySong(song);
        audioRender(block, 512);
        benchmark::DoNotOptimize(block[0]);
    }
    soundReset();
}

// The same on SDL's dummy device (open once, before the loop): the song
// start alone, as the player's main thread sees it.
void SongStartOnDevice(benchmark::State& state)
{
    int song = int(state.range(0));
    state.SetLabel(formats[song].file);
    soundReset();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    timerInit(-1.0f);
    loadPlaylist();
    soundInit();
    for (auto _ : state)
        soundPlaySong(song);
    soundReset();
    unsetenv("SDL_AUDIODRIVER");
}

// Playing cost: decoding, resampling and mixing 60 s of the song, as a
// share of one core (CPU time over the sound's duration).
void PlayingCost(benchmark::State& state)
{
    int song = int(state.range(0));
    state.SetLabel(formats[song].file);
    startPull();
    soundPlaySong(song);
    std::vector<float> buffer(1024 * 2);
    double cpu = 0, played = 0;
    for (auto _ : state) {
        double before = cpuSeconds();
        for (int i = 0; i < 60 * 44100 / 1024; i++)
            audioRender(buffer.data(), 1024);
        cpu += cpuSeconds() - before;
        played += double(60 * 44100 / 1024 * 1024) / 44100;
        soundSetPosition(0);
    }
    state.counters["core_percent"] = 100.0 * cpu / played;
    soundReset();
}

// Seeks with `seek` to spread-out places within the first `spanMs` of the
// song, a block mixed from each as playing would; worst_ms is the largest
// distance between the place asked for and the place the song plays from.
void seekAround(benchmark::State& state, unsigned spanMs, void (*seek)(float seconds))
{
    int song = int(state.range(0));
    state.SetLabel(formats[song].file);
    startPull();
    soundPlaySong(song);
    float block[512 * 2];
    unsigned step = 0;
    double worst = 0;
    for (auto _ : state) {
        step = step * 7919 + 104729;
        float target = float(step % spanMs) / 1000.0f;
        seek(target);
        state.PauseTiming();
        worst = fmax(worst, fabs(double(soundGetSongPosition()) - double(target)));
        audioRender(block, 512);
        state.ResumeTiming();
    }
    state.counters["worst_ms"] = worst * 1000.0;
    soundReset();
}

// Seek: soundSetPosition across the ten minutes.
void Seek(benchmark::State& state)
{
    seekAround(state, 590000, soundSetPosition);
}

// SeekLong: soundSeekTo, as a key or the progress bar does, across an
// hour-long song.
void SeekLong(benchmark::State& state)
{
    seekAround(state, unsigned(LONG_SECONDS * 1000 - 10000), soundSeekTo);
}

long statusKilobytes(const char* field)
{
    FILE* file = fopen("/proc/self/status", "r");
    char line[256];
    long value = -1;
    size_t length = strlen(field);
    while (file && fgets(line, sizeof line, file))
        if (strncmp(line, field, length) == 0)
            value = atol(line + length);
    if (file)
        fclose(file);
    return value;
}

// Peak resident size while the whole song plays, in a child process so
// nothing else this program did counts: reported as the growth over the
// size before the song started, beside the file's size.
void PeakMemory(benchmark::State& state)
{
    int song = int(state.range(0));
    state.SetLabel(formats[song].file);
    struct stat info;
    stat(pathOf(song).c_str(), &info);
    double growth = 0;
    for (auto _ : state) {
        int pipes[2];
        if (pipe(pipes) != 0)
            break;
        pid_t child = fork();
        if (child == 0) {
            startPull();
            long before = statusKilobytes("VmRSS:");
            FILE* reset = fopen("/proc/self/clear_refs", "w");
            if (reset) {
                fputs("5", reset); // restart the peak from here
                fclose(reset);
            }
            soundPlaySong(song);
            std::vector<float> buffer(4096 * 2);
            for (long done = 0; done < long(SECONDS + 20) * 44100; done += 4096)
                audioRender(buffer.data(), 4096);
            long peak = statusKilobytes("VmHWM:");
            long kilobytes = peak - before;
            if (write(pipes[1], &kilobytes, sizeof kilobytes) != sizeof kilobytes)
                _exit(1);
            _exit(0);
        }
        long kilobytes = 0;
        if (read(pipes[0], &kilobytes, sizeof kilobytes) != sizeof kilobytes)
            kilobytes = -1;
        waitpid(child, nullptr, 0);
        close(pipes[0]);
        close(pipes[1]);
        growth = double(kilobytes) / 1024.0;
    }
    state.counters["file_MB"] = double(info.st_size) / 1048576.0;
    state.counters["peak_growth_MB"] = growth;
    state.counters["over_file_MB"] = growth - double(info.st_size) / 1048576.0;
}

void everyFormat(benchmark::internal::Benchmark* b)
{
    for (int i = 0; i < TEN_MINUTE_SONGS; i++)
        b->Arg(i);
}

void hourLong(benchmark::internal::Benchmark* b)
{
    for (int i = TEN_MINUTE_SONGS; i < int(sizeof formats / sizeof formats[0]); i++)
        b->Arg(i);
}

BENCHMARK(SongStart)->Apply(everyFormat)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SongStartOnDevice)->Apply(everyFormat)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Seek)->Apply(everyFormat)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SeekLong)->Apply(hourLong)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlayingCost)->Apply(everyFormat)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PeakMemory)->Apply(everyFormat)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!makeSongs())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
