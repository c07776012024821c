// The platform file wrapper the archive readers keep open for their lifetime, and the opening
// of files by name that refuses FIFOs, devices and folders.
#include "fs/file.h"

#include "platform/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* OpenRegularFile(const char* path, const char* mode, bool* notRegular)
{
    if (notRegular)
        *notRegular = false;
    if (!path || !mode)
        return nullptr;
    // A FIFO without a writer would block a plain open, so open without blocking and look at
    // what the path is before handing it to stdio.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        ::close(fd);
        if (notRegular)
            *notRegular = true;
        DebugLog("file_t:: this file : %s isn`t a regular file!", path);
        return nullptr;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* f = fdopen(fd, mode);
    if (!f)
        ::close(fd);
    return f;
}

bool file_t::open(const char* path, const char* mode)
{
    close();
    // The name is only used in messages; a longer path keeps its first 63 characters.
    snprintf(name, sizeof name, "%s", path ? path : "");
    handle = OpenRegularFile(path, mode, &notRegular);
    return handle != nullptr;
}

void file_t::close()
{
    if (!handle)
        return;
    int result = fclose(handle);
    handle = nullptr;
    if (result != 0)
        DebugLog("file_t:: can`t close file : %s", name);
}
