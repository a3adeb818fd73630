// The walk through a folder of music and every folder below it.

#include "system/audio/soundFolder.h"

#include "system/audio/audio.h"
#include "system/audio/sound.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Below this many levels a tree is a link trick or a fault, not a library;
// the bound also keeps the recursion's stack small.
const int DEEPEST_FOLDER = 128;
const size_t FIRST_SEEN_CAPACITY = 256; // folders remembered, grows by doubling

struct folderId_t {
    dev_t device;
    ino_t inode;
    int used;
};

// The folders walked so far, by device and inode: an open-addressing hash
// set, so a link back up the tree is seen in O(1) however large the tree.
struct walk_t {
    folderId_t* seen;
    size_t seenCapacity;
    size_t seenCount;
};

struct names_t {
    char** names;
    size_t count, capacity;
};

size_t slotOf(const walk_t* walk, dev_t device, ino_t inode)
{
    uint64_t key = (uint64_t(device) * 0x9E3779B97F4A7C15ull) ^ uint64_t(inode);
    key ^= key >> 29;
    return size_t(key * 0xBF58476D1CE4E5B9ull) & (walk->seenCapacity - 1);
}

int growSeen(walk_t* walk)
{
    size_t capacity = walk->seenCapacity ? walk->seenCapacity * 2 : FIRST_SEEN_CAPACITY;
    folderId_t* old = walk->seen;
    size_t oldCapacity = walk->seenCapacity;
    walk->seen = static_cast<folderId_t*>(calloc(capacity, sizeof(folderId_t)));
    if (!walk->seen) {
        walk->seen = old;
        return 0;
    }
    walk->seenCapacity = capacity;
    for (size_t i = 0; i < oldCapacity; i++) {
        if (!old[i].used)
            continue;
        size_t slot = slotOf(walk, old[i].device, old[i].inode);
        while (walk->seen[slot].used)
            slot = (slot + 1) & (capacity - 1);
        walk->seen[slot] = old[i];
    }
    free(old);
    return 1;
}

// 1 the first time a folder is met, 0 every later time (and when memory
// runs out: then the folder is left out rather than risk a loop).
int firstVisit(walk_t* walk, const struct stat* info)
{
    if (walk->seenCount * 2 >= walk->seenCapacity && !growSeen(walk))
        return 0;
    size_t slot = slotOf(walk, info->st_dev, info->st_ino);
    for (; walk->seen[slot].used; slot = (slot + 1) & (walk->seenCapacity - 1))
        if (walk->seen[slot].device == info->st_dev && walk->seen[slot].inode == info->st_ino)
            return 0;
    walk->seen[slot] = folderId_t{info->st_dev, info->st_ino, 1};
    walk->seenCount++;
    return 1;
}

int addName(names_t* list, const char* name)
{
    if (list->count == list->capacity) {
        size_t capacity = list->capacity ? list->capacity * 2 : 16;
        char** grown = static_cast<char**>(realloc(list->names, capacity * sizeof(char*)));
        if (!grown)
            return 0;
        list->names = grown;
        list->capacity = capacity;
    }
    if (!(list->names[list->count] = strdup(name)))
        return 0;
    list->count++;
    return 1;
}

void freeNames(names_t* list)
{
    for (size_t i = 0; i < list->count; i++)
        free(list->names[i]);
    free(list->names);
}

int byName(const void* a, const void* b)
{
    return strcmp(*static_cast<char* const*>(a), *static_cast<char* const*>(b));
}

int playableName(const char* name)
{
    const char* dot = strrchr(name, '.');
    return dot && audioPlaysExtension(dot + 1);
}

// What an entry is: the directory's own type where it gives one, else
// (links, file systems that do not say) the target's, found by stat.
// FIFOs, sockets and devices count as neither file nor folder: opening
// one to look inside could block for ever.
void sortEntry(const char* folder, const struct dirent* entry, names_t* files, names_t* folders)
{
    int isFile = entry->d_type == DT_REG, isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
        char path[PATH_MAX];
        struct stat info;
        if (snprintf(path, sizeof path, "%s/%s", folder, entry->d_name) >= int(sizeof path) ||
            stat(path, &info) != 0)
            return;
        isFile = S_ISREG(info.st_mode);
        isFolder = S_ISDIR(info.st_mode);
    }
    if (isFile && playableName(entry->d_name))
        addName(files, entry->d_name);
    else if (isFolder)
        addName(folders, entry->d_name);
}

int readEntries(const char* folder, names_t* files, names_t* folders)
{
    DIR* dir = opendir(folder);
    if (!dir)
        return 0;
    // Hidden entries include the "._" companions some systems leave beside
    // every music file they copy.
    for (struct dirent* entry; (entry = readdir(dir));)
        if (entry->d_name[0] != '.')
            sortEntry(folder, entry, files, folders);
    closedir(dir);
    if (files->count) // an empty list has no array to sort
        qsort(files->names, files->count, sizeof(char*), byName);
    if (folders->count)
        qsort(folders->names, folders->count, sizeof(char*), byName);
    return 1;
}

void walkFolder(walk_t* walk, const char* folder, int depth);

void walkBelow(walk_t* walk, const char* folder, const char* name, int depth)
{
    char path[PATH_MAX];
    struct stat info;
    if (snprintf(path, sizeof path, "%s/%s", folder, name) >= int(sizeof path) || stat(path, &info) != 0)
        return;
    if (firstVisit(walk, &info))
        walkFolder(walk, path, depth + 1);
}

void walkFolder(walk_t* walk, const char* folder, int depth)
{
    if (depth > DEEPEST_FOLDER)
        return;
    names_t files = {}, folders = {};
    if (readEntries(folder, &files, &folders)) {
        for (size_t i = 0; i < files.count; i++) {
            char path[PATH_MAX];
            if (snprintf(path, sizeof path, "%s/%s", folder, files.names[i]) < int(sizeof path))
                soundAddSongWithoutLength(path, nullptr, 0);
        }
        for (size_t i = 0; i < folders.count; i++)
            walkBelow(walk, folder, folders.names[i], depth);
    }
    freeNames(&files);
    freeNames(&folders);
}

} // namespace

int soundFolderAdd(const char* folder, char* reason, size_t reasonSize)
{
    struct stat info;
    DIR* dir = stat(folder, &info) == 0 ? opendir(folder) : nullptr;
    if (!dir) {
        snprintf(reason, reasonSize, "%s", strerror(errno));
        return 0;
    }
    closedir(dir);
    char top[PATH_MAX];
    size_t length = strlen(folder);
    while (length > 1 && folder[length - 1] == '/')
        length--; // "Music/" and "Music" give the same paths
    snprintf(top, sizeof top, "%.*s", int(length), folder);
    walk_t walk = {};
    if (firstVisit(&walk, &info))
        walkFolder(&walk, top, 0);
    free(walk.seen);
    return 1;
}
