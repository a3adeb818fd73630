#include "system/io/io.h"

#include "system/debug/debugMisuse.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// -1 when the file cannot be opened or is not a regular file: a directory
// opens and seeks on Linux, and its end offset can be a huge hash cookie
// that must never become an allocation size.
static off_t fileLength(const char* file)
{
    int fd = open(file, O_RDONLY);
    if (fd < 0)
        return -1;
    struct stat info;
    off_t length = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        length = lseek(fd, 0, SEEK_END);
    close(fd);
    return length;
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
    if (!file)
        return nullptr;
    off_t length = fileLength(file);
    if (length <= 0)
        return nullptr;
    FILE* in = fopen(file, "rb");
    if (!in)
        return nullptr;
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
