// The program's entry: switches, start-up order, the frame loop, shutdown.

#include "system/audio/sound.h"
#include "system/audio/soundResume.h"
#include "system/graphics/font/font.h"
#include "system/player/player.h"
#include "system/player/timeString.h"
#include "system/timer/timer.h"
#include "system/ui/input/inputSdl.h"
#include "system/ui/mpris/mpris.h"
#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <SDL.h>
#include <sys/stat.h>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

enum { MUTE_SOUND, CHANGE_POSITION, RESOLUTION, FULLSCREEN, NO_MENU, PLAYLIST, NO_RESUME, NO_MPRIS, SWITCH_COUNT };

const char commandSwitches[SWITCH_COUNT][256] = {
    "--muteSound", "--changePosition", "--resolution", "--fullscreen", "--noMenu", "--playlist", "--no-resume", "--no-mpris"};

const char USAGE[] =
    "usage: tessellune [--playlist PLAYLIST|FOLDER|FILE]... [--no-resume] [--no-mpris] [--muteSound] "
    "[--changePosition m:ss[.fff]] [--resolution WxH] [--fullscreen 0|1] [--noMenu] [--help] [PLAYLIST|FOLDER|FILE]...";

// Window sides outside this range are refused: SDL reads 0 as "the desktop's
// size", negative values wrap to huge ones, and a giant software-rendered
// window exhausts memory.
const int LARGEST_SIDE = 16384;

struct settings_t {
    int muteSound = 0;
    int changePosition = 0;
    float timerPosition = 0;
    int resolutionWidth = 800;
    int resolutionHeight = 500;
    int fullscreen = 0;
    // --playlist, and plain paths: the user's own music instead of the
    // bundled list, read one after another into one list.
    const char** playlists = nullptr;
    int playlistCount = 0;
    const char* playlist = nullptr; // the first of them: where the list's resume state is kept
    int resume = 1;                 // own lists start where the last run left them
    int desktopBus = 1;             // served on the session bus (off: --no-mpris)
    char opened[4096] = "";         // the list last opened from the desktop
};

// What the song label shows when there is nothing to play.
const char* const NO_SONGS_HINT = "no songs: see data/music/playlist.pls";
const char* const MUTED_HINT = "sound is off (--muteSound)";

int switchIndex(const char* argument)
{
    for (int i = 0; i < SWITCH_COUNT; i++)
        if (strcmp(argument, commandSwitches[i]) == 0)
            return i;
    return -1;
}

int refuse(const char* reason, const char* argument)
{
    fprintf(stderr, "tessellune: %s \"%s\"; %s\n", reason, argument, USAGE);
    return 1;
}

// Returns -1 when parsing succeeded, otherwise the exit status.
int parseArguments(int argc, char* argv[], settings_t* settings)
{
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            printf("%s\n", USAGE);
            return 0;
        }
        int index = switchIndex(argument);
        // A plain argument is a path to play; one that names nothing is
        // more likely a mistyped switch, and the usage helps more then.
        struct stat info;
        if (index < 0 && (argument[0] == '-' || (stat(argument, &info) != 0 && !strstr(argument, "://"))))
            return refuse("unrecognised argument", argument);
        if (index < 0) { // a plain path: one more list, as --playlist gives
            settings->playlists[settings->playlistCount++] = argument;
            continue;
        }
        bool takesValue =
            index == CHANGE_POSITION || index == RESOLUTION || index == FULLSCREEN || index == PLAYLIST;
        if (takesValue && i + 1 >= argc)
            return refuse("missing value after", argument);
        const char* value = takesValue ? argv[++i] : nullptr;
        switch (index) {
        case MUTE_SOUND:
            settings->muteSound = 1;
            break;
        case CHANGE_POSITION:
            settings->changePosition = 1;
            settings->timerPosition = convertTimeToSeconds(value);
            break;
        case RESOLUTION:
            // A partial read keeps what it did not reach: "1024" sets only the width.
            sscanf(value, "%dx%d", &settings->resolutionWidth, &settings->resolutionHeight);
            if (settings->resolutionWidth <= 0 || settings->resolutionWidth > LARGEST_SIDE ||
                settings->resolutionHeight <= 0 || settings->resolutionHeight > LARGEST_SIDE)
                return refuse("window size out of range in", value);
            break;
        case FULLSCREEN:
            sscanf(value, "%d", &settings->fullscreen);
            break;
        case PLAYLIST:
            settings->playlists[settings->playlistCount++] = value;
            break;
        case NO_RESUME:
            settings->resume = 0;
            break;
        case NO_MPRIS:
            settings->desktopBus = 0;
            break;
        default: // NO_MENU: accepted; the player screen is always shown
            break;
        }
    }
    settings->playlist = settings->playlistCount ? settings->playlists[0] : nullptr;
    return -1;
}

