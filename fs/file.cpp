// The platform file wrapper the archive readers keep open for their lifetime.
#include "fs/file.h"

#include "platform/log.h"

bool file_t::open(const char* path, const char* mode)
{
    close();
    // The name is only used in messages; a longer path keeps its first 63 characters.
    snprintf(name, sizeof name, "%s", path ? path : "");
    if (!path || !mode)
        return false;
    handle = fopen(path, mode);
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
