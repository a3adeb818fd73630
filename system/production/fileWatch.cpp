#include "system/production/fileWatch.h"

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// What a file looked like at the last look; a change restarts its wait.
struct watched_t {
    std::string path;
    fileWatchReload_t reload;
    void* user;
    long long mtimeNs, size; // -1: not there
    double changedAt;        // seconds; < 0: nothing waits to be read
};

struct fileWatch_t {
    std::vector<watched_t> files;
    double lastLook = -1e9;
};

fileWatch_t watch;

void look(const std::string& path, long long* mtimeNs, long long* size)
{
    struct stat s;
    *mtimeNs = *size = -1;
    if (stat(path.c_str(), &s) == 0) {
        *mtimeNs = (long long)s.st_mtim.tv_sec * 1000000000LL + s.st_mtim.tv_nsec;
        *size = (long long)s.st_size;
    }
}

} // namespace

void fileWatchAdd(const char* path, fileWatchReload_t reload, void* user)
{
    if (int(watch.files.size()) >= FILE_WATCH_MOST)
        return;
    watched_t w = {path, reload, user, -1, -1, -1.0};
    look(w.path, &w.mtimeNs, &w.size);
    watch.files.push_back(w);
}

void fileWatchPoll(double nowSeconds)
{
    if (nowSeconds - watch.lastLook < FILE_WATCH_POLL)
        return;
    watch.lastLook = nowSeconds;
    for (watched_t& w : watch.files) {
        long long mtimeNs = 0, size = 0;
        look(w.path, &mtimeNs, &size);
        if (mtimeNs != w.mtimeNs || size != w.size) {
            w.mtimeNs = mtimeNs;
            w.size = size;
            w.changedAt = nowSeconds;
        } else if (w.changedAt >= 0 && nowSeconds - w.changedAt >= FILE_WATCH_SETTLE) {
            // A file that went away keeps the last good content, as a bad one does.
            w.changedAt = -1;
            if (size >= 0)
                w.reload(w.path.c_str(), w.user);
        }
    }
}

void fileWatchClear(void)
{
    watch = fileWatch_t();
}
