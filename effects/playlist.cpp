#include "effects/playlist.h"

#include "system/player/timeString.h"
#include "system/timer/timer.h"

namespace {
float playlistTotalTime = 0;
}

void playlistInit(void)
{
    playlistTotalTime = convertTimeToSeconds("2:08");
    timerAddTime(14.0f);
    // Scenes are registered here, with addPlayerScene, before the loading
    // loop runs their initialisers. This production has none.
}

const char* getPlaylistMusic(void)
{
    return "data/business.ogg";
}

float getPlaylistLength(void)
{
    return playlistTotalTime;
}
