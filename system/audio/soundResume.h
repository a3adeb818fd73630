#ifndef TESSELLUNE_SOUNDRESUME_H
#define TESSELLUNE_SOUNDRESUME_H

// Where a person's own list was left: the song, its position, the volume
// and the modes, kept in $XDG_STATE_HOME/tessellune/resume (by default
// ~/.local/state/tessellune/resume) at the end of a run, and taken up by
// the next run on the same list. A file that cannot be read or written
// costs one warning line; a damaged one is ignored.

// Saves, for the list at `listPath`, `song` at `seconds` (taken before the
// window's close stopped it) with the sound front's volume and modes.
void soundResumeSave(const char* listPath, int song, float seconds);
// When the saved state is for the list at `listPath`, restores volume and
// modes and cues the song, paused at its position; 1 when it did.
int soundResumeLoad(const char* listPath);

#endif
