// The playlist reader on arbitrary bytes, under three kinds of playlist
// path (no folder, a Unix folder, a Windows folder): every entry it makes
// must be readable through the getters, and clearing must free it all.

#include "system/audio/sound.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Each entry announces itself on the standard output; keep the run quiet.
    if (!freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const paths[] = {"playlist.pls", "data/music/playlist.pls", "C:\\music\\list.pls"};
    const char* path = paths[size ? data[0] % 3 : 0];
    soundClearPlaylist();
    soundParsePlaylist(reinterpret_cast<const char*>(data), size, path);
    size_t total = 0;
    for (int i = -1; i <= soundGetPlaylistSize(); i++) {
        total += strlen(soundGetSongName(i)) + strlen(soundGetSongFilename(i));
        total += size_t(soundGetSongLength(i) & 1);
    }
    soundClearPlaylist();
    return total == size_t(-1);
}
