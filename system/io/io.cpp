#include "system/io/io.h"

#include "system/debug/debugMisuse.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

int ioOpenRegular(const char* file, const char* mode, const char** why)
{
    const char* ignored;
    why = why ? why : &ignored;
    if (!file || !mode) {
        *why = "no file name";
        errno = EINVAL;
        return -1;
    }
    int writing = mode[0] == 'w';
    int flags = (writing ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    int fd = open(file, flags, 0666);
    if (fd < 0) {
        // A FIFO opened for writing with no reader fails with ENXIO instead
        // of waiting: it is still "not a regular file" to the user.
        *why = errno == ENXIO ? "not a regular file" : strerror(errno);
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *why = S_ISDIR(info.st_mode) ? strerror(EISDIR) : "not a regular file";
        close(fd);
        errno = EINVAL;
        return -1;
    }
    // Reads and writes of a regular file never wait anyway; blocking mode
    // again keeps short reads out of the callers' loops.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *why = "";
    return fd;
}

FILE* ioOpenRegularFile(const char* file, const char* mode, const char** why)
{
    int fd = ioOpenRegular(file, mode, why);
    if (fd < 0)
        return nullptr;
    FILE* stream = fdopen(fd, mode);
    if (!stream) {
        if (why)
            *why = strerror(errno);
        close(fd);
    }
    return stream;
}

char* ioReadFileToBuffer(const char* file)
{
    size_t size = 0;
    return ioReadFileWithSize(file, &size);
}

char* ioReadFileWithSize(const char* file, size_t* size)
{
    if (debugMisuseIfNull(size, __func__, "the size's address"))
        return nullptr;
    *size = 0;
    // A directory opens and seeks on Linux, and its end offset can be a huge
    // hash cookie that must never become an allocation size: only regular
    // files are read, and opening one never waits on a FIFO.
    FILE* in = ioOpenRegularFile(file, "rb", nullptr);
    if (!in)
        return nullptr;
    off_t length = fseeko(in, 0, SEEK_END) == 0 ? ftello(in) : -1;
    if (length <= 0 || fseeko(in, 0, SEEK_SET) != 0) {
        fclose(in);
        errno = 0; // an empty file: no error to report
        return nullptr;
    }
    char* buffer = static_cast<char*>(malloc(size_t(length) + 1));
    if (buffer) {
        // The file may have shrunk since its length was taken: terminate
        // after what was actually read.
        size_t got = fread(buffer, 1, size_t(length), in);
        buffer[got] = 0;
        *size = got;
    }
    fclose(in);
    return buffer;
}
