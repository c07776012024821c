// Pak archive reader: header and directory with its name index, members read by name or by
// index.
#include "fs/pakfile.h"

#include "platform/log.h"
#include "platform/bytereader.h"

#include <cstring>
#include <new>
#include <string_view>

namespace
{
// A record's name: the bytes of its field up to the first NUL, all 56 when there is none.
std::string_view NameOf(const PakEntry& entry)
{
    return std::string_view(entry.name, strnlen(entry.name, PAK_NAME_SIZE));
}
} // namespace

bool PakEntry::NameIs(const char* path) const { return path && cNameIndex::SameName(NameOf(*this), path); }

void pakfile::Clear()
{
    directory.clear();
    nameIndex.Clear();
    count = 0;
    file.close();
    fileSize = 0;
}

bool pakfile::open(const char* archivePath)
{
    const char* shown = archivePath ? archivePath : "";
    try
    {
        Clear();
        path = shown;
        return Load();
    }
    catch (const std::bad_alloc&)
    {
        // Nothing of a directory that could not be built is kept.
        Clear();
        return DebugLog("pakfile:: out of memory reading the directory of %s", shown);
    }
}

bool pakfile::Load()
{
    if (!file.open(path.c_str(), "rb"))
        return file.notRegular ? false : DebugLog("file_t:: can`t open file : %s", file.name);
    FILE* f = file.handle;
    fileSize = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    unsigned char raw[PAK_HEADER_SIZE];
    if (fileSize < PAK_HEADER_SIZE || fseek(f, 0, SEEK_SET) != 0 ||
        fread(raw, 1, sizeof raw, f) != sizeof raw)
        return DebugLog("file_t:: can`t read from file : %s", file.name);
    cByteReader header(raw, sizeof raw);
    if (memcmp(header.Bytes(4), "PACK", 4) != 0)
        return DebugLog("pakfile:: this file : %s isn`t a pak file!", path.c_str());
    int32_t dirOffset = header.S32();
    int32_t dirLength = header.S32();
    if (dirOffset < PAK_HEADER_SIZE || dirLength < 0 || dirOffset > fileSize ||
        dirLength > fileSize - dirOffset || dirLength % PAK_RECORD_SIZE != 0 ||
        dirLength / PAK_RECORD_SIZE > PAK_MAX_ENTRIES)
        return DebugLog("pakfile:: %s : directory outside the file", path.c_str());

    int32_t records = dirLength / PAK_RECORD_SIZE;
    std::vector<unsigned char> bytes(static_cast<size_t>(dirLength));
    if (fseek(f, dirOffset, SEEK_SET) != 0 || fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
        return DebugLog("file_t:: can`t read from file : %s", file.name);
    cByteReader reader(bytes.data(), bytes.size());
    if (!reader.Fits(0, static_cast<uint64_t>(records), PAK_RECORD_SIZE))
        return DebugLog("file_t:: can`t read from file : %s", file.name);
    directory.resize(records);
    for (PakEntry& entry : directory)
    {
        reader.Read(entry.name, PAK_NAME_SIZE);
        entry.position = reader.S32();
        entry.length = reader.S32();
    }
    count = records;
    nameIndex.Build(count, [this](int i) { return NameOf(directory[i]); });
    Log("pakfile:: %s opened , numEntries %d.", file.name, count);
    return true;
}

int pakfile::Find(const char* name) const
{
    if (!name)
        return -1;
    return nameIndex.Find(name, [this](int i) { return NameOf(directory[i]); });
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
