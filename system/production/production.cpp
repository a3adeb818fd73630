#include "system/production/production.h"

#include "system/production/fileWatch.h"
#include "system/production/productionSync.h"

#include "effects/playlist.h"
#include "system/audio/audio.h"
#include "system/audio/audioClock.h"
#include "system/audio/noteSync.h"
#include "system/audio/sound.h"
#include "system/capture/capture.h"
#include "system/graphics/font/font.h"
#include "system/graphics/graphics.h"
#include "system/player/player.h"
#include "system/player/timeString.h"
#include "system/timer/timer.h"
#include "system/ui/input/inputSdl.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <GL/gl.h>
#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const int LARGEST_SIDE = 16384;
const int MOST_FPS = 1000;
const int MOST_SCENES = 64;
const int EDITOR_PORT = 1338; // the sync editor's own
const float SEEK_PLAIN = 5.0f; // seconds of a seek key when the music has no patterns
// The virtual screen windowInit sets up; its proportions are kept on screen.
const int VIRTUAL_WIDTH = 1280, VIRTUAL_HEIGHT = 720;

struct options_t {
    const char* name = "production";
    int width = 960;
    int height = 540;
    int fullscreen = 0;
    int stats = 0;
    const char* capture = nullptr;
    const char* clockLog = nullptr;
    int fps = 30;
    int fpsGiven = 0;
    float from = 0;
    int fromGiven = 0;
    float to = -1;
    const char* toText = nullptr;
    char editorHost[256] = "127.0.0.1";
    int editorPort = 0; // 0: no editor
};

void printUsage(FILE* to, const char* name)
{
    fprintf(to,
            "usage: %s [--resolution WxH] [--fullscreen] [--from m:ss] [--to m:ss] [--stats] [--clock-log FILE]\n"
            "          [--sync-editor [HOST:]PORT (127.0.0.1:1338)]  (Space pauses, Left/Right: a pattern back/on)\n"
            "       %s --capture DIR [--fps N] [--from m:ss] [--to m:ss] [--resolution WxH]\n",
            name, name);
}

int refuse(const options_t& o, const char* reason, const char* argument)
{
    fprintf(stderr, "%s: %s \"%s\"\n", o.name, reason, argument);
    printUsage(stderr, o.name);
    return 1;
}

// A time text that is no time comes back negative (-1 or -2).
int readTime(const char* text, float* seconds)
{
    *seconds = convertTimeToSeconds(text);
    return *seconds >= 0;
}

// [HOST:]PORT, HOST or HOST:; the host stays the loopback when only a port
// is given, the port the editor's own when only a host is.
int readEditor(const char* value, options_t* o)
{
    const char* colon = strrchr(value, ':');
    bool number = value[0] && strspn(value, "0123456789") == strlen(value);
    if (colon || !number) {
        size_t length = colon ? size_t(colon - value) : strlen(value);
        if (length == 0 || length >= sizeof o->editorHost)
            return 0;
        memcpy(o->editorHost, value, length);
        o->editorHost[length] = 0;
        value = colon ? colon + 1 : "";
    }
    if (!*value) {
        o->editorPort = EDITOR_PORT;
        return 1;
    }
    char* end = nullptr;
    long port = strtol(value, &end, 10);
    o->editorPort = int(port);
    return *end == 0 && port > 0 && port < 65536;
}

int readValue(const char* name, const char* value, options_t* o)
{
    if (strcmp(name, "--resolution") == 0)
        return sscanf(value, "%dx%d", &o->width, &o->height) == 2 && o->width > 0 && o->width <= LARGEST_SIDE &&
               o->height > 0 && o->height <= LARGEST_SIDE;
    if (strcmp(name, "--capture") == 0)
        return (o->capture = value)[0] != 0;
    if (strcmp(name, "--clock-log") == 0)
        return (o->clockLog = value)[0] != 0;
    if (strcmp(name, "--fps") == 0) {
        char* end = nullptr;
        long fps = strtol(value, &end, 10);
        o->fps = int(fps);
        o->fpsGiven = 1;
        return *end == 0 && fps > 0 && fps <= MOST_FPS;
    }
    if (strcmp(name, "--sync-editor") == 0)
        return readEditor(value, o);
    if (strcmp(name, "--from") == 0)
        return (o->fromGiven = 1) && readTime(value, &o->from);
    o->toText = value; // --to
    return readTime(value, &o->to);
}

