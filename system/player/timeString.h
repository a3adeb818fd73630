#ifndef TESSELLUNE_TIMESTRING_H
#define TESSELLUNE_TIMESTRING_H

// Time texts: "m:ss" with an optional ".fraction", optionally prefixed with
// "#" to mark an absolute time (the conversion itself ignores the "#").

#define TIME_NOT_GIVEN -1.0f  // a null text or "N/A"
#define TIME_MALFORMED -2.0f  // something other than ".fraction" after the seconds

float convertTimeToSeconds(const char* time);
// Writes "m:ss.mmm" (truncated, never rounded), or "N/A" for a NaN or
// infinite time; needs 16 characters, and a text longer than that (minutes
// of seven digits and more) is cut there.
void convertSecondsToTime(float seconds, char* time);
// Writes "#m:ss.mmm"; needs 16 characters.
void convertSecondsToAbsoluteTime(float seconds, char* time);

#endif
