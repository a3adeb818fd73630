// Writes a playlist of short songs in every format the player reads, for the
// soak and memory-check runs of the real program:
//   make_test_songs FOLDER [COUNT]
// FOLDER/playlist.pls names COUNT songs (20 unless given) of 2 to 5 seconds,
// taking WAV, FLAC, Ogg Vorbis, Opus, MP3 and a tracker module in turn, each
// at a rate and channel count of its own so the resampler and the channel
// folding run too. The playlist lengths are the songs' own lengths.

#include "tests/support/testSongs.h"

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct songFormat_t {
    const char* extension;
    const char* name;
    int format; // 0: a tracker module
    int rate;
    int channels;
};

const songFormat_t FORMATS[] = {
    {"wav", "WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1},
    {"flac", "FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2},
    {"ogg", "Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 2},
    {"opus", "Opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 1},
    {"mp3", "MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2},
    {"mod", "module", 0, 0, 0},
};
const int FORMAT_COUNT = int(sizeof FORMATS / sizeof FORMATS[0]);
const double ROW_SECONDS = 0.12; // the test module's speed 6 at 125 BPM

bool writeSong(const std::string& path, const songFormat_t& format, int seconds, double frequency)
{
    if (!format.format) {
        int rows = int(seconds / ROW_SECONDS + 0.5);
        return writeTestModule(path, 1, rows > 64 ? 64 : rows);
    }
    return writeTone(path, format.format, format.rate, format.channels, frequency, seconds, 0.4);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: make_test_songs FOLDER [COUNT]\n");
        return 2;
    }
    std::string folder = argv[1];
    int count = argc == 3 ? atoi(argv[2]) : 20;
    if (count < 1 || count > 256) {
        fprintf(stderr, "make_test_songs: COUNT must lie between 1 and 256\n");
        return 2;
    }
    std::string playlist = "[playlist]\n";
    for (int i = 0; i < count; i++) {
        const songFormat_t& format = FORMATS[i % FORMAT_COUNT];
        int seconds = 2 + i % 4;
        char file[64], title[64];
        snprintf(file, sizeof file, "song%02d.%s", i + 1, format.extension);
        snprintf(title, sizeof title, "Song %02d (%s)", i + 1, format.name);
        if (!writeSong(folder + "/" + file, format, seconds, 220.0 + 20.0 * i)) {
            fprintf(stderr, "make_test_songs: cannot write %s/%s (%s)\n", folder.c_str(), file,
                    sf_strerror(nullptr));
            return 1;
        }
        char lines[256];
        snprintf(lines, sizeof lines, "File%d=%s\nTitle%d=%s\nLength%d=%d\n", i + 1, file, i + 1,
                 title, i + 1, seconds);
        playlist += lines;
    }
    playlist += "NumberOfEntries=" + std::to_string(count) + "\nVersion=2\n";
    std::string path = folder + "/playlist.pls";
    if (!writeBytes(path, playlist.data(), playlist.size())) {
        fprintf(stderr, "make_test_songs: cannot write %s\n", path.c_str());
        return 1;
    }
    printf("make_test_songs: %d songs and playlist.pls in %s\n", count, folder.c_str());
    return 0;
}
