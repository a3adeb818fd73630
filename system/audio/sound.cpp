// The song table read from a PLS playlist, playback with track navigation
// and the automatic advance, and the tracker-module sync, on our audio layer.

#include "system/audio/sound.h"

#include "system/audio/audio.h"
#include "system/audio/soundText.h"
#include "system/audio/streamClient.h"
#include "system/audio/streamProtocol.h"
#include "system/io/io.h"
#include "system/timer/timer.h"
#include "system/ui/window/windowSdl.h"

#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The bundled list keeps its fixed table; lists a person names grow the
// table as far as memory allows.
const int SONG_TABLE_SIZE = 256;
const int FIRST_TABLE_CAPACITY = 64;
const int TEXT_SIZE = 4096; // the reader's line, title and file name buffers
const int CHANNELS = 512;
const int VOLUME_FULL = 100;
const int VOLUME_STEP = 5;
// How long before a song's end the one after it is opened and queued
// behind it: time enough for a slow disk, little memory held twice.
const float QUEUE_AHEAD_SECONDS = 5.0f;

struct song_t {
    uint32_t length; // whole seconds; read back as a signed int
    char* name;
    char* filename;
    audioSound_t sound;
    // The length is the music's own, and the song ends when its music does
    // (not by the frame timer).
    int lengthFromMusic;
    // The length, and for a title taken from the file's name the file's own
    // title, are read from the music when first asked for: opening a folder
    // must not open every file in it.
    int detailsPending;
    int titleFromFile;
    char* artist; // from the file's tags; null when it names none
    char* album;
    int stream;      // an http(s) address: a station, played live
    int fromFetched; // named by a playlist fetched over the network
};

struct soundState_t {
    song_t* songs = nullptr; // grows by doubling: NEXT and the getters stay O(1)
    int capacity = 0;
    int song_i = 0;
    int song_current = 0;
    int song_playing = 0;
    audioChannel_t channel = 0;
    float song_play_time_start = 0;
    float song_play_time = 0;
    float timePosition = 0;
    int sound_pause = 0;
    int sync = -1;             // the row last reported by sound_isSync
    uint32_t syncPosition = 0; // the order or row last read; kept when a read fails
    int unplayableInARow = 0;  // songs that end with their music but would not play
    // The controls beyond the buttons: a real pause (the channel holds its
    // sample), the output volume, and the order of play.
    int paused = 0;
    int startPaused = 0; // the next soundPlaySong holds its channel from the first sample
    float pausedAt = 0; // frame timer, for the length-based advance
    int volume = VOLUME_FULL;
    int muted = 0;
    int repeat = SOUND_REPEAT_LIST;
    int listEnded = 0;
    int shuffle = 0;
    int* order = nullptr; // shuffle: a permutation of the songs
    int orderSize = 0;
    int orderAt = 0;      // where song_current stands in it
    uint32_t random = 0x9E3779B9u;
    // The song queued to follow the playing one with no gap (-1: none),
    // its sound and where it stands in the shuffle order.
    int queuedSong = -1;
    int queuedOrderAt = 0;
    audioSound_t queuedSound = 0;
    // The playing station (null when the current song is none), what it
    // last said, and the time heard before a pause cut the connection.
    stream_t* stream = nullptr;
    streamNews_t news{};
    float heardBefore = 0;
    int resuming = 0; // the next soundPlaySong goes on after a pause
    // The caption waits for an address named like a playlist to answer,
    // so that it never shows an entry about to be replaced by the list.
    int captionHeld = 0;
};

soundState_t state;

// --- the playlist reader -------------------------------------------------------

struct playlistReader_t {
    const char* path;
    char prefix[TEXT_SIZE];
    char line[TEXT_SIZE];
    size_t lineLength;
    char key[TEXT_SIZE];
    char value[TEXT_SIZE];
    int pendingLength;
    char pendingTitle[TEXT_SIZE];
    char pendingFile[TEXT_SIZE];
    int tableFullWarned;
    int ownList;        // a list a person named: songs end with their music
    long pendingNumber; // the track number of the pending entry's lines
};

