#ifndef TESSELLUNE_DEBUGPRINT_H
#define TESSELLUNE_DEBUGPRINT_H

// Time-stamped console lines: "[m:ss.mmm] LEVEL: message".

#define DEBUG_STYLE_PLAIN 0
#define DEBUG_STYLE_ERROR 1
#define DEBUG_STYLE_WARNING 2
#define DEBUG_STYLE_NOTE 3

// The level word of every following line; other values silence the log.
void setDebugStyle(int style);
// One line on the standard output, flushed at once; any length.
void __debugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif
