// Pak archive reader: header and directory, members read by name or by index.
#include "fs/pakfile.h"

#include "platform/log.h"

#include <cstring>
#include <strings.h>

namespace
{
int32_t GetInt(const unsigned char* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
} // namespace

bool PakEntry::NameIs(const char* path) const
{
    size_t len = strnlen(name, PAK_NAME_SIZE);
    return path && strlen(path) == len && strncasecmp(name, path, len) == 0;
}

void pakfile::Clear()
{
    directory.clear();
    count = 0;
    file.close();
    fileSize = 0;
}

bool pakfile::open(const char* archivePath)
{
    Clear();
    path = archivePath ? archivePath : "";
    if (!file.open(path.c_str(), "rb"))
        return DebugLog("file_t:: can`t open file : %s", file.name);
    FILE* f = file.handle;
    fileSize = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    unsigned char header[PAK_HEADER_SIZE];
    if (fileSize < PAK_HEADER_SIZE || fseek(f, 0, SEEK_SET) != 0 ||
        fread(header, 1, sizeof header, f) != sizeof header)
        return DebugLog("file_t:: can`t read from file : %s", file.name);
    if (memcmp(header, "PACK", 4) != 0)
        return DebugLog("pakfile:: this file : %s isn`t a pak file!", path.c_str());

    int32_t dirOffset = GetInt(header + 4);
    int32_t dirLength = GetInt(header + 8);
    if (dirOffset < PAK_HEADER_SIZE || dirLength < 0 || dirOffset > fileSize ||
        dirLength > fileSize - dirOffset || dirLength % PAK_RECORD_SIZE != 0 ||
        dirLength / PAK_RECORD_SIZE > PAK_MAX_ENTRIES)
        return DebugLog("pakfile:: %s : directory outside the file", path.c_str());

    int32_t records = dirLength / PAK_RECORD_SIZE;
    std::vector<unsigned char> raw(static_cast<size_t>(dirLength));
    if (fseek(f, dirOffset, SEEK_SET) != 0 || fread(raw.data(), 1, raw.size(), f) != raw.size())
        return DebugLog("file_t:: can`t read from file : %s", file.name);
    directory.resize(records);
    for (int32_t i = 0; i < records; i++)
    {
        const unsigned char* rec = raw.data() + static_cast<size_t>(i) * PAK_RECORD_SIZE;
        memcpy(directory[i].name, rec, PAK_NAME_SIZE);
        directory[i].position = GetInt(rec + PAK_NAME_SIZE);
        directory[i].length = GetInt(rec + PAK_NAME_SIZE + 4);
    }
    count = records;
    Log("pakfile:: %s opened , numEntries %d.", file.name, count);
    return true;
}

int pakfile::Find(const char* name) const
{
    for (int32_t i = 0; i < count; i++)
    {
        if (directory[i].NameIs(name))
            return i;
    }
    return -1;
}

bool pakfile::Fits(int index) const
{
    if (index < 0 || index >= count)
        return false;
    const PakEntry& entry = directory[index];
    return entry.position >= 0 && entry.length >= 0 && entry.position <= fileSize &&
           entry.length <= fileSize - entry.position;
}

bool pakfile::read(const char* name, unsigned char* dest, int32_t* lengthOut)
{
    int index = Find(name);
    if (index < 0)
        return DebugLog("pakfile:: pak file not found : %s", name ? name : "");
    const PakEntry& entry = directory[index];
    size_t length = static_cast<size_t>(entry.length);
    // Members must lie inside the archive; a bad record fails like a failed read.
    if (!Fits(index) || !dest || fseek(file.handle, entry.position, SEEK_SET) != 0 ||
        fread(dest, 1, length, file.handle) != length)
        return DebugLog("pakfile:: could not read file infos from pakfile : %s", name);
    if (lengthOut)
        *lengthOut = entry.length;
    return true;
}

bool pakfile::read(int index, unsigned char* dest)
{
    if (index < 0 || index > count - 1)
        return DebugLog("pak ID not valid ");
    // The name field may fill all its bytes, so terminate a copy of it.
    char name[PAK_NAME_SIZE + 1];
    memcpy(name, directory[index].name, PAK_NAME_SIZE);
    name[PAK_NAME_SIZE] = 0;
    // Reading goes by name, so a later record of a name gets the first record's data, which
    // must not be longer than the buffer the caller sized for this record.
    int first = Find(name);
    if (first >= 0 && directory[first].length > directory[index].length)
        return DebugLog("pakfile:: could not read file infos from pakfile : %s", name);
    return read(name, dest);
}
