// Zip archive reader: central directory, member reads through zlib, folder listing.
#include "fs/zipfile.h"

#include "platform/log.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <strings.h>
#include <zlib.h>

namespace
{
const uint32_t ZIP_END_SIGNATURE = 0x06054b50;
const int ZIP_END_SIZE = 22;
const int ZIP_CENTRAL_SIZE = 46;
const int ZIP_LOCAL_SIZE = 30;
const int ZIP_STORED = 0;
const int ZIP_DEFLATED = 8;
// Deflate turns one stored byte into at most this many.
const uint64_t ZIP_MAX_RATIO = 1032;

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Position of the last `sep` (or of either separator) before the final character, or npos.
size_t LastBeforeFinal(const std::string& s, const char* seps)
{
    if (s.size() < 2)
        return std::string::npos;
    for (size_t i = s.size() - 1; i-- > 0;)
    {
        if (strchr(seps, s[i]))
            return i;
    }
    return std::string::npos;
}
} // namespace

std::string ZipDirPart(const std::string& path)
{
    size_t slash = LastBeforeFinal(path, "/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ZipFilePart(const std::string& path)
{
    size_t slash = LastBeforeFinal(path, "/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ZipExtension(const std::string& path)
{
    size_t dot = LastBeforeFinal(path, ".");
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

void cZipFile::Clear()
{
    entries.clear();
    file.close();
    fileSize = 0;
}

bool cZipFile::open(const char* archivePath, bool skipEmpty)
{
    Clear();
    path = archivePath ? archivePath : "";
    if (!file.open(path.c_str(), "rb"))
        return DebugLog("file_t:: can`t open file : %s", file.name);
    FILE* f = file.handle;
    fileSize = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    if (fileSize < 0)
        fileSize = 0;

    // The end record must fill the last 22 bytes: an archive comment moves it and is refused.
    if (fseek(f, -ZIP_END_SIZE, SEEK_END) != 0)
        DebugLog("file_t:: can`t seek in file : %s", file.name);
    unsigned char end[ZIP_END_SIZE];
    if (fread(end, 1, sizeof end, f) != sizeof end)
        return DebugLog("file_t:: can`t read from file : %s", file.name);
    if (Get32(end) != ZIP_END_SIGNATURE)
        return DebugLog("cZipFile:: this file : %s isn`t a zip file!", path.c_str());
    int count = Get16(end + 8);
    uint32_t dirOffset = Get32(end + 16);

    // The central directory lies between its offset and the end record; read it in one go.
    long dirEnd = fileSize - ZIP_END_SIZE;
    std::vector<unsigned char> dir;
    if (dirOffset > dirEnd || fseek(f, static_cast<long>(dirOffset), SEEK_SET) != 0)
        DebugLog("file_t:: can`t seek in file : %s", file.name);
    else
    {
        dir.resize(static_cast<size_t>(dirEnd - dirOffset));
        if (fread(dir.data(), 1, dir.size(), f) != dir.size())
            dir.clear();
    }
    if (!skipEmpty)
        entries.reserve(count);

    size_t pos = 0;
    for (int i = 0; i < count; i++)
    {
        // An incomplete record ends the table: everything after it is out of reach too.
        if (dir.size() - pos < ZIP_CENTRAL_SIZE)
        {
            DebugLog("file_t:: can`t read from file : %s", file.name);
            break;
        }
        const unsigned char* rec = dir.data() + pos;
        uint32_t compressed = Get32(rec + 20);
        uint32_t size = Get32(rec + 24);
        size_t nameLen = Get16(rec + 28);
        size_t skip = static_cast<size_t>(Get16(rec + 30)) + Get16(rec + 32);
        uint32_t offset = Get32(rec + 42);
        pos += ZIP_CENTRAL_SIZE;
        if (dir.size() - pos < nameLen)
        {
            DebugLog("file_t:: can`t read from file : %s", file.name);
            break;
        }
        const char* name = reinterpret_cast<const char*>(dir.data() + pos);
        pos += nameLen;
        if (nameLen >= static_cast<size_t>(ZIP_MAX_NAME))
            DebugLog("cZipFile:: %s : entry name of %d bytes skipped", path.c_str(),
                     static_cast<int>(nameLen));
        else if (compressed > static_cast<unsigned long>(fileSize) ||
                 size > static_cast<uint64_t>(compressed) * ZIP_MAX_RATIO + ZIP_MAX_RATIO)
            // Callers allocate the recorded size before reading; a size that no member of this
            // archive can have would cost gigabytes for nothing.
            DebugLog("cZipFile:: %s : entry %.*s claims %u bytes from %u, skipped", path.c_str(),
                     static_cast<int>(nameLen), name, size, compressed);
        else if (!skipEmpty || compressed != 0 || size != 0)
        {
            ZipEntry entry;
            entry.offset = offset;
            entry.size = size;
            entry.compressedSize = compressed;
            entry.name.assign(name, strnlen(name, nameLen));
            entries.push_back(std::move(entry));
        }
        if (dir.size() - pos < skip)
            pos = dir.size();
        else
            pos += skip;
    }
    Log("ZipFile:: %s opened , numEntries %d.", path.c_str(), numEntries());
    return true;
}

bool cZipFile::read(int index, unsigned char* dest)
{
    if (index < 0 || index >= numEntries() || !file.handle || !dest)
        return false;
    const ZipEntry& entry = entries[index];
    if (entry.size == 0)
        return false;
    FILE* f = file.handle;
    if (entry.offset > fileSize || fseek(f, static_cast<long>(entry.offset), SEEK_SET) != 0)
        DebugLog("file_t:: can`t seek in file : %s", file.name);
    unsigned char local[ZIP_LOCAL_SIZE];
    if (fread(local, 1, sizeof local, f) != sizeof local)
        return DebugLog("file_t:: can`t read from file : %s", file.name);
    int method = Get16(local + 8);
    long skip = static_cast<long>(Get16(local + 26)) + Get16(local + 28);
    if (skip != 0 && fseek(f, skip, SEEK_CUR) != 0)
        DebugLog("file_t:: can`t seek in file : %s", file.name);
    long long dataStart = static_cast<long long>(entry.offset) + ZIP_LOCAL_SIZE + skip;

    // Sizes come from the central record: it is what the caller allocated for, and it holds
    // the true sizes when the local header defers them to a trailing data descriptor.
    if (method == ZIP_STORED)
    {
        if (entry.compressedSize != entry.size)
            return DebugLog("cZipFile:: unzipping failed!");
        if (fread(dest, 1, entry.size, f) != entry.size)
            return DebugLog("file_t:: can`t read from file : %s", file.name);
        return true;
    }
    if (method != ZIP_DEFLATED)
        return DebugLog("cZipFile:: unzipping failed!");

    // The byte after the deflate data goes to the decompressor as well.
    size_t inSize = static_cast<size_t>(entry.compressedSize) + 1;
    if (dataStart + static_cast<long long>(inSize) > fileSize)
        return DebugLog("file_t:: can`t read from file : %s", file.name);
    std::unique_ptr<unsigned char[]> in(new (std::nothrow) unsigned char[inSize]);
    if (!in || fread(in.get(), 1, inSize, f) != inSize)
        return DebugLog("file_t:: can`t read from file : %s", file.name);

    z_stream zs;
    memset(&zs, 0, sizeof zs);
    zs.next_in = in.get();
    zs.avail_in = static_cast<uInt>(inSize);
    zs.next_out = dest;
    zs.avail_out = entry.size;
    int result = inflateInit2(&zs, -MAX_WBITS);
    if (result == Z_OK)
    {
        result = inflate(&zs, Z_FINISH);
        inflateEnd(&zs);
        // A stream that ends short of the recorded size would leave the buffer partly unset.
        if ((result == Z_STREAM_END || result == Z_OK) && zs.total_out == entry.size)
            return true;
    }
    return DebugLog("cZipFile:: inflate stream did not his job right!");
}

int cZipFile::Find(const char* name) const
{
    if (!name)
        return -1;
    for (size_t i = 0; i < entries.size(); i++)
    {
        if (strcasecmp(entries[i].name.c_str(), name) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

namespace
{
std::string LowerCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}
} // namespace

void cZipFile::list(const char* pattern, std::vector<std::string>& names) const
{
    if (!pattern)
        return;
    std::string wantedDir = ZipDirPart(pattern);
    std::string wantedExt = ZipExtension(pattern);
    bool all = !wantedExt.empty() && wantedExt[0] == '*';

    // Many archives hold only file members, so a folder may exist only in the paths of what
    // lies inside it. Such a folder is listed once, where its first member lies; a folder with
    // a record of its own is listed at its record only.
    std::set<std::string> folders;
    if (all)
    {
        for (const ZipEntry& entry : entries)
        {
            if (!entry.name.empty() && entry.name.back() == '/' &&
                strcasecmp(ZipDirPart(entry.name).c_str(), wantedDir.c_str()) == 0)
                folders.insert(LowerCase(ZipFilePart(entry.name)));
        }
    }
    for (const ZipEntry& entry : entries)
    {
        std::string dirPart = ZipDirPart(entry.name);
        if (strcasecmp(dirPart.c_str(), wantedDir.c_str()) != 0)
        {
            if (!all || dirPart.size() <= wantedDir.size() ||
                strncasecmp(dirPart.c_str(), wantedDir.c_str(), wantedDir.size()) != 0)
                continue;
            std::string folder =
                dirPart.substr(wantedDir.size(), dirPart.find('/', wantedDir.size()) - wantedDir.size());
            if (!folder.empty() && folders.insert(LowerCase(folder + "/")).second)
                names.push_back(folder);
            continue;
        }
        std::string file = ZipFilePart(entry.name);
        if (all)
        {
            if (!file.empty() && file.back() == '/')
                file.pop_back();
            names.push_back(file);
        }
        else if (strcasecmp(ZipExtension(file).c_str(), wantedExt.c_str()) == 0)
            names.push_back(file);
    }
}
