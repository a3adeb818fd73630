#include "system/audio/audioFile.h"

#include "system/io/io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Mapping costs a system call and page faults as the song plays; reading
// costs a copy. Below this size the copy is cheaper and the buffer reusable.
const size_t MAP_FROM = size_t(1) << 20;

struct audioFileState_t {
    unsigned char* spare = nullptr; // a read buffer kept for the next file
    size_t spareCapacity = 0;
};

audioFileState_t files;

// A buffer of at least `size` bytes, the kept one when it is large enough.
int takeBuffer(size_t size, audioBytes_t* bytes)
{
    size_t capacity = size ? size : 1;
    if (files.spare && files.spareCapacity >= capacity) {
        bytes->data = files.spare;
        bytes->capacity = files.spareCapacity;
        files.spare = nullptr;
        files.spareCapacity = 0;
    } else {
        bytes->data = static_cast<unsigned char*>(malloc(capacity));
        bytes->capacity = capacity;
        if (!bytes->data)
            return 0;
    }
    bytes->size = size;
    bytes->mapped = 0;
    return 1;
}

int readWhole(int fd, unsigned char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t got = read(fd, data + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return 0;
        done += size_t(got);
    }
    return 1;
}

int fail(audioBytes_t* bytes, char* reason, size_t reasonSize, const char* why)
{
    snprintf(reason, reasonSize, "%s", why);
    audioFileRelease(bytes);
    return 0;
}

} // namespace

// Files of `mapFrom` bytes or more are mapped, smaller ones read whole.
static int loadFile(const char* path, size_t mapFrom, audioBytes_t* bytes, char* reason, size_t reasonSize)
{
    *bytes = audioBytes_t{};
    // Stations (http and https) are played by the stream client, never as
    // files; other addresses not at all, and saying so is clearer than the
    // "no such file" the open would report.
    if (strstr(path, "://"))
        return fail(bytes, reason, reasonSize, "only http and https addresses are played");
    const char* why;
    int fd = ioOpenRegular(path, "rb", &why); // a FIFO must not hold the player
    if (fd < 0)
        return fail(bytes, reason, reasonSize, why);
    struct stat info;
    int ok = 0;
    if (fstat(fd, &info) != 0) {
        fail(bytes, reason, reasonSize, strerror(errno));
    } else if (info.st_size == 0) {
        fail(bytes, reason, reasonSize, "empty file");
    } else if (size_t(info.st_size) >= mapFrom) {
        void* map = mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) {
            fail(bytes, reason, reasonSize, strerror(errno));
        } else {
            *bytes = audioBytes_t{static_cast<unsigned char*>(map), size_t(info.st_size), 0, 1};
            ok = 1;
        }
    } else if (!takeBuffer(size_t(info.st_size), bytes)) {
        fail(bytes, reason, reasonSize, "out of memory");
    } else if (errno = 0, !readWhole(fd, bytes->data, bytes->size)) {
        fail(bytes, reason, reasonSize, errno ? strerror(errno) : "file shrank while read");
    } else {
        ok = 1;
    }
    close(fd);
    return ok;
}

int audioFileLoad(const char* path, audioBytes_t* bytes, char* reason, size_t reasonSize)
{
    return loadFile(path, MAP_FROM, bytes, reason, reasonSize);
}

int audioFileMap(const char* path, audioBytes_t* bytes, char* reason, size_t reasonSize)
{
    return loadFile(path, 1, bytes, reason, reasonSize);
}

int audioFileCopy(const void* data, size_t size, audioBytes_t* bytes)
{
    *bytes = audioBytes_t{};
    if (!takeBuffer(size, bytes))
        return 0;
    if (size)
        memcpy(bytes->data, data, size);
    return 1;
}

void audioFileRelease(audioBytes_t* bytes)
{
    if (bytes->mapped) {
        munmap(bytes->data, bytes->size);
    } else if (bytes->data) {
        // Keep the larger of the two buffers; the next small file fits it.
        if (bytes->capacity > files.spareCapacity && bytes->capacity < MAP_FROM) {
            free(files.spare);
            files.spare = bytes->data;
            files.spareCapacity = bytes->capacity;
        } else {
            free(bytes->data);
        }
    }
    *bytes = audioBytes_t{};
}

void audioFileFreeSpare(void)
{
    free(files.spare);
    files = audioFileState_t{};
}