// Like atoi, but a number too large for an int is clamped instead of
// being undefined.
int lengthValue(const char* text)
{
    long value = strtol(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

// Key part: digits are the (unused) track number, everything else the key.
// Value part: everything after the first "=" except further "=".
void splitLine(const char* line, char* key, char* value)
{
    size_t k = 0, v = 0;
    const char* c = line;
    for (; *c && *c != '='; c++)
        if (*c < '0' || *c > '9')
            key[k++] = *c;
    key[k] = 0;
    for (; *c; c++)
        if (*c != '=')
            value[v++] = *c;
    value[v] = 0;
}

void takeTitle(playlistReader_t* reader, const char* value)
{
    soundTextToUtf8(value, reader->pendingTitle, sizeof reader->pendingTitle);
}

// Once per list: the entry numbered `added` (-1) did not fit.
void warnIfFull(playlistReader_t* reader, int added)
{
    if (added < 0 && !reader->tableFullWarned) {
        fprintf(stderr, "tessellune: %s: more than %d songs; the rest are left out\n", reader->path,
                SONG_TABLE_SIZE);
        reader->tableFullWarned = 1;
    }
}

// The bundled list's rule: an entry is complete the moment it has a
// non-zero length, a file and a title.
void addPending(playlistReader_t* reader)
{
    if (!reader->pendingLength || !reader->pendingFile[0] || !reader->pendingTitle[0])
        return;
    warnIfFull(reader, soundAddSongToPlaylist(reader->pendingFile, reader->pendingTitle, reader->pendingLength));
    reader->pendingLength = 0;
    reader->pendingTitle[0] = 0;
    reader->pendingFile[0] = 0;
}

void clearPending(playlistReader_t* reader)
{
    reader->pendingLength = 0;
    reader->pendingTitle[0] = 0;
    reader->pendingFile[0] = 0;
}

// In a list a person named, an entry needs only its File: the title may
// come from the file, and a Length is only shown until the music's own is
// known (other programs write whole seconds, which would cut or pad the
// song). It is complete once another entry begins or the text ends.
void addOwnEntry(playlistReader_t* reader)
{
    if (reader->pendingFile[0]) {
        int listed = reader->pendingLength > 0 ? reader->pendingLength : 0;
        warnIfFull(reader, soundAddSongWithoutLength(reader->pendingFile, reader->pendingTitle, listed));
    }
    clearPending(reader);
}

// The digits of a line's key part, -1 when it has none.
long trackNumber(const char* line)
{
    long number = -1;
    for (const char* c = line; *c && *c != '='; c++)
        if (*c >= '0' && *c <= '9' && number < 100000000)
            number = (number < 0 ? 0 : number * 10) + (*c - '0');
    return number;
}

// Another entry begins with a File, Title or Length line of another track
// number, or with a key the pending entry already has, so that lines
// written out of order (File1, Title2, File2) are not paired across
// entries and lists without numbers still part where a key repeats.
void beginEntry(playlistReader_t* reader, const char* key)
{
    long number = trackNumber(reader->line);
    int again = (strcmp(key, "File") == 0 && reader->pendingFile[0]) ||
                (strcmp(key, "Title") == 0 && reader->pendingTitle[0]) ||
                (strcmp(key, "Length") == 0 && reader->pendingLength);
    if (number != reader->pendingNumber || again)
        addOwnEntry(reader);
    reader->pendingNumber = number;
}

int isEntryKey(const char* key)
{
    return strcmp(key, "File") == 0 || strcmp(key, "Title") == 0 || strcmp(key, "Length") == 0;
}

void parseLine(playlistReader_t* reader)
{
    const char* key = reader->key;
    const char* value = reader->value;
    reader->line[reader->lineLength] = 0;
    splitLine(reader->line, reader->key, reader->value);
    if (reader->ownList && isEntryKey(key))
        beginEntry(reader, key);
    if (strcmp(key, "Length") == 0)
        reader->pendingLength = lengthValue(value);
    else if (strcmp(key, "File") == 0) // an empty value names the list's folder, as the rule says
        soundTextResolveFile(reader->prefix, value, reader->pendingFile, sizeof reader->pendingFile);
    else if (strcmp(key, "Title") == 0)
        takeTitle(reader, value);
    if (!reader->ownList)
        addPending(reader);
    reader->lineLength = 0;
}

void setPrefix(playlistReader_t* reader, const char* path)
{
    soundTextFolderOf(path, reader->prefix, sizeof reader->prefix);
}

// Reads a whole file; null, with `why` saying why, when it cannot be read.
char* readFile(const char* path, size_t* size, const char** why)
{
    FILE* file = ioOpenRegularFile(path, "rb", why);
    if (!file)
        return nullptr;
    size_t capacity = 4096, used = 0;
    char* data = static_cast<char*>(malloc(capacity));
    while (data) {
        used += fread(data + used, 1, capacity - used, file);
        if (used < capacity)
            break;
        capacity *= 2;
        char* grown = static_cast<char*>(realloc(data, capacity));
        if (!grown)
            free(data);
        data = grown;
    }
    bool failed = ferror(file);
    int error = errno; // why the read failed, for the caller's warning
    fclose(file);
    if (failed || !data) {
        free(data);
        *why = failed ? strerror(error) : "out of memory";
        return nullptr;
    }
    *size = used;
    return data;
}

// --- songs whose length is the music's own --------------------------------------

// Whole seconds, as the caption shows them.
uint32_t wholeSeconds(double seconds)
{
    return seconds >= double(INT_MAX) ? uint32_t(INT_MAX) : uint32_t(seconds);
}

// A tag as an owned UTF-8 copy; null when the file names nothing.
char* tagText(const char* tag)
{
    if (!tag[0])
        return nullptr;
    char text[TEXT_SIZE];
    soundTextToUtf8(tag, text, sizeof text);
    return strdup(text);
}

// Reads an entry's length and tags the first time any is asked for. The
// music's length replaces the list's; a file that cannot be read, or does
// not tell its length, keeps what the list said (0 when nothing) and its
// name; playing it says why. The file's title replaces only a title made
// from its name: a list's own title is what its writer chose.
void readDetails(song_t* entry)
{
    if (!entry->detailsPending)
        return;
    entry->detailsPending = 0;
    double seconds = -1;
    audioTags_t tags;
    if (audioReadTags(entry->filename, &seconds, &tags) != AUDIO_OK)
        return;
    if (seconds > 0)
        entry->length = wholeSeconds(seconds);
    entry->artist = tagText(tags.artist);
    entry->album = tagText(tags.album);
    char* name = entry->titleFromFile ? tagText(tags.title) : nullptr;
    if (!name)
        return;
    free(entry->name);
    entry->name = name;
}

// --- playback helpers -----------------------------------------------------------

// Song numbers wrap around the table both ways; a negative number counts
// from the end instead of indexing before the table.
int wrapSong(int song)
{
    assert(state.song_i > 0);
    int i = song % state.song_i;
    return i < 0 ? i + state.song_i : i;
}

int isSong(int song)
{
    return song >= 0 && song < state.song_i;
}

uint32_t toMilliseconds(float seconds)
{
    double ms = double(seconds) * 1000.0;
    if (!(ms > 0))
        return 0;
    return ms >= double(UINT32_MAX) ? UINT32_MAX : uint32_t(ms);
}

int playsStream(void)
{
    return state.song_playing && isSong(state.song_current) && state.songs[state.song_current].stream;
}

void setCaption(int i)
{
    int length = int(state.songs[i].length);
    char lengthText[16]; // room for any int, so a negative length is not cut
    if (state.songs[i].stream)
        snprintf(lengthText, sizeof lengthText, "live");
    else
        snprintf(lengthText, sizeof lengthText, "%02d:%02d", length / 60, length % 60);
    char caption[512];
    char title[sizeof caption]; // cut by the caption's size anyway
    soundSongDisplayName(i, title, sizeof title);
    if (snprintf(caption, sizeof caption, "%02d/%02d. %s (%s)", soundGetTrackNumber(i), state.song_i, title,
             lengthText) < 0)
        return;
    windowSetTitle(caption);
}

// --- module sync tables -------------------------------------------------------

// Per instrument, the sync group of each order; -1 ends an instrument, -2
// the table, and -3 is no group (no sync points at that order).
const int8_t instrumentOrderMap[43] = {
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 0, 0, 0, 0, 0, -1,
    -3, -3, -3, -3, -3, -3, 1,  1,  1,  1,  1,  1,  1,  1,  1, 1, 1, 1, 1, 2, -1,
    -2};

// The sync groups' rows; -1 ends a group, -2 the table.
const int16_t soundSync[15] = {8, 20, 40, 52, -1, 8, 24, 40, 56, -1, 12, 24, 44, -1, -2};

// Where list `index` starts in a table of -1-terminated lists ended by -2;
// -1 when there is no such list.
template <typename T> int findList(const T* table, int index)
{
    if (index < 0)
        return -1;
    int position = 0;
    for (int passed = 0; passed < index; position++) {
        if (table[position] == -2)
            return -1;
        if (table[position] == -1)
            passed++;
    }
    return table[position] == -2 ? -1 : position;
}

// --- the order of play ----------------------------------------------------------

uint32_t nextRandom(void)
{
    state.random ^= state.random << 13; // xorshift32: a shuffle needs no more
    state.random ^= state.random >> 17;
    state.random ^= state.random << 5;
    return state.random;
}

// A new round of shuffle: every song once, in a random order, starting
// with `first` (-1: any song but the one just played, when there is another).
void shuffleRound(int first)
{
    int* order = static_cast<int*>(realloc(state.order, sizeof(int) * size_t(state.song_i)));
    if (!order)
        return;
    state.order = order;
    state.orderSize = state.song_i;
    for (int i = 0; i < state.song_i; i++)
        order[i] = i;
    for (int i = state.song_i - 1; i > 0; i--) { // Fisher-Yates
        int j = int(nextRandom() % uint32_t(i + 1));
        int t = order[i];
        order[i] = order[j];
        order[j] = t;
    }
    int at = first >= 0 ? first : state.song_current;
    for (int i = 0; i < state.song_i; i++) {
        if (order[i] == at) {
            // The song to begin with goes first; a new round after the last
            // puts the song just heard anywhere but first.
            int swap = first >= 0 || state.song_i == 1 ? 0 : state.song_i - 1;
            order[i] = order[swap];
            order[swap] = at;
        }
    }
    state.orderAt = 0;
}

int shuffling(void)
{
    return state.shuffle && state.order && state.orderSize == state.song_i;
}

// The song `step` (1 or -1) away in the order of play, and where it stands.
int neighbour(int step, int* orderAt)
{
    if (!shuffling()) {
        *orderAt = 0;
        return ((state.song_current + step) % state.song_i + state.song_i) % state.song_i;
    }
    *orderAt = ((state.orderAt + step) % state.song_i + state.song_i) % state.song_i;
    return state.order[*orderAt];
}

int atLastOfRound(void)
{
    return shuffling() ? state.orderAt == state.song_i - 1 : state.song_current == state.song_i - 1;
}

// A song came to its end by itself (not by a person's NEXT): repeat one
// plays it again, repeat off stops after the last of the round, and a song
// that would not play is always left.
void songEnded(int unplayable)
{
    if (state.repeat == SOUND_REPEAT_ONE && !unplayable) {
        soundPlaySong(state.song_current);
    } else if (state.repeat == SOUND_REPEAT_OFF && atLastOfRound()) {
        soundStop();
        state.listEnded = 1;
        windowSetTitle("Tessellune: the list has ended");
    } else {
        soundNextTrack();
    }
}

// --- the next song, queued behind the playing one ---------------------------------

// The song songEnded would choose when the playing one ends by itself, or
// -1 when that is no gapless change: the list ends, a shuffle round is
// over (a new one is drawn then), or either song is the bundled list's.
int upcoming(int* orderAt)
{
    *orderAt = state.orderAt;
    if (!state.songs[state.song_current].lengthFromMusic || state.songs[state.song_current].stream)
        return -1;
    if (state.repeat == SOUND_REPEAT_ONE)
        return state.song_current;
    if (atLastOfRound() && (state.repeat == SOUND_REPEAT_OFF || shuffling()))
        return -1;
    int next = neighbour(1, orderAt);
    return state.songs[next].lengthFromMusic && !state.songs[next].stream ? next : -1; // a station is not opened ahead
}

void releaseQueued(void)
{
    if (state.queuedSound && state.queuedSound != state.songs[state.song_current].sound)
        audioSoundRelease(state.queuedSound);
    state.queuedSong = -1;
    state.queuedSound = 0;
}

// Keeps the channel's queued song equal to what would follow now (the
// modes may change while a song plays), opened a little before the end.
void queueUpcoming(void)
{
    int orderAt = 0;
    int want = upcoming(&orderAt);
    if (want == state.queuedSong && orderAt == state.queuedOrderAt)
        return;
    int length = int(state.songs[state.song_current].length);
    if (want >= 0 && length > 0 && soundGetSongPosition() < float(length) - QUEUE_AHEAD_SECONDS)
        return;
    audioChannelQueueNext(state.channel, 0);
    releaseQueued();
    state.queuedSong = want; // also when it will not open: tried once, not every frame
    state.queuedOrderAt = orderAt;
    if (want < 0)
        return;
    audioSound_t sound = state.songs[state.song_current].sound;
    if (want != state.song_current && audioSystemCreateSound(state.songs[want].filename, &sound) != AUDIO_OK)
        return;
    if (audioChannelQueueNext(state.channel, sound) != AUDIO_OK) {
        if (sound != state.songs[state.song_current].sound)
            audioSoundRelease(sound);
        return;
    }
    state.queuedSound = sound;
}

// The channel went on into the queued song: the player follows without
// touching the sound.
void followQueued(void)
{
    int moved = 0;
    if (audioChannelTakeMove(state.channel, &moved) != AUDIO_OK || !moved)
        return;
    song_t* old = &state.songs[state.song_current];
    if (old->sound != state.queuedSound)
        audioSoundRelease(old->sound);
    old->sound = 0;
    int next = state.queuedSong;
    if (next != state.song_current)
        printf("current_song:%d, song_i:%d, modulo:%d\n", state.song_current, state.song_i, next);
    state.song_current = next;
    state.orderAt = state.queuedOrderAt;
    state.songs[next].sound = state.queuedSound;
    state.queuedSong = -1;
    state.queuedSound = 0;
    state.unplayableInARow = 0;
    state.timePosition = 0;
    readDetails(&state.songs[next]);
    setCaption(next);
    state.song_play_time_start = timerGetTime();
}

// A song that ends with its music is followed by the next the moment the
// audio layer reports its channel's end. One that would not play at all is
// passed over at once, unless none of the last round of songs played:
// then the player stops instead of trying them again every frame.
void checkMusicEnd(void)
{
    int ended = 0;
    if (state.channel && audioChannelGetEnded(state.channel, &ended) == AUDIO_OK && !ended)
        return;
    if (!state.channel && state.unplayableInARow >= state.song_i) {
        fprintf(stderr, "tessellune: none of the songs would play; stopped\n");
        soundStop();
        return;
    }
    songEnded(!state.channel);
}

// --- stations -------------------------------------------------------------------

void freeEntry(song_t* entry)
{
    free(entry->name);
    free(entry->filename);
    free(entry->artist);
    free(entry->album);
    *entry = song_t{};
}

int namedLikeList(const char* url)
{
    int known = streamKindOf("", url, nullptr, 0);
    return known == STREAM_LIST_PLS || known == STREAM_LIST_M3U;
}

void dropStream(void)
{
    streamRelease(state.stream);
    state.stream = nullptr;
    state.news = streamNews_t{};
}

// Ends the connection and the channel: a station held paused would fill
// its buffer and stall, and a person who comes back wants it live.
void cutStream(void)
{
    if (isSong(state.song_current) && state.songs[state.song_current].sound) {
        audioSoundRelease(state.songs[state.song_current].sound);
        state.songs[state.song_current].sound = 0;
    }
    state.channel = 0;
    dropStream();
}

void loadStream(song_t* entry)
{
    state.news = streamNews_t{};
    state.stream = streamOpen(entry->filename, !entry->fromFetched);
    if (!state.stream) {
        fprintf(stderr, "tessellune: cannot play \"%s\": the stream client does not start\n", entry->filename);
        return;
    }
    if (streamCreateSound(state.stream, &entry->sound) != AUDIO_OK) {
        fprintf(stderr, "tessellune: cannot play \"%s\": %s\n", entry->filename, audioLastError());
        entry->sound = 0;
        dropStream();
    }
}

// What the caption and the label call a station: its current title;
// before the first one the list's title, else the name it gives itself,
// else its address.
const char* stationTitle(int song)
{
    const song_t* entry = &state.songs[song];
    int current = song == state.song_current && state.stream;
    if (current && state.news.title[0])
        return state.news.title;
    if (!entry->titleFromFile)
        return entry->name;
    if (current && state.news.icyName[0])
        return state.news.icyName;
    return entry->filename;
}

// A station that will never play is passed over like a file that will
// not, and a list of nothing but such stops instead of going round.
void streamFailed(void)
{
    dropStream();
    if (++state.unplayableInARow >= state.song_i) {
        fprintf(stderr, "tessellune: none of the songs would play; stopped\n");
        soundStop();
        return;
    }
    songEnded(1);
}

// Keeps only the fetched list's http(s) entries, from `first` on: a list
// from the network must not reach local files.
void keepAddresses(int first, const char* url)
{
    int kept = first;
    for (int i = first; i < state.song_i; i++) {
        if (!state.songs[i].stream) {
            fprintf(stderr, "tessellune: \"%s\": its playlist names \"%s\", which is no http or https address; left out\n",
                    url, state.songs[i].filename);
            freeEntry(&state.songs[i]);
            continue;
        }
        state.songs[i].fromFetched = 1;
        state.songs[kept++] = state.songs[i];
    }
    state.song_i = kept;
}

// The playlist a station's address served takes the entry's place, and
// its first entry plays.
void takeList(char* text, size_t size, int pls)
{
    int at = state.song_current, before = state.song_i;
    char url[TEXT_SIZE];
    snprintf(url, sizeof url, "%s", state.songs[at].filename);
    cutStream();
    if (pls)
        soundParseOwnPlaylist(text, size, url);
    else
        soundParseM3u(text, size, url);
    free(text);
    keepAddresses(before, url);
    int added = state.song_i - before;
    song_t* block = added ? static_cast<song_t*>(malloc(sizeof(song_t) * size_t(added))) : nullptr;
    if (!block) {
        fprintf(stderr, "tessellune: \"%s\": its playlist names no station\n", url);
        for (int i = before; i < state.song_i; i++)
            freeEntry(&state.songs[i]);
        state.song_i = before;
        streamFailed();
        return;
    }
    memcpy(block, state.songs + before, sizeof(song_t) * size_t(added));
    freeEntry(&state.songs[at]);
    memmove(state.songs + at + added, state.songs + at + 1, sizeof(song_t) * size_t(before - at - 1));
    memcpy(state.songs + at, block, sizeof(song_t) * size_t(added));
    free(block);
    state.song_i = before - 1 + added;
    if (state.shuffle)
        shuffleRound(at);
    soundPlaySong(at);
}

// Once a frame while a station plays: its news reach the caption, and a
// station that will not play, or that served a playlist, is dealt with.
void checkStream(void)
{
    if (!state.stream) {
        streamFailed();
        return;
    }
    char shown[STREAM_TITLE_SIZE];
    snprintf(shown, sizeof shown, "%s", stationTitle(state.song_current));
    streamPoll(state.stream, &state.news);
    if (state.news.list) {
        takeList(state.news.list, state.news.listSize, state.news.listPls);
        return;
    }
    if (state.news.state == STREAM_FAILED) {
        streamFailed();
        return;
    }
    if (state.news.state == STREAM_PLAYING)
        state.unplayableInARow = 0;
    if (state.captionHeld && state.news.state == STREAM_CONNECTING)
        return;
    if (state.captionHeld || strcmp(shown, stationTitle(state.song_current)) != 0)
        setCaption(state.song_current);
    state.captionHeld = 0;
}

} // namespace

// --- playlist and song table ------------------------------------------------------

static void parsePls(const char* text, size_t size, const char* path, int ownList)
{
    assert(path && (text || !size));
    playlistReader_t* reader = static_cast<playlistReader_t*>(calloc(1, sizeof(playlistReader_t)));
    if (!reader)
        return;
    reader->path = path;
    reader->ownList = ownList;
    setPrefix(reader, path);
    size_t i = 0;
    if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0)
        i = 3; // a UTF-8 byte-order mark
    // A zero byte ends the text as the end of the file does, and the line
    // before it is read as a last line.
    for (; i < size && text[i]; i++) {
        if (text[i] == '\n' || text[i] == '\r') {
            if (reader->lineLength)
                parseLine(reader);
        } else if (reader->lineLength < sizeof reader->line - 1) {
            reader->line[reader->lineLength++] = text[i]; // longer lines are cut
        }
    }
    if (reader->lineLength)
        parseLine(reader); // a last line without a line break
    if (ownList)
        addOwnEntry(reader);
    free(reader);
}

