#ifndef TESSELLUNE_SOUND_H
#define TESSELLUNE_SOUND_H

// The song table read from a PLS playlist, playback with track navigation
// and the automatic advance, and tracker-module sync.

#include <cstddef>

// --- playlist and song table ---
void soundLoadPlaylist(const char* path); // empties the table, then reads the file
// For tests, the fuzz target and benchmarks (and the reading half of
// soundLoadPlaylist): reads playlist text already in memory into the table,
// appending; `path` is where it came from: relative file names are taken
// from its directory. A zero byte ends the text like the end of the file.
void soundParsePlaylist(const char* text, size_t size, const char* path);
int soundAddSongToPlaylist(const char* filename, const char* title, int length);
void soundClearPlaylist(void);
int soundGetPlaylistSize(void);
int soundGetCurrentSong(void);
int soundGetSongLength(int song);
const char* soundGetSongFilename(int song);
const char* soundGetSongName(int song);
int soundGetTrackNumber(int song); // the number shown to the user: song + 1

// --- playback ---
void soundInit(void);
void soundLoadSong(int song);
void soundPlaySong(int song);   // restarts the audio system, plays from the beginning
void soundPause(void);
void soundStop(void);           // pauses and rewinds
void soundSetPosition(float seconds);
void soundNextTrack(void);
void soundPreviousTrack(void);
void soundCheckPlayer(void);    // once per frame: the automatic advance
int soundIsPlaying(void);
float soundGetSongCurrentPlayTime(void);
void soundFree(void);
void soundDeinit(void);          // also closes the audio device: the end of the run
// For tests and benchmarks: every field of the module back to its start
// value, whatever state it is in, so one process can run it many times.
void soundReset(void);

// --- tracker-module sync ---
int sound_getOrder(void);
int sound_getRow(void);
int sound_isSync(int instrument); // 1 once per newly reached sync row

#endif
