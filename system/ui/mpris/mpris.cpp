// The desktop bus through sd-bus: its object tables describe every method
// and property in one place, and a connection polled with no timeout lets
// the frame loop serve the bus on the main thread, so no listener thread
// and no hand-over between threads is needed.

#include "system/ui/mpris/mpris.h"

#include "system/audio/sound.h"
#include "system/timer/timer.h"

#include <systemd/sd-bus.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <unistd.h>

namespace {

const char* const BUS_NAME = "org.mpris.MediaPlayer2.tessellune";
const char* const OBJECT_PATH = "/org/mpris/MediaPlayer2";
const char* const ROOT_INTERFACE = "org.mpris.MediaPlayer2";
const char* const PLAYER_INTERFACE = "org.mpris.MediaPlayer2.Player";
const char* const NO_TRACK = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
const char* const TRACK_PATH = "/org/tessellune/track/%d";

// Requests the main loop has not yet acted on. A person's burst of media
// keys is a handful; past this a request is refused, not queued for
// seconds of frames.
const int QUEUE_SIZE = 16;
// Messages answered in one frame: a flood from the bus cannot hold a frame
// up; the rest wait for the next one.
const int MESSAGES_PER_FRAME = 32;
// The start-up's name request waits at most this long for a bus that
// accepted the connection but does not answer.
const uint64_t ANSWER_TIMEOUT_USEC = 2000000;
// A position further than this from where the last frame's position and
// the time since then put it was moved by a seek (a key, the progress bar
// or the bus): the desktop is told, since it extrapolates on its own.
const float SEEK_JUMP = 0.5f;
const int TEXT_SIZE = PATH_MAX;
const double MICROSECONDS = 1e6;
// Most property names told in one PropertiesChanged.
const int CHANGED_MOST = 12;

enum { STOPPED = 0, PLAYING = 1, PAUSED = 2 };

struct request_t {
    playerCommand_t command;
    char text[TEXT_SIZE];
};

// What the desktop was last told, to find what changed since.
struct shown_t {
    int status, repeat, shuffle, volume, muted, songs, song, length;
    char title[TEXT_SIZE], file[TEXT_SIZE];
};

struct mpris_t {
    sd_bus* bus;
    request_t queue[QUEUE_SIZE];
    int first, count;
    char taken[TEXT_SIZE]; // the text of the command last taken
    shown_t shown;
    float position, at; // the song's position at frame time `at`
};

mpris_t mpris;

int playbackStatus(void)
{
    return soundIsPaused() ? PAUSED : soundIsPlaying() ? PLAYING : STOPPED;
}

int hasSongs(void)
{
    return soundGetPlaylistSize() > 0;
}

// The desktop's volume is the level heard (0.5 halves the amplitude),
// the player's a percent heard through a cubic curve.
double heardVolume(void)
{
    double percent = soundIsMuted() ? 0.0 : soundGetVolume() / 100.0;
    return percent * percent * percent;
}

int percentFor(double volume)
{
    if (!(volume > 0))
        return 0;
    return volume >= 1 ? 100 : int(lround(cbrt(volume) * 100.0));
}

const char* loopStatus(int repeat)
{
    return repeat == SOUND_REPEAT_ONE ? "Track" : repeat == SOUND_REPEAT_OFF ? "None" : "Playlist";
}

int queueRequest(playerAction_t action, float value, const char* text, sd_bus_error* error)
{
    if (mpris.count == QUEUE_SIZE)
        return sd_bus_error_set(error, SD_BUS_ERROR_LIMITS_EXCEEDED, "too many requests at once");
    request_t* request = &mpris.queue[(mpris.first + mpris.count++) % QUEUE_SIZE];
    request->command = {action, value, nullptr};
    snprintf(request->text, sizeof request->text, "%s", text ? text : "");
    return 1;
}

int request(sd_bus_message* message, playerAction_t action, float value, sd_bus_error* error)
{
    int r = queueRequest(action, value, nullptr, error);
    return r < 0 ? r : sd_bus_reply_method_return(message, "");
}

// --- methods ----------------------------------------------------------------------

struct methodAction_t {
    const char* member;
    playerAction_t action;
};

const methodAction_t PLAIN_METHODS[] = {
    {"Quit", PLAYER_QUIT},         {"Play", PLAYER_PLAY}, {"Pause", PLAYER_PAUSE},
    {"PlayPause", PLAYER_PLAY_PAUSE}, {"Stop", PLAYER_STOP}, {"Next", PLAYER_NEXT},
    {"Previous", PLAYER_PREVIOUS},
};

int onPlainMethod(sd_bus_message* message, void*, sd_bus_error* error)
{
    const char* member = sd_bus_message_get_member(message);
    for (const methodAction_t& method : PLAIN_METHODS)
        if (strcmp(member, method.member) == 0)
            return request(message, method.action, 0, error);
    return sd_bus_reply_method_return(message, ""); // Raise: the window cannot be raised
}

int onSeek(sd_bus_message* message, void*, sd_bus_error* error)
{
    int64_t offset = 0;
    int r = sd_bus_message_read(message, "x", &offset);
    if (r < 0)
        return r;
    return request(message, PLAYER_SEEK_BY, float(double(offset) / MICROSECONDS), error);
}

void currentTrackId(char* out, size_t size)
{
    if (hasSongs())
        snprintf(out, size, TRACK_PATH, soundGetCurrentSong());
    else
        snprintf(out, size, "%s", NO_TRACK);
}

// A position for another track than the one playing, or outside the song,
// is ignored, as clients expect: they may have sent it just before a change.
int onSetPosition(sd_bus_message* message, void*, sd_bus_error* error)
{
    const char* track = nullptr;
    int64_t position = 0;
    int r = sd_bus_message_read(message, "ox", &track, &position);
    if (r < 0)
        return r;
    char current[64];
    currentTrackId(current, sizeof current);
    int length = soundGetSongLength(soundGetCurrentSong());
    double seconds = double(position) / MICROSECONDS;
    if (strcmp(track, current) != 0 || position < 0 || (length > 0 && seconds > length))
        return sd_bus_reply_method_return(message, "");
    return request(message, PLAYER_SEEK_TO, float(seconds), error);
}

int onOpenUri(sd_bus_message* message, void*, sd_bus_error* error)
{
    const char* uri = nullptr;
    int r = sd_bus_message_read(message, "s", &uri);
    if (r < 0)
        return r;
    if (strncasecmp(uri, "file://", 7) != 0)
        return sd_bus_error_setf(error, SD_BUS_ERROR_NOT_SUPPORTED, "only file:// addresses are played: %s", uri);
    if (strlen(uri) >= size_t(TEXT_SIZE))
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "address too long");
    r = queueRequest(PLAYER_OPEN, 0, uri, error);
    return r < 0 ? r : sd_bus_reply_method_return(message, "");
}

