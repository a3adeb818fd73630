#ifndef TESSELLUNE_SOUND_H
#define TESSELLUNE_SOUND_H

// The song table read from a PLS playlist, playback with track navigation
// and the automatic advance, and tracker-module sync.

// --- playlist and song table ---
void soundLoadPlaylist(const char* path); // empties the table, then reads the file
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
void soundDeinit(void);

// --- tracker-module sync ---
int sound_getOrder(void);
int sound_getRow(void);
int sound_isSync(int instrument); // 1 once per newly reached sync row

#endif