// Returns -1 to go on, otherwise the exit status.
int parseArguments(int argc, char* argv[], options_t* o)
{
    static const char* const withValue[] = {"--resolution", "--capture", "--clock-log", "--fps", "--from", "--to",
                                             "--sync-editor"};
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0) {
            printUsage(stdout, o->name);
            return 0;
        }
        if (strcmp(a, "--fullscreen") == 0 || strcmp(a, "--stats") == 0) {
            (a[2] == 'f' ? o->fullscreen : o->stats) = 1;
            continue;
        }
        bool known = std::any_of(std::begin(withValue), std::end(withValue),
                                 [a](const char* name) { return strcmp(a, name) == 0; });
        if (!known)
            return refuse(*o, "unrecognised argument", a);
        if (i + 1 >= argc)
            return refuse(*o, "missing value after", a);
        if (!readValue(a, argv[i + 1], o))
            return refuse(*o, ("cannot use this value after " + std::string(a) + ":").c_str(), argv[i + 1]);
        i++;
    }
    if (!o->capture && o->fpsGiven)
        return refuse(*o, "--fps goes with --capture, not with", "--fps");
    if (o->capture && o->editorPort)
        return refuse(*o, "--sync-editor goes with a live run, not with", "--capture");
    if (o->capture && o->clockLog)
        return refuse(*o, "--clock-log goes with a live run, not with", "--capture");
    if (o->to >= 0 && o->to <= o->from)
        return refuse(*o, "--to must lie after --from (or the start), not at", o->toText);
    return -1;
}

// The production reads its music and data relative to the working
// directory. From an install tree the data lies in share/tessellune beside
// bin/: go there when the working directory lacks the music.
int findData(const char* music)
{
    if (access(music, R_OK) == 0 || music[0] == '/')
        return access(music, R_OK) == 0;
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 0;
    self[length] = 0;
    std::string dir(self);
    dir = dir.substr(0, dir.rfind('/'));
    std::string share = dir + "/../share/tessellune";
    if (access((share + "/" + music).c_str(), R_OK) != 0)
        return 0;
    return chdir(share.c_str()) == 0;
}

// The capture folder, made if need be, as an absolute path: findData may
// change the working directory afterwards.
int prepareFolder(const options_t& o, const char* path, std::string* absolute)
{
    if (mkdir(path, 0777) != 0 && errno != EEXIST) {
        fprintf(stderr, "%s: cannot make the folder %s: %s\n", o.name, path, strerror(errno));
        return 0;
    }
    char resolved[PATH_MAX];
    if (!realpath(path, resolved)) {
        fprintf(stderr, "%s: cannot use the folder %s: %s\n", o.name, path, strerror(errno));
        return 0;
    }
    *absolute = resolved;
    return 1;
}

void printTime(const char* label, float seconds)
{
    char text[32];
    convertSecondsToTime(seconds, text);
    printf("%s%s", label, text);
}

void printScenes(void)
{
    for (playerScene* scene = getPlayerSceneHead(); scene; scene = scene->next) {
        printf("scene %s", scene->name);
        printTime(" from ", scene->start);
        printTime(" to ", scene->end);
        printf("\n");
    }
}

// The first frame of every scene, with the module's position as the
// decoder has reached it: a production places its scenes on orders, and
// this shows whether the music is where the timeline thinks it is.
struct sceneStarts_t {
    bool started[MOST_SCENES];
};