// --- properties -------------------------------------------------------------------

// The constant and the yes-or-no properties, one table.
struct flagProperty_t {
    const char* name;
    int (*value)(void);
};

int yes(void) { return 1; }
int no(void) { return 0; }
int shuffleOn(void) { return soundGetShuffle(); }

const flagProperty_t FLAGS[] = {
    {"CanQuit", yes},         {"CanRaise", no},        {"HasTrackList", no},  {"CanControl", yes},
    {"CanGoNext", hasSongs},  {"CanGoPrevious", hasSongs}, {"CanPlay", hasSongs}, {"CanPause", hasSongs},
    {"CanSeek", hasSongs},    {"Shuffle", shuffleOn},
};

int getFlag(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
            sd_bus_error*)
{
    for (const flagProperty_t& flag : FLAGS)
        if (strcmp(property, flag.name) == 0)
            return sd_bus_message_append(reply, "b", flag.value());
    return -ENOENT;
}

int getText(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
            sd_bus_error*)
{
    if (strcmp(property, "Identity") == 0)
        return sd_bus_message_append(reply, "s", "Tessellune");
    if (strcmp(property, "LoopStatus") == 0)
        return sd_bus_message_append(reply, "s", loopStatus(soundGetRepeat()));
    static const char* const STATUS[] = {"Stopped", "Playing", "Paused"};
    return sd_bus_message_append(reply, "s", STATUS[playbackStatus()]);
}

