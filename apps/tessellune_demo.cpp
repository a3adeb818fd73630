// The demo production on the scene timeline, with its module: live in a
// window, its scenes on the music as it is heard, or captured off line at a
// fixed frame rate into numbered PNG frames and one WAV file of the sound.
// The switches are the production runner's (system/production/production.h).

#include "effects/playlist.h"
#include "system/production/production.h"

int main(int argc, char* argv[])
{
    playlistSelectDemo();
    return productionRun(argc, argv, "tessellune_demo");
}
