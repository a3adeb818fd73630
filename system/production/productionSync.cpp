#include "system/production/productionSync.h"

#include "system/audio/noteSync.h"
#include "system/production/fileWatch.h"
#include "system/player/player.h"

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <vector>

const char* const PRODUCTION_SYNC_BASE = "data/production/tracks/sync";

namespace {

struct productionSync_t {
    std::vector<syncTrack_t> tracks;
    std::vector<playerSceneVariables*> variables; // the variable each track drives
    int editor = 0;
};

productionSync_t tracksState;

// The track's index rides in the pointer: the track list may still grow.
int reloadTrack(const char*, void* user)
{
    size_t i = size_t(reinterpret_cast<uintptr_t>(user));
    return i < tracksState.tracks.size() && syncTrackLoad(PRODUCTION_SYNC_BASE, &tracksState.tracks[i], 0);
}

void addTrack(playerScene* scene, playerSceneVariables* variable)
{
    syncTrack_t track;
    track.name = std::string(scene->name) + ":" + variable->name;
    if (track.name.size() > SYNC_TRACK_NAME_MOST) {
        fprintf(stderr, "sync: the track name %.40s... is longer than %zu bytes; no track for it\n",
                track.name.c_str(), SYNC_TRACK_NAME_MOST);
        return;
    }
    syncTrackLoad(PRODUCTION_SYNC_BASE, &track, 1);
    // With an editor the editor's keys win; its saves need not be read back.
    if (!tracksState.editor)
        fileWatchAdd(syncTrackPath(PRODUCTION_SYNC_BASE, track.name).c_str(), reloadTrack,
                     reinterpret_cast<void*>(uintptr_t(tracksState.tracks.size())));
    tracksState.tracks.push_back(track);
    tracksState.variables.push_back(variable);
}

} // namespace

void productionSyncStart(const char* editorHost, int editorPort, syncEditorHandler_t handler)
{
    productionSyncStop();
    tracksState.editor = editorPort > 0;
    for (playerScene* scene = getPlayerSceneHead(); scene; scene = scene->next)
        for (playerSceneVariables* v = scene->variablesHead; v; v = v->next)
            if (scene->name && v->name)
                addTrack(scene, v);
    if (tracksState.editor)
        syncEditorOpen(editorHost, editorPort, tracksState.tracks.data(), int(tracksState.tracks.size()), PRODUCTION_SYNC_BASE,
                       handler);
}

void productionSyncFrame(float seconds, int playing, double nowSeconds)
{
    double row = noteSyncRowAt(seconds);
    if (tracksState.editor)
        syncEditorPoll(int(floor(row)), playing, nowSeconds);
    for (size_t i = 0; i < tracksState.tracks.size(); i++) {
        if (tracksState.tracks[i].keys.empty())
            continue;
        playerSceneVariables* v = tracksState.variables[i];
        setVariable(static_cast<playerScene*>(v->parentScene), v, nullptr, syncTrackValue(tracksState.tracks[i], row));
    }
}

void productionSyncStop(void)
{
    if (tracksState.editor)
        syncEditorClose();
    tracksState = productionSync_t();
}
