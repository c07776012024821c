// Zip archive reader: the central directory becomes the entry table with its name index, and
// members are read stored or inflated (libdeflate) into the caller's buffer.
#include "fs/zipfile.h"

#include "platform/log.h"
#include "platform/bytereader.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <new>
#include <string_view>

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
} // namespace

cZipFile::~cZipFile()
{
    Clear();
    libdeflate_free_decompressor(inflater);
}

void cZipFile::Clear()
{
    entries.clear();
    nameIndex.Clear();
    file.close();
    fileSize = 0;
}

bool cZipFile::open(const char* archivePath, bool skipEmpty)
{
    const char* shown = archivePath ? archivePath : "";
    try
    {
        Clear();
        path = shown;
        return Load(skipEmpty);
    }
    catch (const std::bad_alloc&)
    {
        // Nothing of a table that could not be built is kept.
        Clear();
        return DebugLog("cZipFile:: out of memory reading the directory of %s", shown);
    }
}

bool cZipFile::Load(bool skipEmpty)
{
    if (!file.open(path.c_str(), "rb"))
        return file.notRegular ? false : DebugLog("file_t:: can`t open file : %s", file.name);
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
    cByteReader record(end, sizeof end);
    if (record.U32() != ZIP_END_SIGNATURE)
        return DebugLog("cZipFile:: this file : %s isn`t a zip file!", path.c_str());
    record.Skip(4); // disk numbers
    int count = record.U16();
    record.Skip(6); // total entries, directory size
    uint32_t dirOffset = record.U32();
    if (!ReadDirectory(dirOffset, count, skipEmpty))
        return false;
    nameIndex.Build(numEntries(), [this](int i) { return std::string_view(entries[i].name); });
    Log("ZipFile:: %s opened , numEntries %d.", path.c_str(), numEntries());
    return true;
}

// Fills the entry table from the count records of the central directory at dirOffset.
bool cZipFile::ReadDirectory(uint32_t dirOffset, int count, bool skipEmpty)
{
    // The directory lies between its offset and the end record; read it in one go.
    FILE* f = file.handle;
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

    cByteReader reader(dir.data(), dir.size());
    for (int i = 0; i < count; i++)
    {
        // An incomplete record ends the table: everything after it is out of reach too.
        if (reader.Left() < static_cast<uint64_t>(ZIP_CENTRAL_SIZE))
        {
            DebugLog("file_t:: can`t read from file : %s", file.name);
            break;
        }
        reader.Skip(20); // signature, versions, flags, method, time, date, CRC
        uint32_t compressed = reader.U32();
        uint32_t size = reader.U32();
        uint16_t nameLen = reader.U16();
        uint32_t skip = static_cast<uint32_t>(reader.U16()) + reader.U16(); // extra field, comment
        reader.Skip(8);                                                     // disk, attributes
        uint32_t offset = reader.U32();
        const char* name = reinterpret_cast<const char*>(reader.Bytes(nameLen));
        if (!name)
        {
            DebugLog("file_t:: can`t read from file : %s", file.name);
            break;
        }
        if (nameLen >= ZIP_MAX_NAME)
            DebugLog("cZipFile:: %s : entry name of %d bytes skipped", path.c_str(), nameLen);
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
        // Extra data running past the directory leaves nothing for a next record.
        reader.Skip(skip);
    }
    return true;
}