// A path that names nothing to play ends the program before any window
// opens; of several, each such path is named and the rest still play.
// With the sound off the list is only checked: muted means no songs.
int openOwnPlaylist(const settings_t& settings)
{
    char reason[512];
    soundClearPlaylist();
    int opened = 0;
    for (int i = 0; i < settings.playlistCount; i++) {
        if (soundAddPlaylist(settings.playlists[i], reason, sizeof reason))
            opened++;
        else
            fprintf(stderr, "tessellune: --playlist \"%s\": %s\n", settings.playlists[i], reason);
    }
    if (!opened)
        return 0;
    if (settings.muteSound)
        soundClearPlaylist();
    return 1;
}

// A list opened from the desktop replaces the one the run started with:
// the place left in that one is kept first, and the next run takes up the
// new one. One that cannot be opened leaves the old list in place.
void openFromDesktop(settings_t* settings, const char* path)
{
    if (settings->muteSound)
        return;
    if (settings->playlist)
        soundResumeSave(settings->playlist, soundGetCurrentSong(), soundGetSongPosition());
    soundStop();
    char reason[512];
    if (!soundOpenPlaylist(path, reason, sizeof reason)) {
        fprintf(stderr, "tessellune: cannot open \"%s\" from the desktop: %s\n", path, reason);
        if (settings->opened[0])
            soundOpenPlaylist(settings->opened, reason, sizeof reason);
        else if (settings->playlistCount)
            openOwnPlaylist(*settings); // every path the run was given, as at start
        else
            soundLoadPlaylist("data/music/playlist.pls");
        return;
    }
    snprintf(settings->opened, sizeof settings->opened, "%s", path);
    settings->playlist = settings->opened;
    soundSetShuffle(soundGetShuffle()); // a new round over the new list
    soundPlaySong(0);
}

// A key (or a click on the progress bar, or a request from the desktop)
// acts through the same sound calls as the buttons do, one command a
// frame; the desktop's wait for a frame without a key. 1: the desktop
// asked the player to quit.
int actOnCommand(settings_t* settings)
{
    playerCommand_t command = menuTakeCommand();
    if (command.action == PLAYER_NONE)
        command = mprisTakeCommand();
    switch (command.action) {
    case PLAYER_PLAY_PAUSE: soundTogglePause(); break;
    case PLAYER_STOP: soundStop(); break;
    case PLAYER_NEXT: soundNextTrack(); break;
    case PLAYER_PREVIOUS: soundPreviousTrack(); break;
    case PLAYER_SEEK_BY: soundSeekBy(command.value); break;
    case PLAYER_SEEK_TO: soundSeekTo(command.value); break;
    case PLAYER_VOLUME_BY: soundChangeVolume(int(command.value) / 5); break;
    case PLAYER_MUTE: soundSetMuted(!soundIsMuted()); break;
    case PLAYER_SHUFFLE: soundSetShuffle(!soundGetShuffle()); break;
    case PLAYER_REPEAT: soundCycleRepeat(); break;
    case PLAYER_PLAY: if (!soundIsPlaying() || soundIsPaused()) soundTogglePause(); break;
    case PLAYER_PAUSE: if (soundIsPlaying() && !soundIsPaused()) soundTogglePause(); break;
    case PLAYER_SET_VOLUME: soundSetMuted(0); soundSetVolume(int(command.value)); break;
    case PLAYER_SET_SHUFFLE: soundSetShuffle(command.value != 0); break;
    case PLAYER_SET_REPEAT: soundSetRepeat(int(command.value)); break;
    case PLAYER_OPEN: openFromDesktop(settings, command.text); break;
    case PLAYER_QUIT: return 1;
    case PLAYER_NONE: break;
    }
    return 0;
}

static_assert(int(MENU_REPEAT_OFF) == int(SOUND_REPEAT_OFF) && int(MENU_REPEAT_ONE) == int(SOUND_REPEAT_ONE) &&
                  int(MENU_REPEAT_LIST) == int(SOUND_REPEAT_LIST),
              "the screen numbers the repeat modes as the sound front does");

// `position`: the playing song's, 0 when none plays (soundGetSongPosition).
void showPlayerState(float position)
{
    menuPlayerState_t state = {};
    state.status = soundIsPaused() ? MENU_PAUSED : soundIsPlaying() ? MENU_PLAYING : MENU_STOPPED;
    state.position = position;
    state.length = soundGetSongLength(soundGetCurrentSong());
    state.volume = soundGetVolume();
    state.muted = soundIsMuted();
    state.shuffle = soundGetShuffle();
    state.repeat = soundGetRepeat();
    state.listEnded = soundListEnded();
    state.album = soundGetSongAlbum(soundGetCurrentSong());
    state.live = soundIsLive();
    state.notice = soundGetNotice();
    menuSetPlayerState(&state);
}

