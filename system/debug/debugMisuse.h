#ifndef TESSELLUNE_DEBUGMISUSE_H
#define TESSELLUNE_DEBUGMISUSE_H

// A caller's misuse of an engine call (a null record, a count or index out of
// range, a record already released) costs one line on the standard error,
// "tessellune: misuse of CALL: MESSAGE", and the call then does nothing
// harmful. Checked in every build: an assert vanishes from the release build
// and leaves the misuse to become a memory error there.

void debugMisuse(const char* call, const char* format, ...) __attribute__((format(printf, 2, 3)));
// True, after the line "RECORD is null", when `record` is null.
bool debugMisuseIfNull(const void* record, const char* call, const char* name);

#endif