void soundParsePlaylist(const char* text, size_t size, const char* path)
{
    parsePls(text, size, path, 0);
}

void soundParseOwnPlaylist(const char* text, size_t size, const char* path)
{
    parsePls(text, size, path, 1);
}

void soundLoadPlaylist(const char* path)
{
    soundClearPlaylist();
    size_t size = 0;
    const char* why = "";
    char* text = readFile(path, &size, &why);
    if (!text) {
        // The table stays empty; without this line a user would only see a
        // player that has nothing to play and not know why.
        fprintf(stderr, "tessellune: cannot read the playlist \"%s\": %s; no songs to play\n", path, why);
        return;
    }
    soundParsePlaylist(text, size, path);
    free(text);
}

// Room for one more entry: the bundled list stops at its fixed size, a
// person's own grows the table by doubling.
static int makeRoom(int limit)
{
    if (state.song_i >= limit)
        return 0;
    if (state.song_i < state.capacity)
        return 1;
    int capacity = state.capacity ? state.capacity * 2 : FIRST_TABLE_CAPACITY;
    if (capacity > limit)
        capacity = limit;
    void* grown = realloc(state.songs, sizeof(song_t) * size_t(capacity));
    if (!grown)
        return 0;
    state.songs = static_cast<song_t*>(grown);
    memset(state.songs + state.capacity, 0, sizeof(song_t) * size_t(capacity - state.capacity));
    state.capacity = capacity;
    return 1;
}

static int addEntry(const char* filename, const char* title, int length, int limit)
{
    assert(filename && title);
    if (!makeRoom(limit))
        return -1;
    char* name = strdup(title);
    char* file = strdup(filename);
    if (!name || !file) {
        free(name);
        free(file);
        return -1;
    }
    int i = state.song_i++;
    state.songs[i] = song_t{};
    state.songs[i].length = uint32_t(length);
    state.songs[i].name = name;
    state.songs[i].filename = file;
    state.songs[i].stream = streamIsAddress(file);
    return i;
}

int soundAddSongToPlaylist(const char* filename, const char* title, int length)
{
    int i = addEntry(filename, title, length, SONG_TABLE_SIZE);
    if (i >= 0)
        printf("%02d: filename:'%s', title:'%s', length:'%d'\n", i, filename, title, length);
    return i;
}

int soundAddSongWithoutLength(const char* filename, const char* title, int listedLength)
{
    assert(filename);
    char fromName[TEXT_SIZE];
    int titleFromFile = !title || !title[0];
    if (titleFromFile) {
        soundTextTitleFromFile(filename, fromName, sizeof fromName);
        title = fromName[0] ? fromName : filename;
    }
    // No console line per entry: a library of a hundred thousand songs
    // would spend longer printing than reading its folders.
    int i = addEntry(filename, title, listedLength > 0 ? listedLength : 0, INT_MAX);
    if (i < 0)
        return -1;
    state.songs[i].lengthFromMusic = 1;
    state.songs[i].detailsPending = !state.songs[i].stream; // a station has no file to read them from
    state.songs[i].titleFromFile = titleFromFile;
    return i;
}

