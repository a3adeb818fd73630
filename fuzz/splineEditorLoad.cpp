// splineEditorLoad on arbitrary drawing files: no slot past the last, every
// slot's count equal to its list, and nothing read or kept past the data.

#include "system/ui/editors/splineEditor.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

char path[] = "/tmp/tessellune-fuzz-draw-XXXXXX";

void check(bool condition)
{
    if (!condition)
        abort();
}

void removeFile(void)
{
    unlink(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool made = false;
    if (!made) {
        int fd = mkstemp(path);
        check(fd >= 0);
        close(fd);
        atexit(removeFile);
        made = true;
    }
    FILE* file = fopen(path, "wb");
    check(file != nullptr);
    check(fwrite(data, 1, size, file) == size);
    fclose(file);

    splineEditorReset();
    splineEditorInit();
    splineEditorLoad(path);
    const splineEditor_t* s = splineEditorGetState();
    check(s->splinesNum >= 0 && s->splinesNum < SPLINE_EDITOR_SLOTS);
    check(s->splinesMax == s->splinesNum + 1);
    size_t points = 0;
    for (int slot = 0; slot < SPLINE_EDITOR_SLOTS; slot++) {
        int counted = 0;
        for (const bezierSpline* p = s->bSHead[slot]; p; p = p->next)
            counted++;
        check(counted == s->bezierPointNum[slot]);
        check(slot < s->splinesMax || counted == 0);
        points += size_t(counted);
    }
    check(8 * (size_t(s->splinesNum) + points) <= size);
    splineEditorDeinit();
    return 0;
}
