#include "system/debug/debugPrint.h"

#include "system/timer/timer.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

int debugStyle = 0;

// Formats into a heap buffer that grows until the whole message fits.
char* formatMessage(const char* format, va_list args)
{
    size_t size = 128;
    char* buffer = static_cast<char*>(malloc(size));
    while (buffer) {
        va_list copy;
        va_copy(copy, args);
        int n = vsnprintf(buffer, size, format, copy);
        va_end(copy);
        if (n >= 0 && size_t(n) < size)
            return buffer;
        size = n >= 0 ? size_t(n) + 1 : size * 2;
        char* grown = static_cast<char*>(realloc(buffer, size));
        if (!grown)
            free(buffer);
        buffer = grown;
    }
    return nullptr;
}

// "m:ss.mmm" from the frame timer: the milliseconds are the digits after the
// point of the time printed with three decimals.
void formatStamp(char* stamp, size_t size, float t)
{
    // Out-of-range clocks are clamped so the int conversion stays defined.
    double clamped = t == t ? double(t) : 0.0;
    if (clamped > 2e9)
        clamped = 2e9;
    if (clamped < -2e9)
        clamped = -2e9;
    int whole = int(clamped);
    char decimals[32];
    snprintf(decimals, sizeof decimals, "%.3f", clamped);
    const char* point = decimals;
    while (*point && *point != '.')
        point++;
    const char* millis = *point ? point + 1 : "000";
    snprintf(stamp, size, "%d:%02d.%s", whole / 60, whole % 60, millis);
}

} // namespace

void setDebugStyle(int style)
{
    debugStyle = style;
}

void __debugPrintf(const char* format, ...)
{
    static const char* const lineFormats[] = {
        "[%s] %s\n", "[%s] ERROR: %s\n", "[%s] WARNING: %s\n", "[%s] NOTE: %s\n"};
    if (debugStyle < 0 || debugStyle > 3)
        return;
    va_list args;
    va_start(args, format);
    char* message = formatMessage(format, args);
    va_end(args);
    if (!message)
        return;
    char stamp[32];
    formatStamp(stamp, sizeof stamp, timerGetTime());
    printf(lineFormats[debugStyle], stamp, message);
    fflush(stdout);
    free(message);
}