void reportSceneStarts(sceneStarts_t* starts)
{
    float t = timerGetTime();
    int i = 0;
    for (playerScene* scene = getPlayerSceneHead(); scene && i < MOST_SCENES; scene = scene->next, i++) {
        if (starts->started[i] || !(scene->start <= t && t < scene->end))
            continue;
        starts->started[i] = true;
        printf("scene %s", scene->name);
        printTime(" starts at ", t);
        printf(": order %d, row %d\n", sound_getOrder(), sound_getRow());
    }
}

double nowMs(void)
{
    return double(audioClockMonotonicNs()) / 1e6;
}

// The notes are brought up to the frame's time before any scene asks.
void drawFrame(sceneStarts_t* starts)
{
    noteSyncUpdate(timerGetTime());
    productionSyncFrame(timerGetTime(), !soundIsPaused(), nowMs() / 1000.0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    viewReset();
    playerRun();
    reportSceneStarts(starts);
}

double percentile(std::vector<double> values, double part)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t index = size_t(part * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void printStats(const std::vector<double>& intervals, const std::vector<double>& work)
{
    printf("stats: %zu frames; frame time median %.2f ms, p99 %.2f ms; "
           "drawing (without the pacing sleep) median %.2f ms, p99 %.2f ms\n",
           intervals.size(), percentile(intervals, 0.5), percentile(intervals, 0.99), percentile(work, 0.5),
           percentile(work, 0.99));
}

// Rehearsal moves the music; the clock locked to it follows (a jump is a
// seek), and the syncs are worked out afresh for the new time.
void seekTo(float seconds)
{
    soundSeekTo(seconds < 0 ? 0 : seconds);
}

void setPaused(int paused)
{
    if (paused != soundIsPaused())
        soundTogglePause();
}

void editorSetRow(uint32_t row)
{
    seekTo(noteSyncRowStart(int(row > uint32_t(INT32_MAX) ? INT32_MAX : row)));
}

// One pattern of the play order from the one playing (5 s without patterns).
void seekPattern(int step)
{
    float now = timerGetTime();
    float to = 0;
    seekTo(noteSyncPatternStart(now, step, &to) ? to : now + float(step) * SEEK_PLAIN);
}

// The rehearsal keys are taken before the input module sees the events;
// every other key goes back to it.
void takeRehearsalKeys(void)
{
    SDL_Event events[16];
    SDL_PumpEvents();
    int count = SDL_PeepEvents(events, 16, SDL_GETEVENT, SDL_EVENTMASK(SDL_KEYDOWN));
    for (int i = 0; i < count; i++) {
        SDLKey key = events[i].key.keysym.sym;
        if (key == SDLK_SPACE)
            setPaused(!soundIsPaused());
        else if (key == SDLK_LEFT || key == SDLK_RIGHT)
            seekPattern(key == SDLK_LEFT ? -1 : 1);
        else
            SDL_PushEvent(&events[i]);
    }
}

// The clock starts at the music's zero and the music starts after it, so
// the first frame's time is the music's, whatever the start-up cost.
void runLive(const options_t& o, FILE* clockLog)
{
    sceneStarts_t starts = {};
    std::vector<double> intervals, work;
    audioClockInstall();
    timerInit(o.to >= 0 ? o.to : getPlaylistLength());
    soundPlaySong(0);
    windowSetTitle(o.name); // the song's caption is the player's, not the production's
    audioClockFollow(soundGetChannel());
    if (o.fromGiven)
        seekTo(o.from);
    productionSyncStart(o.editorHost, o.editorPort, syncEditorHandler_t{editorSetRow, setPaused});
    double last = nowMs();
    for (;;) {
        double begin = nowMs();
        takeRehearsalKeys();
        fileWatchPoll(begin / 1000.0);
        timerUpdate();
        double read = nowMs();
        if (isUserExit() || timerIsEnd())
            break;
        drawFrame(&starts);
        SDL_GL_SwapBuffers();
        glFinish();
        double drawn = nowMs();
        if (clockLog)
            fprintf(clockLog, "%.6f %.6f %.6f\n", drawn / 1000.0, double(timerGetTime()), read / 1000.0);
        timerAdjustFramerate();
        work.push_back(drawn - begin);
        double now = nowMs();
        intervals.push_back(now - last);
        last = now;
    }
    audioClockRemove();
    productionSyncStop();
    if (o.stats)
        printStats(intervals, work);
}

int64_t frameAt(float seconds, int fps)
{
    return int64_t(llround(double(seconds) * fps));
}

// Frames are written behind the drawing, so a failure shows a frame or two
// late: the message names the frame that failed, not the one at hand.
bool saveFrame(const options_t& o, const std::string& folder, int64_t index)
{
    char name[32];
    snprintf(name, sizeof name, "/%05lld.png", (long long)index);
    std::string path = folder + name;
    if (captureSaveFrame(path.c_str()))
        return true;
    fprintf(stderr, "%s: cannot write %s\n", o.name, captureFramesFailure() ? captureFramesFailure() : path.c_str());
    return false;
}

// Frames before `from` are drawn too, into a one-pixel scissor, so that
// every sync has seen the same frames as in a whole run; only the sound is
// mixed for them. The sound up to each frame's time is mixed before the
// frame is drawn, so the module's order and row are those of the picture.
// Returns the exit status.
int runCapture(const options_t& o, const std::string& folder)
{
    int64_t first = frameAt(o.from, o.fps);
    int64_t end = o.to >= 0 ? frameAt(o.to, o.fps) : int64_t(ceil(double(getPlaylistLength()) * o.fps));
    std::string wav = folder + "/sound.wav";
    if (!captureSoundOpen(wav.c_str())) {
        fprintf(stderr, "%s: cannot write %s: %s\n", o.name, wav.c_str(), strerror(errno));
        return 1;
    }
    captureFramesStart();
    printf("capture: frames %lld to %lld at %d fps into %s\n", (long long)first, (long long)end - 1, o.fps,
           folder.c_str());
    soundPlaySong(0);
    windowSetTitle(o.name);
    sceneStarts_t starts = {};
    productionSyncStart(nullptr, 0, syncEditorHandler_t{nullptr, nullptr});
    timerInit(-1.0f);
    uint64_t mixed = 0;
    double begin = nowMs();
    int64_t k = 0;
    for (; k < end && !isUserExit(); k++) {
        uint64_t upTo = captureSoundFramesBefore(uint64_t(k), o.fps);
        captureSoundRender(upTo - mixed, k > first);
        mixed = upTo;
        captureClockSetFrame(uint64_t(k));
        timerUpdate();
        bool keep = k >= first;
        if (!keep) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, 0, 1, 1);
        }
        drawFrame(&starts);
        glDisable(GL_SCISSOR_TEST);
        if (keep && !saveFrame(o, folder, k - first)) {
            captureFramesFinish();
            captureSoundClose();
            return 1;
        }
        if (k % o.fps == 0)
            SDL_GL_SwapBuffers(); // a glimpse of the progress, once a second of the production
    }
    productionSyncStop();
    uint64_t upTo = captureSoundFramesBefore(uint64_t(k), o.fps);
    captureSoundRender(upTo - mixed, 1);
    int written = captureSoundClose();
    // The last frames are still being written: the time counts them.
    if (!captureFramesFinish()) {
        fprintf(stderr, "%s: cannot write %s\n", o.name, captureFramesFailure());
        return 1;
    }
    double seconds = (nowMs() - begin) / 1000.0;
    long long frames = (long long)std::max<int64_t>(0, k - first);
    printf("capture: %lld frames in %.2f s (%.1f frames/s); sound.wav %llu stereo frames\n", frames, seconds,
           seconds > 0 ? double(frames) / seconds : 0.0, (unsigned long long)captureSoundFramesWritten());
    if (!written) {
        fprintf(stderr, "%s: cannot write %s\n", o.name, wav.c_str());
        return 1;
    }
    return 0;
}

