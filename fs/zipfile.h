// Reader of zip (pk3) archives: the central directory becomes an entry table, members are read
// one at a time (stored or deflated) into a caller's buffer, and one folder can be listed.
#pragma once

#include "fs/file.h"
#include "fs/nameindex.h"

#include <cstdint>
#include <string>
#include <vector>

// Entry names of this many bytes or more are not kept.
const int ZIP_MAX_NAME = 256;

struct libdeflate_decompressor;

struct ZipEntry
{
    uint32_t offset = 0;         // of the local header
    uint32_t size = 0;           // uncompressed; 0 marks an entry without data
    uint32_t compressedSize = 0; // bytes of member data
    std::string name;            // as stored: forward slashes, folders end in '/'
};

class cZipFile
{
  public:
    cZipFile() {}
    ~cZipFile();
    cZipFile(const cZipFile&) = delete;
    cZipFile& operator=(const cZipFile&) = delete;

    // (Re)loads the entry table from path. With skipEmpty false, records without data (folders,
    // empty files) are kept, which the folder listing needs. Running out of memory fails the
    // open and leaves the table empty.
    bool open(const char* path, bool skipEmpty);
    int numEntries() const { return static_cast<int>(entries.size()); }
    // Writes member index, uncompressed, into dest, which holds entries[index].size bytes.
    bool read(int index, unsigned char* dest);
    // Appends the names in the folder of pattern ("dir/*.*" for everything, "dir/*.ext" for one
    // extension); subfolders come without their trailing slash, also those that only the paths
    // of their members show.
    void list(const char* pattern, std::vector<std::string>& names) const;

    // Index of the first entry whose name equals name ignoring case, or -1 (a hashed lookup).
    int Find(const char* name) const;

    const char* Path() const { return path.c_str(); }
    const std::vector<ZipEntry>& Entries() const { return entries; }

  private:
    void Clear();
    bool Load(bool skipEmpty);
    bool ReadDirectory(uint32_t dirOffset, int count, bool skipEmpty);

    std::string path; // kept whole: mounts compare it, and it names the archive in messages
    file_t file;
    long fileSize = 0;
    std::vector<ZipEntry> entries;
    cNameIndex nameIndex;                        // names, in any case, to their first entry
    libdeflate_decompressor* inflater = nullptr; // made on the first deflated read
};

// Reads members of an archive through a handle and a decompressor of its own, so that another
// thread can read beside the archive's owner; entries come from that archive's table.
class cZipReader
{
  public:
    cZipReader() = default;
    ~cZipReader();
    cZipReader(const cZipReader&) = delete;
    cZipReader& operator=(const cZipReader&) = delete;

    // Opens the archive at path (kept open when it is the one already open).
    bool Open(const char* path);
    // Writes entry, uncompressed, into dest, which holds entry.size bytes.
    bool Read(const ZipEntry& entry, unsigned char* dest);

  private:
    FILE* handle = nullptr;
    long fileSize = 0;
    std::string path;
    libdeflate_decompressor* inflater = nullptr; // made on the first deflated read
};

// Path helpers shared by the archive listing: the folder part keeps its trailing '/', the file
// part of a folder name keeps its own trailing '/', the extension excludes the dot.
std::string ZipDirPart(const std::string& path);
std::string ZipFilePart(const std::string& path);
std::string ZipExtension(const std::string& path);