void soundClearPlaylist(void)
{
    for (int i = 0; i < state.song_i; i++)
        freeEntry(&state.songs[i]);
    state.song_i = 0;
}

int soundGetPlaylistSize(void)
{
    return state.song_i;
}

int soundGetCurrentSong(void)
{
    return state.song_current;
}

int soundGetSongLength(int song)
{
    if (!isSong(song))
        return 0;
    readDetails(&state.songs[song]);
    return int(state.songs[song].length);
}

const char* soundGetSongFilename(int song)
{
    return isSong(song) ? state.songs[song].filename : "";
}

const char* soundGetSongName(int song)
{
    if (!isSong(song))
        return "";
    readDetails(&state.songs[song]);
    return state.songs[song].name;
}

const char* soundGetSongArtist(int song)
{
    if (!isSong(song))
        return "";
    readDetails(&state.songs[song]);
    return state.songs[song].artist ? state.songs[song].artist : "";
}

const char* soundGetSongAlbum(int song)
{
    if (!isSong(song))
        return "";
    readDetails(&state.songs[song]);
    return state.songs[song].album ? state.songs[song].album : "";
}

void soundSongDisplayName(int song, char* out, size_t outSize)
{
    if (isSong(song) && state.songs[song].stream) {
        snprintf(out, outSize, "%s", stationTitle(song));
        return;
    }
    const char* artist = soundGetSongArtist(song);
    if (artist[0])
        snprintf(out, outSize, "%s \xE2\x80\x93 %s", artist, soundGetSongName(song)); // an en dash
    else
        snprintf(out, outSize, "%s", soundGetSongName(song));
}