// Returns -1 when the window is up, otherwise the exit status.
int openWindow(const options_t& o)
{
    int areaWidth = 0, areaHeight = 0;
    productionFitArea(o.width, o.height, &areaWidth, &areaHeight);
    setWindowScreenAreaDimensions(areaWidth, areaHeight); // centred by windowInit: the bars
    windowInit(unsigned(o.width), unsigned(o.height), unsigned(o.fullscreen));
    if (!windowHasDisplay()) {
        fprintf(stderr, "%s: no display to open the window on (DISPLAY is not set or does not "
                        "answer); set DISPLAY, or run it under tools/with-xvfb.sh\n", o.name);
        return 1;
    }
    if (windowShow() == -1) {
        fprintf(stderr, "%s: cannot open a %dx%d OpenGL window: %s\n", o.name, o.width, o.height, SDL_GetError());
        return 1;
    }
    windowSetTitle(o.name);
    inputInit();
    return -1;
}

// Everything after the window: the scenes, the music and the run itself.
int runProduction(const options_t& o, const std::string& folder)
{
    FILE* clockLog = o.clockLog ? fopen(o.clockLog, "w") : nullptr;
    if (o.clockLog && !clockLog) {
        fprintf(stderr, "%s: cannot write %s: %s\n", o.name, o.clockLog, strerror(errno));
        return 1;
    }
    if (o.capture) {
        // No device: the sound is pulled frame by frame, and the clock is the frame count.
        captureClockInstall(o.fps);
        audioSetOutput(AUDIO_OUTPUT_PULL);
    }
    playerInit();
    printScenes();
    int status = 0;
    if (!isUserExit()) {
        soundInit();
        soundAddSongToPlaylist(getPlaylistMusic(), o.name, int(getPlaylistLength()) + 1);
        noteSyncLoad(getPlaylistMusic());
        if (o.capture)
            status = runCapture(o, folder);
        else
            runLive(o, clockLog);
    }
    playerDeinit();
    fileWatchClear();
    soundDeinit();
    noteSyncUnload();
    if (o.capture)
        captureClockRemove();
    if (clockLog && fclose(clockLog) != 0) {
        fprintf(stderr, "%s: cannot write %s\n", o.name, o.clockLog);
        status = 1;
    }
    return status;
}

} // namespace

