#include "system/debug/debugMisuse.h"

#include <cstdarg>
#include <cstdio>

namespace {
// A message longer than this is cut; the line still ends.
const int MISUSE_MESSAGE_CHARS = 256;
}

void debugMisuse(const char* call, const char* format, ...)
{
    // One fprintf for the whole line, so it is not split by other output.
    char message[MISUSE_MESSAGE_CHARS];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    fprintf(stderr, "tessellune: misuse of %s: %s\n", call, message);
}

bool debugMisuseIfNull(const void* record, const char* call, const char* name)
{
    if (record)
        return false;
    debugMisuse(call, "%s is null", name);
    return true;
}
