#ifndef TESSELLUNE_EFFECTS_PLAYLIST_H
#define TESSELLUNE_EFFECTS_PLAYLIST_H

// The production's own content: registers its scenes and names its music.

void playlistInit(void);
const char* getPlaylistMusic(void);
float getPlaylistLength(void); // the production's total length in seconds

// For the demo program, before playerInit: from this call on playlistInit
// registers the demo's scenes, and the two getters name its module and its
// length. Without it the playlist is the music player's, which has no scenes.
void playlistSelectDemo(void);

#endif
