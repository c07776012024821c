// Reader of pak archives: a 12-byte header ("PACK", directory offset, directory length) and a
// directory of 64-byte records naming each member with its position and length.
#pragma once

#include "fs/file.h"
#include "fs/nameindex.h"

#include <cstdint>
#include <string>
#include <vector>

const int PAK_NAME_SIZE = 56;
const int PAK_RECORD_SIZE = 64;
const int PAK_HEADER_SIZE = 12;
// Directories with more records than this are refused.
const int PAK_MAX_ENTRIES = 1 << 20;

struct PakEntry
{
    char name[PAK_NAME_SIZE]; // may fill all 56 bytes without a terminator
    int32_t position;
    int32_t length;

    // Whether the name equals path ignoring case; never reads past the name field.
    bool NameIs(const char* path) const;
};

class pakfile
{
  public:
    pakfile() {}
    ~pakfile() { Clear(); }
    pakfile(const pakfile&) = delete;
    pakfile& operator=(const pakfile&) = delete;

    // Reads the header and the directory of the archive at path. Running out of memory fails
    // the open and leaves the directory empty.
    bool open(const char* path);
    // Copies the first member called name into dest (which holds its length).
    bool read(const char* name, unsigned char* dest, int32_t* lengthOut = nullptr);
    // The same for the record at index, read by that record's name.
    bool read(int index, unsigned char* dest);

    // Index of the first record whose name equals name ignoring case, or -1 (a hashed lookup).
    int Find(const char* name) const;
    // Whether the record at index lies inside the archive (callers check before allocating).
    bool Fits(int index) const;

    const char* Path() const { return path.c_str(); }
    const std::vector<PakEntry>& Entries() const { return directory; }

  private:
    void Clear();
    bool Load();

    std::string path;
    file_t file;
    long fileSize = 0;
    std::vector<PakEntry> directory;
    int32_t count = 0;
    cNameIndex nameIndex; // names, in any case, to their first record
};