// Components 0 to 4 are the transport buttons; only the first selected one
// acts, so a frame runs at most one playback action.
void actOnButtons(void)
{
    for (int i = 0; i <= 4; i++) {
        if (!get_gui_component(i)->selected)
            continue;
        switch (i) {
        case 0: soundPreviousTrack(); break;
        case 1: soundPlaySong(soundGetCurrentSong()); break;
        case 2: soundPause(); break;
        case 3: soundStop(); break;
        case 4: soundNextTrack(); break;
        }
        return;
    }
}

const char* songLabel(const settings_t& settings)
{
    if (soundGetPlaylistSize() == 0)
        return settings.muteSound ? MUTED_HINT : NO_SONGS_HINT;
    int song = soundGetCurrentSong();
    static char shown[1024];
    soundSongDisplayName(song, shown, sizeof shown);
    return menuSongLabel(shown, soundGetSongFilename(song));
}

} // namespace

int SDL_main(int argc, char* argv[])
{
    // Console lines (the playlist, the track trace, the debug log) reach a
    // log file as they happen, not when a block of them has filled up.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    settings_t settings;
    std::vector<const char*> playlists(static_cast<size_t>(argc));
    settings.playlists = playlists.data();
    int status = parseArguments(argc, argv, &settings);
    if (status >= 0)
        return status;
    if (settings.playlist && !openOwnPlaylist(settings))
        return 1;

    windowInit(unsigned(settings.resolutionWidth), unsigned(settings.resolutionHeight),
               unsigned(settings.fullscreen));
    if (!windowHasDisplay()) {
        // SDL would carry on with a window nobody can see, playing music
        // with no way to stop it but a signal.
        fprintf(stderr, "tessellune: no display to open the window on (DISPLAY is not set or does not "
                        "answer); set DISPLAY, or run tools/play.sh, which uses Xvfb\n");
        return 1;
    }
    if (windowShow() == -1) {
        fprintf(stderr, "tessellune: cannot open a %dx%d OpenGL window: %s\n",
                settings.resolutionWidth, settings.resolutionHeight, SDL_GetError());
        return 1;
    }
    windowSetTitle("Tessellune");
    inputCatchSignals();
    playerInit();
    menuInit();
    menuAddTimeLine();
    if (!settings.muteSound) {
        soundInit();
        if (!settings.playlist)
            soundLoadPlaylist("data/music/playlist.pls");
    }

    if (settings.playlist && settings.resume && !settings.muteSound)
        soundResumeLoad(settings.playlist);
    if (settings.desktopBus)
        mprisInit();
    timerInit(-1.0f);
    if (settings.changePosition)
        timerAddTime(settings.timerPosition);
    timerUpdate();

    // The loading loop takes the window's close request when it comes early;
    // it then only cuts the loading short, so honour it here rather than
    // leave a player running that its user has closed.
    int menu_done = inputQuitRequested() || inputSignalled();
    if (menu_done && !settings.muteSound)
        soundStop();
    int leftSong = soundGetCurrentSong();
    float leftAt = 0;
    while (!menu_done) {
        timerUpdate();
        soundCheckPlayer();
        // Where the list stands before a close request stops it; one look
        // at the position a frame serves the screen too.
        leftSong = soundGetCurrentSong();
        leftAt = soundGetSongPosition();
        showPlayerState(leftAt);
        menu_done = menuDraw();
        if (inputSignalled() && !menu_done) {
            // SIGTERM or SIGINT: the same way out as the window's close.
            soundStop();
            menu_done = 1;
        }
        mprisPoll();
        if (actOnCommand(&settings) && !menu_done) {
            soundStop(); // the desktop's Quit: the same way out as the window's close
            menu_done = 1;
        }
        actOnButtons();
        gui_component_set_text(get_gui_component(5), songLabel(settings));
        SDL_GL_SwapBuffers();
        timerAdjustFramerate();
    }

    mprisDeinit();
    playerDeinit();
    if (settings.playlist && !settings.muteSound)
        soundResumeSave(settings.playlist, leftSong, leftAt);
    if (!settings.muteSound)
        soundDeinit();
    windowDeinit();
    fontDeinit();
    return 0;
}

int main(int argc, char* argv[])
{
    return SDL_main(argc, argv);
}
