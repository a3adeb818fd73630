#include "effects/playlist.h"

#include "effects/demo/demo.h"
#include "system/player/timeString.h"
#include "system/timer/timer.h"

namespace {
float playlistTotalTime = 0;
int demoSelected = 0;
}

void playlistSelectDemo(void)
{
    demoSelected = 1;
}

void playlistInit(void)
{
    if (demoSelected) {
        playlistTotalTime = demoLength();
        demoRegisterScenes();
        return;
    }
    playlistTotalTime = convertTimeToSeconds("2:08");
    timerAddTime(14.0f);
    // The music player shows no scenes: its loading bar is one frame.
}

const char* getPlaylistMusic(void)
{
    return demoSelected ? DEMO_MUSIC : "data/business.ogg";
}

float getPlaylistLength(void)
{
    return playlistTotalTime;
}
