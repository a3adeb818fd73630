// The spline editor on its own: a window to draw freehand strokes in, smoothed
// by natural cubic splines, saved to numbered drawing files in the working
// directory.

#include "system/io/io.h"
#include "system/timer/timer.h"
#include "system/ui/editors/splineEditor.h"
#include "system/ui/input/inputSdl.h"
#include "system/ui/window/window.h"
#include "system/ui/window/windowSdl.h"

#include <GL/gl.h>
#include <SDL.h>
#include <cstdio>
#include <cstring>

namespace {

const char USAGE[] = "usage: tessellune_editor [--resolution WxH] [drawing.dat ...]";
const int LARGEST_SIDE = 16384;

const char KEYS[] =
    "Tessellune spline editor\n"
    "  mouse button, drag   draw a stroke\n"
    "  Ctrl + drag          move a control point\n"
    "  Ctrl+Z               undo the last stroke\n"
    "  Shift                show the control points\n"
    "  1-9                  point spacing while drawing (5 to 40 pixels)\n"
    "  Page Up / Page Down  line width\n"
    "  F1                   save to drawN.dat (N is 1 until F2 picks another)\n"
    "  F2                   save as the next drawN.dat that does not exist yet\n"
    "  Escape               quit\n";

struct options_t {
    int width = 800;
    int height = 600;
    int firstFile = 0; // index of the first drawing file in argv, 0: none
};

// -1 when the program goes on, else the exit status.
int parseArguments(int argc, char* argv[], options_t* options)
{
    int i = 1;
    for (; i < argc && strncmp(argv[i], "-", 1) == 0; i++) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            printf("%s\n%s", USAGE, KEYS);
            return 0;
        }
        if (strcmp(argv[i], "--resolution") != 0 || i + 1 >= argc) {
            fprintf(stderr, "tessellune_editor: unrecognised argument \"%s\"; %s\n", argv[i], USAGE);
            return 1;
        }
        const char* value = argv[++i];
        if (sscanf(value, "%dx%d", &options->width, &options->height) != 2 ||
            options->width <= 0 || options->width > LARGEST_SIDE || options->height <= 0 ||
            options->height > LARGEST_SIDE) {
            fprintf(stderr, "tessellune_editor: bad window size \"%s\"; %s\n", value, USAGE);
            return 1;
        }
    }
    options->firstFile = i < argc ? i : 0;
    return -1;
}

void loadDrawings(int argc, char* argv[], int first)
{
    for (int i = first; first > 0 && i < argc; i++) {
        const char* why;
        FILE* probe = ioOpenRegularFile(argv[i], "rb", &why);
        if (!probe) {
            printf("tessellune_editor: cannot open %s (%s); not loaded\n", argv[i], why);
            continue;
        }
        fclose(probe);
        splineEditorLoad(argv[i]);
        printf("tessellune_editor: loaded %s\n", argv[i]);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    options_t options;
    int status = parseArguments(argc, argv, &options);
    if (status >= 0)
        return status;

    windowInit(unsigned(options.width), unsigned(options.height), 0);
    if (windowShow() != 1) {
        fprintf(stderr, "tessellune_editor: cannot open a %dx%d OpenGL window: %s\n",
                options.width, options.height, SDL_GetError());
        return 1;
    }
    windowSetTitle("Tessellune editor");
    printf("%s", KEYS);
    fflush(stdout);

    inputInit();
    timerInit(-1.0f);
    timerUpdate();
    splineEditorInit();
    loadDrawings(argc, argv, options.firstFile);
    fflush(stdout);

    glClearColor(1, 1, 1, 1);
    for (;;) {
        timerUpdate();
        if (isUserExit())
            break;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        splineEditorRun();
        SDL_GL_SwapBuffers();
        timerAdjustFramerate();
    }

    splineEditorDeinit();
    windowDeinit();
    return 0;
}
