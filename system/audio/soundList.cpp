// Lists a person names on the command line, beside the PLS reader of
// sound.cpp: M3U / M3U8 playlists, folders of music and single music files.
// Entries without a length of their own get the music's, read when first
// needed, so that opening a folder looks at no file in it.

#include "system/audio/sound.h"

#include "system/audio/audio.h"
#include "system/audio/soundFolder.h"
#include "system/audio/soundText.h"
#include "system/audio/streamProtocol.h"
#include "system/io/io.h"

#include <sys/stat.h>

#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

const int TEXT_SIZE = 4096; // a line, a title, a path
// What is read of a file that is neither named a list nor music, to see
// whether it starts like one.
const size_t HEAD_SIZE = 64;

int fail(char* reason, size_t reasonSize, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(reason, reasonSize, format, args);
    va_end(args);
    return 0;
}

// Once per list: `added` is -1 when the song table was full.
void warnIfFull(const char* path, int added, int* warned)
{
    if (added < 0 && !*warned) {
        fprintf(stderr, "tessellune: %s: the song table is full; the rest are left out\n", path);
        *warned = 1;
    }
}

// --- M3U / M3U8 ------------------------------------------------------------

struct m3uReader_t {
    const char* path;
    char prefix[TEXT_SIZE];
    char line[TEXT_SIZE];
    size_t lineLength;
    int pendingLength; // from #EXTINF, for the next path; 0: none
    char pendingTitle[TEXT_SIZE];
    int tableFullWarned;
};

char* trimBlanks(char* text)
{
    while (*text == ' ' || *text == '\t')
        text++;
    size_t end = strlen(text);
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        end--;
    text[end] = 0;
    return text;
}

// "#EXTINF:" is followed by the seconds (-1: unknown), attributes others
// write (tvg-name="a, b"), and after the first comma outside quotes the title.
void takeExtinf(m3uReader_t* reader, const char* rest)
{
    long seconds = strtol(rest, nullptr, 10);
    reader->pendingLength = seconds > INT_MAX ? INT_MAX : seconds > 0 ? int(seconds) : 0;
    int quoted = 0;
    const char* c = rest;
    for (; *c && (quoted || *c != ','); c++)
        if (*c == '"')
            quoted = !quoted;
    char title[TEXT_SIZE];
    snprintf(title, sizeof title, "%s", *c ? c + 1 : "");
    soundTextToUtf8(trimBlanks(title), reader->pendingTitle, sizeof reader->pendingTitle);
}

// A path line makes an entry with what the #EXTINF before it said. The
// song ends with its music; the listed length is only shown until the
// music's own is known.
void addM3uEntry(m3uReader_t* reader, const char* value)
{
    char file[TEXT_SIZE];
    soundTextResolveFile(reader->prefix, value, file, sizeof file);
    int added = soundAddSongWithoutLength(file, reader->pendingTitle, reader->pendingLength);
    warnIfFull(reader->path, added, &reader->tableFullWarned);
    reader->pendingLength = 0;
    reader->pendingTitle[0] = 0;
}

void parseM3uLine(m3uReader_t* reader)
{
    reader->line[reader->lineLength] = 0;
    reader->lineLength = 0;
    char* line = trimBlanks(reader->line);
    if (strncasecmp(line, "#EXTINF:", 8) == 0)
        takeExtinf(reader, line + 8);
    else if (line[0] && line[0] != '#') // other lines starting with # are comments or unused tags
        addM3uEntry(reader, line);
}

// --- files -------------------------------------------------------------------

enum listKind_t { LIST_NONE, LIST_PLS, LIST_M3U };

listKind_t kindByName(const char* path)
{
    const char* dot = strrchr(path, '.');
    if (!dot || strchr(dot, '/'))
        return LIST_NONE;
    if (strcasecmp(dot, ".pls") == 0)
        return LIST_PLS;
    return strcasecmp(dot, ".m3u") == 0 || strcasecmp(dot, ".m3u8") == 0 ? LIST_M3U : LIST_NONE;
}

