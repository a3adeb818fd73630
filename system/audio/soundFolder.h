#ifndef TESSELLUNE_SOUNDFOLDER_H
#define TESSELLUNE_SOUNDFOLDER_H

// Inside the sound module: the walk through a folder of music.

#include <cstddef>

// Appends the music files (known by their extension: no file is opened)
// under `folder`, every level of it, in path order: a folder's own songs
// by name (bytewise), then each subfolder's the same way. Hidden entries,
// FIFOs, sockets and devices are passed over; symbolic links are followed,
// and a folder reached again through one is not walked a second time.
// 0 with a reason when `folder` itself cannot be read.
int soundFolderAdd(const char* folder, char* reason, size_t reasonSize);

#endif