int getSchemes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "as", 1, "file");
}

// What the decoders open (sampled audio, tracker modules) and the lists.
int getMimeTypes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "as", 13, "audio/x-wav", "audio/flac", "audio/ogg", "audio/x-vorbis+ogg",
                                 "audio/x-opus+ogg", "audio/mpeg", "audio/x-mod", "audio/x-xm", "audio/x-s3m",
                                 "audio/x-it", "audio/x-scpls", "audio/x-mpegurl", "inode/directory");
}

int getNumber(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
              sd_bus_error*)
{
    if (strcmp(property, "Position") == 0)
        return sd_bus_message_append(reply, "x", int64_t(double(soundGetSongPosition()) * MICROSECONDS));
    return sd_bus_message_append(reply, "d", strcmp(property, "Volume") == 0 ? heardVolume() : 1.0);
}

// file:// with every byte but the unreserved ones and '/' escaped.
void fileUrl(const char* filename, char* out, size_t size)
{
    if (strncasecmp(filename, "http://", 7) == 0 || strncasecmp(filename, "https://", 8) == 0) {
        snprintf(out, size, "%s", filename); // a station's address is its own URL
        return;
    }
    char absolute[PATH_MAX];
    const char* path = realpath(filename, absolute) ? absolute : filename;
    size_t n = snprintf(out, size, "file://");
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(path); *c && n + 4 < size; c++) {
        if (isalnum(*c) || strchr("/-._~", *c))
            out[n++] = char(*c);
        else
            n += snprintf(out + n, size - n, "%%%02X", *c);
    }
    out[n] = 0;
}

int appendMetadata(sd_bus_message* reply)
{
    char track[64];
    currentTrackId(track, sizeof track);
    int r = sd_bus_message_append(reply, "{sv}", "mpris:trackid", "o", track);
    if (r < 0 || !hasSongs())
        return r;
    int song = soundGetCurrentSong();
    int length = soundGetSongLength(song);
    if (length > 0)
        r = sd_bus_message_append(reply, "{sv}", "mpris:length", "x", int64_t(length * 1000000LL));
    static char url[3 * TEXT_SIZE];
    fileUrl(soundGetSongFilename(song), url, sizeof url);
    if (r >= 0)
        r = sd_bus_message_append(reply, "{sv}", "xesam:title", "s", soundGetSongName(song));
    if (r >= 0)
        r = sd_bus_message_append(reply, "{sv}", "xesam:url", "s", url);
    const char* artist = soundGetSongArtist(song);
    if (r >= 0 && artist[0])
        r = sd_bus_message_append(reply, "{sv}", "xesam:artist", "as", 1, artist);
    const char* album = soundGetSongAlbum(song);
    if (r >= 0 && album[0])
        r = sd_bus_message_append(reply, "{sv}", "xesam:album", "s", album);
    return r;
}

int getMetadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r >= 0)
        r = appendMetadata(reply);
    return r < 0 ? r : sd_bus_message_close_container(reply);
}

int setVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*, sd_bus_error* error)
{
    double volume = 0;
    int r = sd_bus_message_read(value, "d", &volume);
    return r < 0 ? r : queueRequest(PLAYER_SET_VOLUME, float(percentFor(volume)), nullptr, error);
}

int setShuffle(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*, sd_bus_error* error)
{
    int on = 0;
    int r = sd_bus_message_read(value, "b", &on);
    return r < 0 ? r : queueRequest(PLAYER_SET_SHUFFLE, float(on != 0), nullptr, error);
}

int setLoopStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*,
                  sd_bus_error* error)
{
    const char* loop = nullptr;
    int r = sd_bus_message_read(value, "s", &loop);
    if (r < 0)
        return r;
    int repeat = SOUND_REPEAT_LIST;
    while (strcmp(loop, loopStatus(repeat)) != 0) {
        if (repeat == SOUND_REPEAT_OFF)
            return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "no such loop status: %s", loop);
        repeat = repeat == SOUND_REPEAT_LIST ? SOUND_REPEAT_ONE : SOUND_REPEAT_OFF;
    }
    return queueRequest(PLAYER_SET_REPEAT, float(repeat), nullptr, error);
}

