// The file manager: finds a path in its cache, the directory tree and the mounted archives,
// and keeps every file it has read in memory until exit.
#pragma once

#include "fs/mgrbase.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class cZipFile;
class pakfile;

struct FileEntry
{
    std::string name;
    std::unique_ptr<unsigned char[]> data; // exactly size bytes, no terminating NUL
    uint32_t size = 0;                     // never 0
};

class FileMgr : public MgrBase
{
  public:
    FileMgr();
    ~FileMgr() override;

    // The entry for path, or null: cache, then directory tree, then zip archives, then paks.
    FileEntry* find(const char* path, const char* mode);

    // Adds a zip archive to the search unless one with the same path (any case) is mounted.
    // Answers whether the archive is mounted afterwards.
    bool MountZip(const char* path);

    // Adds a pak archive to the search, after every zip archive, unless one with the same path
    // (any case) is mounted. Answers whether the archive is mounted afterwards.
    bool MountPak(const char* path);

    const std::vector<std::unique_ptr<cZipFile>>& Zips() const { return zips; }
    const std::vector<std::unique_ptr<pakfile>>& Paks() const { return paks; }

    // Forgets every archive and cached file (tests start from a clean manager).
    void Reset();

  private:
    FileEntry* Insert(std::unique_ptr<FileEntry> entry);

    std::vector<std::unique_ptr<cZipFile>> zips;
    std::vector<std::unique_ptr<pakfile>> paks;
    std::map<std::string, std::unique_ptr<FileEntry>> cache;
};

extern FileMgr gFileMgr;