int soundGetTrackNumber(int song)
{
    return song + 1;
}

// --- playback -------------------------------------------------------------------

void soundInit(void)
{
    audioSystemInit(CHANNELS);
}

void soundLoadSong(int song)
{
    if (!state.song_i)
        return;
    song_t* entry = &state.songs[wrapSong(song)];
    entry->sound = 0;
    if (entry->stream) {
        loadStream(entry);
        return;
    }
    if (audioSystemCreateSound(entry->filename, &entry->sound) != AUDIO_OK) {
        // A silent song: the caption, the selection and the automatic
        // advance go on as usual.
        fprintf(stderr, "tessellune: cannot play \"%s\": %s\n", entry->filename, audioLastError());
        entry->sound = 0;
    }
}

void soundPlaySong(int song)
{
    if (!state.song_i)
        return;
    int i = wrapSong(song);
    if (state.song_playing && i != state.song_current && isSong(state.song_current))
        audioSoundRelease(state.songs[state.song_current].sound);
    soundStop();
    soundFree();
    soundInit();
    soundLoadSong(i);
    state.song_current = i;
    state.song_playing = 1;
    state.paused = 0;
    state.listEnded = 0;
    readDetails(&state.songs[i]);
    state.captionHeld = state.songs[i].stream && state.stream && namedLikeList(state.songs[i].filename);
    if (!state.captionHeld)
        setCaption(i);
    if (audioSystemPlaySound(state.songs[i].sound, state.startPaused, &state.channel) != AUDIO_OK)
        state.channel = 0;
    // Only a song that ends with its music and would not play is left at
    // once; any other keeps the player from spinning through the list. A
    // station counts once it has played or failed.
    int unplayable = !state.channel && state.songs[i].lengthFromMusic;
    if (!state.songs[i].stream)
        state.unplayableInARow = unplayable ? state.unplayableInARow + 1 : 0;
    if (!state.resuming)
        state.heardBefore = 0;
    // The new channel plays, so the toggle says "not paused": the next
    // soundPause pauses it.
    state.sound_pause = 0;
    audioChannelSetPosition(state.channel, toMilliseconds(state.timePosition), AUDIO_TIME_MS);
    timerUpdate();
    state.song_play_time_start = timerGetTime();
}