const uint64_t CHANGES = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;
const uint64_t FIXED = SD_BUS_VTABLE_PROPERTY_CONST;

const sd_bus_vtable ROOT_TABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", onPlainMethod, 0),
    SD_BUS_METHOD("Quit", "", "", onPlainMethod, 0),
    SD_BUS_PROPERTY("CanQuit", "b", getFlag, 0, FIXED),
    SD_BUS_PROPERTY("CanRaise", "b", getFlag, 0, FIXED),
    SD_BUS_PROPERTY("HasTrackList", "b", getFlag, 0, FIXED),
    SD_BUS_PROPERTY("Identity", "s", getText, 0, FIXED),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", getSchemes, 0, FIXED),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", getMimeTypes, 0, FIXED),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable PLAYER_TABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", onPlainMethod, 0),
    SD_BUS_METHOD("Previous", "", "", onPlainMethod, 0),
    SD_BUS_METHOD("Pause", "", "", onPlainMethod, 0),
    SD_BUS_METHOD("PlayPause", "", "", onPlainMethod, 0),
    SD_BUS_METHOD("Stop", "", "", onPlainMethod, 0),
    SD_BUS_METHOD("Play", "", "", onPlainMethod, 0),
    SD_BUS_METHOD("Seek", "x", "", onSeek, 0),
    SD_BUS_METHOD("SetPosition", "ox", "", onSetPosition, 0),
    SD_BUS_METHOD("OpenUri", "s", "", onOpenUri, 0),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", getText, 0, CHANGES),
    SD_BUS_WRITABLE_PROPERTY("LoopStatus", "s", getText, setLoopStatus, 0, CHANGES),
    SD_BUS_PROPERTY("Rate", "d", getNumber, 0, FIXED),
    SD_BUS_WRITABLE_PROPERTY("Shuffle", "b", getFlag, setShuffle, 0, CHANGES),
    SD_BUS_PROPERTY("Metadata", "a{sv}", getMetadata, 0, CHANGES),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", getNumber, setVolume, 0, CHANGES),
    // The desktop reads the position when it needs it and follows Seeked.
    SD_BUS_PROPERTY("Position", "x", getNumber, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", getNumber, 0, FIXED),
    SD_BUS_PROPERTY("MaximumRate", "d", getNumber, 0, FIXED),
    SD_BUS_PROPERTY("CanGoNext", "b", getFlag, 0, CHANGES),
    SD_BUS_PROPERTY("CanGoPrevious", "b", getFlag, 0, CHANGES),
    SD_BUS_PROPERTY("CanPlay", "b", getFlag, 0, CHANGES),
    SD_BUS_PROPERTY("CanPause", "b", getFlag, 0, CHANGES),
    SD_BUS_PROPERTY("CanSeek", "b", getFlag, 0, CHANGES),
    SD_BUS_PROPERTY("CanControl", "b", getFlag, 0, FIXED),
    SD_BUS_VTABLE_END,
};

// --- what changed -----------------------------------------------------------------

void look(shown_t* now)
{
    now->status = playbackStatus();
    now->repeat = soundGetRepeat();
    now->shuffle = soundGetShuffle();
    now->volume = soundGetVolume();
    now->muted = soundIsMuted();
    now->songs = soundGetPlaylistSize();
    now->song = soundGetCurrentSong();
    now->length = now->songs ? soundGetSongLength(now->song) : 0;
    snprintf(now->title, sizeof now->title, "%s", now->songs ? soundGetSongName(now->song) : "");
    snprintf(now->file, sizeof now->file, "%s", now->songs ? soundGetSongFilename(now->song) : "");
}

