// Views on cached files and the line reader shared by every text format.
#include "fs/memfile.h"

#include "fs/filemgr.h"

#include <cstdlib>
#include <cstring>

memfile_t::memfile_t(const unsigned char* buffer, uint32_t length, const char* path, bool owns)
{
    data = buffer;
    cursor = buffer;
    size = buffer ? length : 0;
    ownsData = owns && buffer;
    if (path)
        name = strdup(path);
}

bool memfile_t::open(const char* path, const char* mode)
{
    close();
    std::shared_ptr<FileEntry> found = gFileMgr.FindShared(path, mode);
    if (!found)
        return false;
    entry = found;
    name = strdup(path);
    size = found->size;
    data = found->data.get();
    cursor = data;
    position = 0;
    ownsData = false;
    return true;
}

void memfile_t::close()
{
    if (ownsData)
        delete[] data;
    entry.reset();
    free(name);
    name = nullptr;
    data = nullptr;
    cursor = nullptr;
    size = 0;
    position = 0;
    ownsData = false;
}

bool memfile_t::ReadLine(char* buffer, int limit)
{
    if (!data || position > size)
        return false;
    uint32_t remaining = size - position;
    if (remaining == 0)
    {
        MarkExhausted();
        return false;
    }
    // Lines pass through a staging area of MEMFILE_MAX_LINE bytes, so no line is longer.
    if (limit > MEMFILE_MAX_LINE)
        limit = MEMFILE_MAX_LINE;
    if (limit < 0)
        limit = 0;
    uint32_t n = remaining < static_cast<uint32_t>(limit) ? remaining : static_cast<uint32_t>(limit);
    uint32_t len = 0;
    while (len < n && cursor[len] != '\n' && cursor[len] != '\r' && cursor[len] != 0)
        len++;
    memcpy(buffer, cursor, len);
    buffer[len] = 0;

    // Text after an embedded NUL is never seen.
    if (len < n && cursor[len] == 0)
    {
        MarkExhausted();
        return true;
    }
    // The terminator (or the byte after a cut) is consumed, and one more when it is followed
    // by CR or LF: CR LF, LF CR and LF LF end one line.
    uint32_t skip = 1;
    if (len + 1 < remaining && (cursor[len + 1] == '\n' || cursor[len + 1] == '\r'))
        skip = 2;
    uint32_t advance = len + skip;
    if (advance > remaining)
    {
        // The line ran to the end of the data without a terminator.
        MarkExhausted();
        cursor = data + size;
        return true;
    }
    position += advance;
    cursor += advance;
    return true;
}
