#ifndef TESSELLUNE_PRODUCTIONSYNC_H
#define TESSELLUNE_PRODUCTIONSYNC_H

// The scenes' variables driven by sync tracks: one track per variable,
// named "scene:variable", valued at the module row the scene time stands
// on. A track without keys leaves its variable to the scene. The tracks
// come from the files saved beside PRODUCTION_SYNC_BASE, or live from a
// sync editor; without an editor their files are watched (fileWatch.h).

#include "system/production/syncEditor.h"

extern const char* const PRODUCTION_SYNC_BASE;

// After playerInit (the scenes have named their variables). `editorPort`
// 0: no editor.
void productionSyncStart(const char* editorHost, int editorPort, syncEditorHandler_t handler);
// Once a frame, before the scenes run.
void productionSyncFrame(float seconds, int playing, double nowSeconds);
void productionSyncStop(void);

#endif
