#ifndef TESSELLUNE_SOUND_H
#define TESSELLUNE_SOUND_H

// The song table read from a PLS playlist, playback with track navigation
// and the automatic advance, and tracker-module sync.

#include <cstddef>
#include <cstdint>

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

// --- lists a person names (--playlist) ---
// Empties the table and fills it from `path`: a PLS or M3U / M3U8 playlist,
// a folder (its music files by name, one level) or a single music file.
// Entries without a length take the music's own. 0, with a one-line
// reason, when the path cannot be read or holds no songs.
int soundOpenPlaylist(const char* path, char* reason, size_t reasonSize);
// The PLS reader for such lists: an entry with File and Title but no
// positive Length is kept, and its length is the music's own.
void soundParseOwnPlaylist(const char* text, size_t size, const char* path);
// Reads M3U / M3U8 text already in memory into the table (appending).
void soundParseM3u(const char* text, size_t size, const char* path);
// Appends an entry whose length, and with a null or empty title its title
// (the file's title tag, else its name), are read from the music when first
// asked for; the song ends when its music does. Returns the number or -1.
int soundAddSongWithoutLength(const char* filename, const char* title);

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
// Seconds into the playing song, from the audio layer; 0 when none plays.
float soundGetSongPosition(void);
void soundFree(void);
void soundDeinit(void);          // also closes the audio device: the end of the run
// For tests and benchmarks: every field of the module back to its start
// value, whatever state it is in, so one process can run it many times.
void soundReset(void);

// --- tracker-module sync ---
int sound_getOrder(void);
int sound_getRow(void);
int sound_isSync(int instrument); // 1 once per newly reached sync row

// The audio layer's channel of the playing song (an audioChannel_t), 0 for
// none: for a clock that follows the music (audioClock.h).
uint32_t soundGetChannel(void);

#endif
