#ifndef TESSELLUNE_MPRIS_H
#define TESSELLUNE_MPRIS_H

// The player on the desktop's session bus (org.mpris.MediaPlayer2): media
// keys, the desktop's media widget and command-line remotes control it and
// see what plays. A request becomes a playerCommand_t that the main loop
// acts on like a key's, one a frame; the bus is served from the frame loop
// without ever waiting on it. Without a bus the player runs as before.

#include "system/ui/window/menu.h"

// Connects and takes the player's bus name (a second player takes one
// with its process id). 0, with one line said, when there is no bus.
int mprisInit(void);
// Once a frame: answers what the bus asked, then tells it what changed.
void mprisPoll(void);
// The oldest request not yet acted on; PLAYER_NONE when none. The text of
// PLAYER_OPEN stays valid until the next call.
playerCommand_t mprisTakeCommand(void);
void mprisDeinit(void);

#endif
