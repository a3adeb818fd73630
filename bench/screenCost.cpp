// What the player screen costs a machine without a GPU: the share of one
// core the real program takes, measured from outside (user + system time of
// the process in /proc) over a fixed time, idle and while playing, beside the
// floor, a program that only clears and swaps at the same 12 ms pace. Also
// the resident memory of each. Needs an X display and xdotool:
//   tools/with-xvfb.sh build/bench_screenCost [seconds] [player]
// seconds defaults to 15, player to build/tessellune of the source tree.
#include "system/timer/timer.h"

#include <GL/gl.h>
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const int WARM_UP_SECONDS = 3;

// The floor: a window and a frame loop with nothing in the frame.
int runEmptyFrames(void)
{
    SDL_Init(SDL_INIT_VIDEO);
    if (!SDL_SetVideoMode(800, 500, 0, SDL_OPENGL))
        return 1;
    timerInit(-1.0f);
    timerUpdate();
    for (;;) {
        timerUpdate();
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT)
                return 0;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapBuffers();
        timerAdjustFramerate();
    }
}

pid_t start(const std::string& program, const char* argument)
{
    fflush(stdout); // or the child's copy of the buffer prints it again
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(TESSELLUNE_SOURCE_DIR) != 0) // the player reads data/ from here
            _exit(127);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!freopen("/dev/null", "w", stdout)) // the playlist lines
            _exit(127);
        execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Seconds of CPU the process has used so far (all its threads).
double cpuSeconds(pid_t pid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE* file = fopen(path, "r");
    if (!file)
        return -1;
    char line[2048];
    size_t length = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[length] = 0;
    // Fields after the command name, which may hold spaces: state is field 3,
    // utime and stime are fields 14 and 15.
    const char* rest = strrchr(line, ')');
    unsigned long utime = 0, stime = 0;
    if (!rest || sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                        &stime) != 2)
        return -1;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

long statusKb(pid_t pid, const char* key)
{
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", int(pid));
    FILE* file = fopen(path, "r");
    long value = -1;
    while (file && fgets(line, sizeof line, file))
        if (strncmp(line, key, strlen(key)) == 0)
            value = atol(line + strlen(key) + 1);
    if (file)
        fclose(file);
    return value;
}

// The first line a command prints, without its newline.
std::string firstLine(const std::string& command)
{
    FILE* out = popen((command + " 2>/dev/null").c_str(), "r");
    char line[256] = "";
    if (out) {
        if (!fgets(line, sizeof line, out))
            line[0] = 0;
        pclose(out);
    }
    line[strcspn(line, "\n")] = 0;
    return line;
}

std::string windowOf(pid_t pid)
{
    for (int tries = 0; tries < 200; tries++) {
        std::string id = firstLine("xdotool search --onlyvisible --pid " + std::to_string(pid));
        if (!id.empty())
            return id;
        usleep(100000);
    }
    return "";
}

// The share of one core over `seconds`, in per cent.
double measure(pid_t pid, int seconds)
{
    double before = cpuSeconds(pid);
    sleep(unsigned(seconds));
    double after = cpuSeconds(pid);
    return before < 0 || after < 0 ? -1 : 100.0 * (after - before) / seconds;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

void report(const char* what, double share, pid_t pid)
{
    printf("%-22s %6.1f %% of a core   VmRSS %6ld kB   VmHWM %6ld kB\n", what, share,
           statusKb(pid, "VmRSS:"), statusKb(pid, "VmHWM:"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && strcmp(argv[1], "--empty-frames") == 0)
        return runEmptyFrames();
    int seconds = argc > 1 ? atoi(argv[1]) : 15;
    std::string player = argc > 2 ? argv[2] : TESSELLUNE_SOURCE_DIR "/build/tessellune";
    if (seconds <= 0 || !getenv("DISPLAY")) {
        fprintf(stderr, "usage: tools/with-xvfb.sh %s [seconds] [player]\n", argv[0]);
        return 2;
    }

    pid_t floor = start(argv[0], "--empty-frames");
    sleep(WARM_UP_SECONDS);
    double floorShare = measure(floor, seconds);
    report("empty paced frame", floorShare, floor);
    stop(floor);

    pid_t screen = start(player, nullptr);
    std::string window = windowOf(screen);
    if (window.empty()) {
        fprintf(stderr, "screenCost: %s showed no window\n", player.c_str());
        stop(screen);
        return 1;
    }
    sleep(WARM_UP_SECONDS);
    double idleShare = measure(screen, seconds);
    report("player screen, idle", idleShare, screen);

    // PLAY sits at GUI (95, 425): window pixel (95, 75) in the 800 x 500 window.
    std::string click = "xdotool mousemove --window " + window + " 95 75 click 1";
    if (system(click.c_str()) != 0)
        fprintf(stderr, "screenCost: could not click PLAY\n");
    sleep(1);
    // A playing song puts its number, title and length in the caption.
    std::string caption = firstLine("xdotool getwindowname " + window);
    if (caption == "Tessellune")
        fprintf(stderr, "screenCost: PLAY started no song: the playing figure is idle too\n");
    else
        printf("playing \"%s\"\n", caption.c_str());
    double playingShare = measure(screen, seconds);
    report("player screen, playing", playingShare, screen);
    stop(screen);

    printf("over %d s: idle %.2f x the floor, playing %.2f x the floor\n", seconds,
           idleShare / floorShare, playingShare / floorShare);
    return 0;
}
