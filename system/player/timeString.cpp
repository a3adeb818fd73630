#include "system/player/timeString.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The largest magnitude the writers print: five digits of minutes keep the
// absolute form inside 16 characters, sign included. Whole seconds, because
// a float this large has no milliseconds left.
const float WRITABLE_LIMIT = 99999.0f * 60.0f + 59.0f;

void writeTime(float seconds, char* time, bool absolute)
{
    const char* prefix = absolute ? "#" : "";
    if (std::isnan(seconds)) {
        strcpy(time, "N/A");
        return;
    }
    const char* sign = "";
    if (seconds < 0) {
        sign = "-";
        seconds = -seconds;
    }
    if (seconds > WRITABLE_LIMIT)
        seconds = WRITABLE_LIMIT;
    int minutes = int(seconds / 60);
    int whole = int(seconds - float(minutes) * 60);
    int milliseconds = int((seconds - floorf(seconds)) * 1000);
    snprintf(time, 16, "%s%s%d:%02d.%03d", prefix, sign, minutes, whole, milliseconds);
}

} // namespace

float convertTimeToSeconds(const char* time)
{
    if (!time || strcmp(time, "N/A") == 0)
        return TIME_NOT_GIVEN;
    int minutes = 0, seconds = 0;
    // Seven characters and the terminator: a longer fraction is cut, which
    // only drops digits far below a float's precision.
    char fraction[8] = "";
    if (time[0] == '#')
        time++;
    sscanf(time, "%d:%d%7s", &minutes, &seconds, fraction);
    if (fraction[0] && fraction[0] != '.')
        return TIME_MALFORMED;
    double part = fraction[0] ? atof(fraction) : 0.0;
    // 64-bit, so huge minute counts cannot overflow the sum.
    long long whole = (long long)minutes * 60 + seconds;
    return float(double(whole) + part);
}

void convertSecondsToTime(float seconds, char* time)
{
    writeTime(seconds, time, false);
}

void convertSecondsToAbsoluteTime(float seconds, char* time)
{
    writeTime(seconds, time, true);
}