namespace
{
// Reads the deflate data of entry at the file position and inflates it in one call; exactly
// the recorded size must come out.
bool InflateMember(FILE* f, const char* archive, const ZipEntry& entry, libdeflate_decompressor*& inflater,
                   unsigned char* dest)
{
    size_t inSize = static_cast<size_t>(entry.compressedSize) + 1;
    std::unique_ptr<unsigned char[]> in(new (std::nothrow) unsigned char[inSize]);
    if (!in)
        return DebugLog("cZipFile:: out of memory reading %s", entry.name.c_str());
    if (fread(in.get(), 1, inSize, f) != inSize)
        return DebugLog("file_t:: can`t read from file : %s", archive);
    if (!inflater)
        inflater = libdeflate_alloc_decompressor();
    // Without an actual-size out parameter, anything but exactly entry.size bytes fails.
    if (inflater && libdeflate_deflate_decompress(inflater, in.get(), inSize, dest, entry.size, nullptr) ==
                        LIBDEFLATE_SUCCESS)
        return true;
    return DebugLog("cZipFile:: inflate stream did not his job right!");
}

// Reads member entry of the archive open on f (fileSize bytes long, archive in messages) into
// dest. It touches nothing but its arguments: whoever has a handle and a decompressor of its
// own may read this way beside the archive's owner.
bool ReadMember(FILE* f, long fileSize, const char* archive, const ZipEntry& entry,
                libdeflate_decompressor*& inflater, unsigned char* dest)
{
    if (entry.size == 0)
        return false;
    if (entry.offset > fileSize || fseek(f, static_cast<long>(entry.offset), SEEK_SET) != 0)
        DebugLog("file_t:: can`t seek in file : %s", archive);
    unsigned char local[ZIP_LOCAL_SIZE];
    if (fread(local, 1, sizeof local, f) != sizeof local)
        return DebugLog("file_t:: can`t read from file : %s", archive);
    cByteReader header(local, sizeof local);
    header.Skip(8); // signature, version, flags
    int method = header.U16();
    header.Skip(16); // time, date, CRC, sizes: the central record's sizes are used
    long skip = static_cast<long>(header.U16()) + header.U16();
    if (skip != 0 && fseek(f, skip, SEEK_CUR) != 0)
        DebugLog("file_t:: can`t seek in file : %s", archive);

    // Sizes come from the central record: it is what the caller allocated for, and it holds
    // the true sizes when the local header defers them to a trailing data descriptor.
    if (method == ZIP_STORED)
    {
        if (entry.compressedSize != entry.size)
            return DebugLog("cZipFile:: unzipping failed!");
        if (fread(dest, 1, entry.size, f) != entry.size)
            return DebugLog("file_t:: can`t read from file : %s", archive);
        return true;
    }
    if (method != ZIP_DEFLATED)
        return DebugLog("cZipFile:: unzipping failed!");
    long long dataStart = static_cast<long long>(entry.offset) + ZIP_LOCAL_SIZE + skip;
    // The byte after the deflate data goes to the decompressor as well.
    if (dataStart + static_cast<long long>(entry.compressedSize) + 1 > fileSize)
        return DebugLog("file_t:: can`t read from file : %s", archive);
    return InflateMember(f, archive, entry, inflater, dest);
}
} // namespace

bool cZipFile::read(int number, unsigned char* dest)
{
    if (number < 0 || number >= numEntries() || !file.handle || !dest)
        return false;
    return ReadMember(file.handle, fileSize, file.name, entries[number], inflater, dest);
}

cZipReader::~cZipReader()
{
    if (handle)
        fclose(handle);
    libdeflate_free_decompressor(inflater);
}

bool cZipReader::Open(const char* archive)
{
    if (handle && path == archive)
        return true;
    if (handle)
        fclose(handle);
    path = archive;
    fileSize = 0;
    handle = OpenRegularFile(archive, "rb");
    if (handle && fseek(handle, 0, SEEK_END) == 0)
        fileSize = ftell(handle);
    return handle || DebugLog("file_t:: can`t open file : %s", archive);
}

bool cZipReader::Read(const ZipEntry& entry, unsigned char* dest)
{
    return handle && dest && ReadMember(handle, fileSize, path.c_str(), entry, inflater, dest);
}

int cZipFile::Find(const char* name) const
{
    if (!name)
        return -1;
    return nameIndex.Find(name, [this](int i) { return std::string_view(entries[i].name); });
}
