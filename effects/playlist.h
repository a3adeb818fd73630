#ifndef TESSELLUNE_EFFECTS_PLAYLIST_H
#define TESSELLUNE_EFFECTS_PLAYLIST_H

// The production's own content: registers its scenes and names its music.

void playlistInit(void);
const char* getPlaylistMusic(void);
float getPlaylistLength(void); // the production's total length in seconds

#endif
