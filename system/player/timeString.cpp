#include "system/player/timeString.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Minutes are counted in a double, where an int would overflow past about
// 4000 years. The caller's 16 characters bound the text: minutes of up to
// six digits fit every form, sign and "#" included; a longer text is cut.
void writeTime(float seconds, char* time, bool absolute)
{
    const char* prefix = absolute ? "#" : "";
    // Infinity has no minutes to write either.
    if (!std::isfinite(seconds)) {
        strcpy(time, "N/A");
        return;
    }
    const char* sign = "";
    if (seconds < 0) {
        sign = "-";
        seconds = -seconds;
    }
    // fmod is exact: the seconds are 0 to 59 even where a float quotient by
    // 60 would round up to the next minute.
    double whole = fmod(double(seconds), 60.0);
    double minutes = (double(seconds) - whole) / 60.0;
    int milliseconds = int((seconds - floorf(seconds)) * 1000);
    snprintf(time, 16, "%s%s%.0f:%02d.%03d", prefix, sign, minutes, int(whole), milliseconds);
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