void productionFitArea(int width, int height, int* areaWidth, int* areaHeight)
{
    // Compared in integers, so a window of exactly 16:9 is filled exactly.
    if (int64_t(width) * VIRTUAL_HEIGHT > int64_t(height) * VIRTUAL_WIDTH) {
        *areaHeight = height;
        *areaWidth = int(int64_t(height) * VIRTUAL_WIDTH / VIRTUAL_HEIGHT);
    } else {
        *areaWidth = width;
        *areaHeight = int(int64_t(width) * VIRTUAL_HEIGHT / VIRTUAL_WIDTH);
    }
    *areaWidth = std::max(1, *areaWidth);
    *areaHeight = std::max(1, *areaHeight);
}

int productionRun(int argc, char* argv[], const char* name)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    options_t o;
    o.name = name;
    int status = parseArguments(argc, argv, &o);
    if (status >= 0)
        return status;
    std::string folder;
    if (o.capture && !prepareFolder(o, o.capture, &folder))
        return 1;
    if (!findData(getPlaylistMusic())) {
        fprintf(stderr, "%s: no %s here nor in the install tree's share/tessellune; "
                        "start it in the production's folder or the install's share/tessellune\n",
                o.name, getPlaylistMusic());
        return 1;
    }
    status = openWindow(o);
    if (status >= 0)
        return status;
    status = runProduction(o, folder);
    windowDeinit();
    fontDeinit();
    return status;
}