void soundPause(void)
{
    state.paused = 0;
    state.sound_pause = state.sound_pause ? 0 : 1;
    if (state.song_playing) {
        state.song_playing = 0;
        audioChannelSetPaused(state.channel, state.sound_pause);
    }
    if (state.stream)
        cutStream();
}

void soundStop(void)
{
    if (!state.song_i)
        return;
    state.sound_pause = 0;
    soundPause();
    state.song_play_time = 0;
    soundSetPosition(0);
}

void soundSetPosition(float seconds)
{
    state.timePosition = seconds;
    audioChannelSetPosition(state.channel, toMilliseconds(seconds), AUDIO_TIME_MS);
}

void soundNextTrack(void)
{
    if (!state.song_i)
        return;
    int at = 0;
    int next = neighbour(1, &at);
    if (shuffling() && at == 0) { // the round is over: a new one
        shuffleRound(-1);
        next = state.order[0];
    }
    printf("current_song:%d, song_i:%d, modulo:%d\n", state.song_current, state.song_i, next);
    state.song_current = next;
    state.orderAt = at;
    if (state.song_playing)
        soundPlaySong(state.song_current);
}

void soundPreviousTrack(void)
{
    if (!state.song_i)
        return;
    int at = 0;
    state.song_current = neighbour(-1, &at);
    state.orderAt = at;
    if (state.song_playing)
        soundPlaySong(state.song_current);
}

void soundCheckPlayer(void)
{
    if (!state.song_playing || state.paused || !isSong(state.song_current))
        return;
    // A station never ends by its data; only a positive length in the
    // bundled list ends it, by time, like any of that list's songs.
    if (state.songs[state.song_current].stream) {
        int song = state.song_current;
        checkStream();
        if (song != state.song_current || !state.song_playing || state.songs[song].lengthFromMusic)
            return;
    } else if (state.songs[state.song_current].lengthFromMusic) {
        if (state.channel) {
            followQueued();
            queueUpcoming();
        }
        checkMusicEnd();
        return;
    }
    int length = int(state.songs[state.song_current].length);
    if (length <= 0)
        return;
    state.song_play_time = timerGetTime() - state.song_play_time_start;
    if (state.song_play_time > float(length) + 0.4f)
        songEnded(0);
}

int soundIsPlaying(void)
{
    return state.song_playing;
}

float soundGetSongCurrentPlayTime(void)
{
    return state.song_play_time;
}

float soundGetSongPosition(void)
{
    if (!state.song_playing)
        return 0;
    if (playsStream() && state.paused)
        return state.heardBefore;
    float before = playsStream() ? state.heardBefore : 0;
    uint32_t ms = 0;
    if (audioChannelGetPosition(state.channel, &ms, AUDIO_TIME_MS) == AUDIO_OK)
        return before + float(ms) / 1000.0f;
    // A silent song (its file would not play) or one that has just ended:
    // the frame timer's time since it started.
    return timerGetTime() - state.song_play_time_start;
}

void soundFree(void)
{
    audioSystemClose();
    dropStream();
    state.channel = 0;
    state.queuedSong = -1;
    state.queuedSound = 0;
    for (int i = 0; i < state.song_i; i++)
        state.songs[i].sound = 0;
}

void soundDeinit(void)
{
    soundFree();
    soundClearPlaylist();
    audioShutdown();
    streamShutdown();
}

void soundReset(void)
{
    soundDeinit();
    free(state.order);
    free(state.songs);
    state = soundState_t();
}

// --- the controls beyond the buttons ------------------------------------------------

// A paused station is disconnected; resuming connects again, live, and the
// time line goes on counting the time heard.
static void togglePauseStream(void)
{
    if (state.paused) {
        state.resuming = 1;
        soundPlaySong(state.song_current);
        state.resuming = 0;
        return;
    }
    state.heardBefore = soundGetSongPosition();
    cutStream();
    state.paused = 1;
    state.pausedAt = timerGetTime();
}

