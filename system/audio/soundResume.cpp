#include "system/audio/soundResume.h"

#include "system/audio/sound.h"
#include "system/io/io.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const size_t PATH_SIZE = 4096;
const char FILE_NAME[] = "resume";

struct resumeState_t {
    char list[PATH_SIZE];
    int song = -1;
    double position = 0;
    int volume = 100;
    int muted = 0;
    int shuffle = 0;
    int repeat = SOUND_REPEAT_LIST;
};

// The folder of the state file, made when `create` is set; 0 when there is
// no home to put it in.
int stateFolder(char* out, size_t size, int create)
{
    const char* xdg = getenv("XDG_STATE_HOME");
    const char* home = getenv("HOME");
    char base[PATH_SIZE];
    if (xdg && xdg[0] == '/')
        snprintf(base, sizeof base, "%s", xdg);
    else if (home && home[0])
        snprintf(base, sizeof base, "%s/.local/state", home);
    else
        return 0;
    if (create) {
        char parent[PATH_SIZE + 8];
        snprintf(parent, sizeof parent, "%s", base);
        // mkdir -p of the base: each missing level in turn.
        for (char* c = parent + 1; *c; c++) {
            if (*c == '/') {
                *c = 0;
                mkdir(parent, 0700);
                *c = '/';
            }
        }
        mkdir(parent, 0700);
    }
    int written = snprintf(out, size, "%s/tessellune", base);
    if (written < 0 || size_t(written) >= size)
        return 0;
    if (create)
        mkdir(out, 0700);
    return 1;
}

// The list's absolute path, so a list named from another folder matches.
void listKey(const char* listPath, char* out, size_t size)
{
    char resolved[PATH_MAX];
    snprintf(out, size, "%s", realpath(listPath, resolved) ? resolved : listPath);
}

int parse(const char* text, resumeState_t* saved)
{
    int fields = 0;
    for (const char* line = text; line && *line; line = strchr(line, '\n'), line = line ? line + 1 : nullptr) {
        const char* value = strchr(line, '=');
        const char* end = strchr(line, '\n');
        if (!value || (end && value > end))
            continue;
        value++;
        size_t length = end ? size_t(end - value) : strlen(value);
        char field[PATH_SIZE];
        snprintf(field, sizeof field, "%.*s", int(length < sizeof field ? length : sizeof field - 1), value);
        if (strncmp(line, "list=", 5) == 0)
            fields += snprintf(saved->list, sizeof saved->list, "%s", field) > 0;
        else if (strncmp(line, "song=", 5) == 0)
            fields += sscanf(field, "%d", &saved->song) == 1;
        else if (strncmp(line, "position=", 9) == 0)
            fields += sscanf(field, "%lf", &saved->position) == 1;
        else if (strncmp(line, "volume=", 7) == 0)
            fields += sscanf(field, "%d", &saved->volume) == 1;
        else if (strncmp(line, "muted=", 6) == 0)
            fields += sscanf(field, "%d", &saved->muted) == 1;
        else if (strncmp(line, "shuffle=", 8) == 0)
            fields += sscanf(field, "%d", &saved->shuffle) == 1;
        else if (strncmp(line, "repeat=", 7) == 0)
            fields += sscanf(field, "%d", &saved->repeat) == 1;
    }
    // A damaged file is ignored whole, not taken up in part.
    return fields == 7 && saved->song >= 0 && saved->position >= 0 && saved->position < 1e7 &&
           saved->volume >= 0 && saved->volume <= 100 && saved->repeat >= SOUND_REPEAT_OFF &&
           saved->repeat <= SOUND_REPEAT_LIST;
}

} // namespace

void soundResumeSave(const char* listPath, int song, float seconds)
{
    char folder[PATH_SIZE], path[PATH_SIZE + 16], list[PATH_SIZE];
    if (!listPath || !stateFolder(folder, sizeof folder, 1))
        return;
    snprintf(path, sizeof path, "%s/%s", folder, FILE_NAME);
    listKey(listPath, list, sizeof list);
    const char* why = "";
    FILE* out = ioOpenRegularFile(path, "wb", &why);
    if (!out) {
        fprintf(stderr, "tessellune: cannot keep where the list was left in %s: %s\n", path, why);
        return;
    }
    fprintf(out, "list=%s\nsong=%d\nposition=%.3f\nvolume=%d\nmuted=%d\nshuffle=%d\nrepeat=%d\n", list,
            song, double(seconds > 0 ? seconds : 0), soundGetVolume(), soundIsMuted(), soundGetShuffle(),
            soundGetRepeat());
    if (fclose(out) != 0)
        fprintf(stderr, "tessellune: cannot keep where the list was left in %s: %s\n", path, strerror(errno));
}

int soundResumeLoad(const char* listPath)
{
    char folder[PATH_SIZE], path[PATH_SIZE + 16], list[PATH_SIZE];
    if (!listPath || !stateFolder(folder, sizeof folder, 0))
        return 0;
    snprintf(path, sizeof path, "%s/%s", folder, FILE_NAME);
    struct stat info;
    if (stat(path, &info) != 0 && errno == ENOENT)
        return 0; // the first run: nothing to say
    errno = 0;
    char* text = ioReadFileToBuffer(path);
    if (!text) {
        if (errno)
            fprintf(stderr, "tessellune: cannot read where the list was left (%s): %s\n", path, strerror(errno));
        return 0;
    }
    resumeState_t saved;
    int usable = parse(text, &saved);
    free(text);
    listKey(listPath, list, sizeof list);
    if (!usable || strcmp(saved.list, list) != 0 || saved.song >= soundGetPlaylistSize())
        return 0;
    soundSetVolume(saved.volume);
    soundSetMuted(saved.muted);
    soundSetRepeat(saved.repeat);
    soundCue(saved.song, float(saved.position));
    soundSetShuffle(saved.shuffle);
    return 1;
}
