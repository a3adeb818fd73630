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
// From the file's tags, read with its length; "" when it names none.
const char* soundGetSongArtist(int song);
const char* soundGetSongAlbum(int song);
// "Artist – Title" when the artist is known, else the title: what the
// caption and the song label show.
void soundSongDisplayName(int song, char* out, size_t outSize);
int soundGetTrackNumber(int song); // the number shown to the user: song + 1

// --- lists a person names (--playlist) ---
// Empties the table and fills it from `path`: a PLS or M3U / M3U8 playlist,
// a folder (its music files, every level below it, in path order) or a
// single music file. Such lists have no fixed ceiling: the table grows.
// Entries without a length take the music's own. 0, with a one-line
// reason, when the path cannot be read or holds no songs.
int soundOpenPlaylist(const char* path, char* reason, size_t reasonSize);
// The same, appending to the table: several paths make one list.
int soundAddPlaylist(const char* path, char* reason, size_t reasonSize);
// The PLS reader for such lists: an entry needs only its File; it is
// complete when the next entry's first line arrives (another track number,
// or a key it already has) or the text ends. Its title, when it has none,
// is the file's own or its name, and it ends with its music.
void soundParseOwnPlaylist(const char* text, size_t size, const char* path);
// Reads M3U / M3U8 text already in memory into the table (appending).
void soundParseM3u(const char* text, size_t size, const char* path);
// Appends an entry whose length, and with a null or empty title its title
// (the file's title tag, else its name), are read from the music when first
// asked for; the song ends when its music does, and a song that will not
// play is passed over at once. `listedLength` (0: none) is what a list
// said: shown until the music's own is known, never used to end the song.
// Returns the number or -1.
int soundAddSongWithoutLength(const char* filename, const char* title, int listedLength);

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

// --- the controls a person expects beyond the buttons (keys, desktop) ---
// Pauses the playing song on its sample, or resumes it there; with nothing
// playing, plays the selected song (PLAY, by contrast, always restarts).
void soundTogglePause(void);
int soundIsPaused(void);
// A station plays (or is paused): the time line shows the time heard and
// "live" instead of a length, and seeking does nothing.
int soundIsLive(void);
// "connecting…" or "reconnecting…" while a station is not heard, else "".
const char* soundGetNotice(void);
// Plays `song` paused at `seconds`, so that soundTogglePause goes on from
// there (a run that takes up where the last one ended).
void soundCue(int song, float seconds);
// Moves within the playing song, clamped at its start; at or past its end
// the song is left as if it had played out.
void soundSeekTo(float seconds);
void soundSeekBy(float seconds);
// Volume in percent, 0..100 (starts at 100), heard through a cubic curve.
void soundSetVolume(int percent);
void soundChangeVolume(int steps); // steps of 5 %
int soundGetVolume(void);
void soundSetMuted(int muted);
int soundIsMuted(void);
// Shuffle plays every song once in a random order before any repeats;
// previous goes back along that order.
void soundSetShuffle(int on);
int soundGetShuffle(void);
// What follows a song that ends by itself: the next (LIST, wrapping round:
// the start value), the same again (ONE), or after the last one nothing
// (OFF: the list has ended).
enum { SOUND_REPEAT_OFF = 0, SOUND_REPEAT_ONE = 1, SOUND_REPEAT_LIST = 2 };
void soundSetRepeat(int repeat);
void soundCycleRepeat(void); // list -> one -> off -> list
int soundGetRepeat(void);
int soundListEnded(void);    // 1 from the end of a list under repeat off to the next play

// --- tracker-module sync ---
int sound_getOrder(void);
int sound_getRow(void);
int sound_isSync(int instrument); // 1 once per newly reached sync row

// The audio layer's channel of the playing song (an audioChannel_t), 0 for
// none: for a clock that follows the music (audioClock.h).
uint32_t soundGetChannel(void);

#endif