void soundTogglePause(void)
{
    if (!state.song_playing) {
        soundPlaySong(state.song_current);
        return;
    }
    if (playsStream()) {
        togglePauseStream();
        return;
    }
    state.paused = !state.paused;
    audioChannelSetPaused(state.channel, state.paused);
    if (state.paused) {
        state.pausedAt = timerGetTime();
    } else {
        // The length-based advance counts only time heard.
        state.song_play_time_start += timerGetTime() - state.pausedAt;
    }
}

void soundCue(int song, float seconds)
{
    if (!state.song_i)
        return;
    if (state.songs[wrapSong(song)].stream) { // a station is not connected until asked to play
        state.song_current = wrapSong(song);
        return;
    }
    state.startPaused = 1;
    soundPlaySong(song);
    state.startPaused = 0;
    if (!state.channel)
        return;
    state.paused = 1;
    state.pausedAt = timerGetTime();
    soundSeekTo(seconds);
}

int soundIsPaused(void)
{
    return state.song_playing && state.paused;
}

int soundIsLive(void)
{
    return playsStream();
}

const char* soundGetNotice(void)
{
    if (!playsStream() || state.paused || !state.stream)
        return "";
    if (state.news.state == STREAM_CONNECTING)
        return "connecting\xE2\x80\xA6";
    return state.news.state == STREAM_RECONNECTING ? "reconnecting\xE2\x80\xA6" : "";
}

void soundSeekTo(float seconds)
{
    if (!state.song_playing || !isSong(state.song_current) || playsStream()) // a station is live
        return;
    if (!(seconds > 0))
        seconds = 0;
    int length = int(state.songs[state.song_current].length);
    int known = state.songs[state.song_current].lengthFromMusic && length > 0;
    // Past the end is the end: the song is left as if it had played out.
    if ((known && seconds >= float(length)) ||
        audioChannelSetPosition(state.channel, toMilliseconds(seconds), AUDIO_TIME_MS) == AUDIO_ERR_POSITION) {
        songEnded(0);
        return;
    }
    state.song_play_time_start = (state.paused ? state.pausedAt : timerGetTime()) - seconds;
}

void soundSeekBy(float seconds)
{
    soundSeekTo(soundGetSongPosition() + seconds);
}

static void applyVolume(void)
{
    // A cubic curve: equal steps sound like equal steps, where a linear
    // amplitude crowds all the change into the last few.
    float v = state.muted ? 0.0f : float(state.volume) / float(VOLUME_FULL);
    audioSetGain(v * v * v);
}

void soundSetVolume(int percent)
{
    state.volume = percent < 0 ? 0 : percent > VOLUME_FULL ? VOLUME_FULL : percent;
    applyVolume();
}

void soundChangeVolume(int steps)
{
    soundSetVolume((state.volume / VOLUME_STEP + steps) * VOLUME_STEP);
}

int soundGetVolume(void)
{
    return state.volume;
}

void soundSetMuted(int muted)
{
    state.muted = muted != 0;
    applyVolume();
}

int soundIsMuted(void)
{
    return state.muted;
}

void soundSetShuffle(int on)
{
    state.shuffle = on != 0;
    if (state.shuffle && state.song_i > 0)
        shuffleRound(state.song_current);
}

int soundGetShuffle(void)
{
    return state.shuffle;
}

void soundSetRepeat(int repeat)
{
    state.repeat = repeat == SOUND_REPEAT_OFF || repeat == SOUND_REPEAT_ONE ? repeat : SOUND_REPEAT_LIST;
}

void soundCycleRepeat(void)
{
    static const int next[3] = {SOUND_REPEAT_LIST, SOUND_REPEAT_OFF, SOUND_REPEAT_ONE};
    soundSetRepeat(next[state.repeat]); // list -> one -> off -> list
}

int soundGetRepeat(void)
{
    return state.repeat;
}

int soundListEnded(void)
{
    return state.listEnded;
}

// --- tracker-module sync --------------------------------------------------------

int sound_getOrder(void)
{
    audioChannelGetPosition(state.channel, &state.syncPosition, AUDIO_TIME_ORDER);
    return int(state.syncPosition);
}

int sound_getRow(void)
{
    audioChannelGetPosition(state.channel, &state.syncPosition, AUDIO_TIME_ROW);
    return int(state.syncPosition);
}

int sound_isSync(int instrument)
{
    int list = findList(instrumentOrderMap, instrument);
    if (list < 0)
        return 0;
    int order = sound_getOrder();
    if (order < 0)
        return 0;
    for (int i = list; i <= list + order; i++)
        if (instrumentOrderMap[i] == -1 || instrumentOrderMap[i] == -2)
            return 0; // the order lies beyond the instrument's list
    int group = findList(soundSync, instrumentOrderMap[list + order]);
    if (group < 0)
        return 0;
    for (int i = group; soundSync[i] >= 0; i++) {
        int row = sound_getRow();
        if (row == soundSync[i] && row != state.sync) {
            state.sync = row;
            return 1;
        }
    }
    return 0;
}

// --- for a clock that follows the music -------------------------------------------

uint32_t soundGetChannel(void)
{
    return state.channel;
}