// A file named otherwise is a list when it starts like one.
listKind_t kindByContent(const char* path)
{
    char head[HEAD_SIZE + 1] = "";
    FILE* file = ioOpenRegularFile(path, "rb", nullptr);
    if (!file)
        return LIST_NONE;
    head[fread(head, 1, HEAD_SIZE, file)] = 0;
    fclose(file);
    const char* text = head;
    if (strncmp(text, "\xEF\xBB\xBF", 3) == 0)
        text += 3;
    text += strspn(text, " \t\r\n");
    if (strncasecmp(text, "[playlist]", 10) == 0)
        return LIST_PLS;
    return strncmp(text, "#EXTM3U", 7) == 0 ? LIST_M3U : LIST_NONE;
}

int readList(const char* path, listKind_t kind, char* reason, size_t reasonSize)
{
    errno = 0;
    char* text = ioReadFileToBuffer(path);
    if (!text)
        return fail(reason, reasonSize, "%s", errno ? strerror(errno) : "empty file");
    // The buffer ends in a zero byte; one inside ends the text as well.
    if (kind == LIST_PLS)
        soundParseOwnPlaylist(text, strlen(text), path);
    else
        soundParseM3u(text, strlen(text), path);
    free(text);
    return 1;
}

int readFile(const char* path, char* reason, size_t reasonSize)
{
    listKind_t kind = kindByName(path);
    if (kind != LIST_NONE)
        return readList(path, kind, reason, reasonSize);
    double seconds;
    char title[TEXT_SIZE];
    audioResult_t music = audioReadInfo(path, &seconds, title, sizeof title);
    if (music == AUDIO_OK) {
        soundAddSongWithoutLength(path, nullptr, 0);
        return 1;
    }
    char why[256];
    snprintf(why, sizeof why, "%s", audioLastError());
    if (music == AUDIO_ERR_FILE)
        return fail(reason, reasonSize, "%s", why);
    kind = kindByContent(path);
    if (kind != LIST_NONE)
        return readList(path, kind, reason, reasonSize);
    return fail(reason, reasonSize, "neither a playlist nor music this player plays (%s)", why);
}

} // namespace

void soundParseM3u(const char* text, size_t size, const char* path)
{
    assert(path && (text || !size));
    m3uReader_t* reader = static_cast<m3uReader_t*>(calloc(1, sizeof(m3uReader_t)));
    if (!reader)
        return;
    reader->path = path;
    soundTextFolderOf(path, reader->prefix, sizeof reader->prefix);
    size_t i = 0;
    if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0)
        i = 3; // a UTF-8 byte-order mark
    for (; i < size && text[i]; i++) {
        if (text[i] == '\n' || text[i] == '\r')
            parseM3uLine(reader);
        else if (reader->lineLength < sizeof reader->line - 1)
            reader->line[reader->lineLength++] = text[i]; // longer lines are cut
    }
    parseM3uLine(reader); // a last line without a line break
    free(reader);
}

int soundOpenPlaylist(const char* path, char* reason, size_t reasonSize)
{
    soundClearPlaylist();
    return soundAddPlaylist(path, reason, reasonSize);
}

int soundAddPlaylist(const char* path, char* reason, size_t reasonSize)
{
    assert(path && reason && reasonSize > 0);
    // A station, or a playlist served over HTTP: what it is shows when it
    // plays, so that naming one never waits for the network.
    if (streamIsAddress(path))
        return soundAddSongWithoutLength(path, nullptr, 0) >= 0 ? 1 : fail(reason, reasonSize, "out of memory");
    // Saying so is clearer than the "no such file" that looking the address
    // up as a path would give.
    if (strstr(path, "://") && strncasecmp(path, "file://", 7) != 0)
        return fail(reason, reasonSize, "only http and https addresses are played");
    char local[TEXT_SIZE];
    soundTextResolveFile("", path, local, sizeof local); // a file:// URI names a path
    path = local;
    struct stat info;
    if (stat(path, &info) != 0)
        return fail(reason, reasonSize, "%s", strerror(errno));
    int folder = S_ISDIR(info.st_mode);
    if (!folder && !S_ISREG(info.st_mode))
        return fail(reason, reasonSize, "neither a file nor a folder");
    int before = soundGetPlaylistSize();
    if (!(folder ? soundFolderAdd(path, reason, reasonSize) : readFile(path, reason, reasonSize)))
        return 0;
    if (soundGetPlaylistSize() == before)
        return fail(reason, reasonSize, folder ? "no music files in this folder" : "no songs in this playlist");
    return 1;
}
