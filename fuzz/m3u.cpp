// The readers of lists a person names on arbitrary bytes: the M3U reader,
// and, for bytes that start like a PLS file, the PLS reader in the mode
// that keeps entries without a length; the list's folder goes by the size. Every entry must be
// readable, and clearing must free it all. Only the file names are read
// back: a title or length would open the file an entry names.

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
    static const char* const paths[] = {"list.m3u", "music/list.m3u8", "C:\\music\\list.pls"};
    const char* path = paths[size % 3];
    const char* text = reinterpret_cast<const char*>(data);
    soundClearPlaylist();
    if (size && data[0] == '[')
        soundParseOwnPlaylist(text, size, path);
    else
        soundParseM3u(text, size, path);
    size_t total = 0;
    for (int i = -1; i <= soundGetPlaylistSize(); i++)
        total += strlen(soundGetSongFilename(i));
    soundClearPlaylist();
    return total == size_t(-1);
}