// The names of the properties that differ between what was told and now.
int changedNames(const shown_t* was, const shown_t* now, const char** names)
{
    int n = 0;
    if (was->status != now->status)
        names[n++] = "PlaybackStatus";
    if (was->repeat != now->repeat)
        names[n++] = "LoopStatus";
    if (was->shuffle != now->shuffle)
        names[n++] = "Shuffle";
    if (was->volume != now->volume || was->muted != now->muted)
        names[n++] = "Volume";
    if (was->songs != now->songs || was->song != now->song || was->length != now->length ||
        strcmp(was->title, now->title) != 0 || strcmp(was->file, now->file) != 0)
        names[n++] = "Metadata";
    if ((was->songs > 0) != (now->songs > 0)) {
        static const char* const CAN[] = {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek"};
        for (const char* name : CAN)
            names[n++] = name;
    }
    names[n] = nullptr;
    return n;
}

void tellSeek(const shown_t* was, const shown_t* now)
{
    float position = soundGetSongPosition();
    float time = timerGetTime();
    float expected = mpris.position + (was->status == PLAYING ? time - mpris.at : 0.0f);
    int sameSong = was->song == now->song && was->songs == now->songs;
    if (sameSong && now->status != STOPPED && fabsf(position - expected) > SEEK_JUMP)
        sd_bus_emit_signal(mpris.bus, OBJECT_PATH, PLAYER_INTERFACE, "Seeked", "x",
                           int64_t(double(position) * MICROSECONDS));
    mpris.position = position;
    mpris.at = time;
}

void tellChanges(void)
{
    static shown_t now; // large: kept out of the frame's stack
    look(&now);
    tellSeek(&mpris.shown, &now);
    const char* names[CHANGED_MOST];
    if (changedNames(&mpris.shown, &now, names) > 0)
        sd_bus_emit_properties_changed_strv(mpris.bus, OBJECT_PATH, PLAYER_INTERFACE, const_cast<char**>(names));
    mpris.shown = now;
}

void closeBus(void)
{
    mpris.bus = sd_bus_close_unref(mpris.bus);
}

int takeName(void)
{
    int r = sd_bus_request_name(mpris.bus, BUS_NAME, 0);
    if (r != -EEXIST)
        return r;
    // Another player has the name: this one is told apart by its process.
    char name[128];
    snprintf(name, sizeof name, "%s.instance%ld", BUS_NAME, long(getpid()));
    return sd_bus_request_name(mpris.bus, name, 0);
}

} // namespace

int mprisInit(void)
{
    mpris = mpris_t();
    int r = sd_bus_open_user(&mpris.bus);
    if (r >= 0)
        r = sd_bus_set_method_call_timeout(mpris.bus, ANSWER_TIMEOUT_USEC);
    if (r >= 0)
        r = sd_bus_add_object_vtable(mpris.bus, nullptr, OBJECT_PATH, ROOT_INTERFACE, ROOT_TABLE, nullptr);
    if (r >= 0)
        r = sd_bus_add_object_vtable(mpris.bus, nullptr, OBJECT_PATH, PLAYER_INTERFACE, PLAYER_TABLE, nullptr);
    if (r >= 0)
        r = takeName();
    if (r < 0) {
        const char* why = getenv("DBUS_SESSION_BUS_ADDRESS") ? strerror(-r) : "DBUS_SESSION_BUS_ADDRESS is not set";
        fprintf(stderr, "tessellune: no desktop bus (%s); media keys and desktop controls do not reach the player\n",
                why);
        closeBus();
        return 0;
    }
    look(&mpris.shown);
    return 1;
}

void mprisPoll(void)
{
    if (!mpris.bus)
        return;
    for (int i = 0; i < MESSAGES_PER_FRAME; i++) {
        int r = sd_bus_process(mpris.bus, nullptr);
        if (r == 0)
            break;
        if (r < 0) {
            fprintf(stderr, "tessellune: the desktop bus went away (%s); desktop controls are off\n", strerror(-r));
            closeBus();
            return;
        }
    }
    tellChanges();
}

playerCommand_t mprisTakeCommand(void)
{
    if (!mpris.count)
        return {PLAYER_NONE, 0, nullptr};
    request_t* request = &mpris.queue[mpris.first];
    mpris.first = (mpris.first + 1) % QUEUE_SIZE;
    mpris.count--;
    playerCommand_t command = request->command;
    if (command.action == PLAYER_OPEN) {
        snprintf(mpris.taken, sizeof mpris.taken, "%s", request->text);
        command.text = mpris.taken;
    }
    return command;
}

void mprisDeinit(void)
{
    closeBus();
    mpris = mpris_t();
}
