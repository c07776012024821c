// The file manager: finds a path in its cache, the directory tree and the mounted archives,
// and keeps every file it has read in memory until exit or until a caller releases it.
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
    // Running out of memory for a file fails that one lookup with a message. The entry stays
    // valid until it is released or the manager is reset.
    FileEntry* find(const char* path, const char* mode);
    // The same, sharing ownership of the entry, so a view keeps its bytes past a release.
    std::shared_ptr<FileEntry> FindShared(const char* path, const char* mode);

    // Gives back the cached bytes of path (exact text, as the cache is keyed) once the caller
    // has decoded them; a later find reads the file again. Views still open on the file keep
    // its bytes until they close. Answers whether path was cached.
    bool Release(const char* path);

    // Adds a zip archive to the search unless one with the same path (any case) is mounted.
    // Answers whether the archive is mounted afterwards.
    bool MountZip(const char* path);

    // Mounts every file of folder whose name ends in ".pk3" (any case), in descending name
    // order (letter case ignored), so that archives later in name order are searched first and
    // override earlier ones. Answers how many archives are mounted; a broken one is skipped.
    int MountZipFolder(const char* folder);

    // Appends what every zip archive lists for pattern (cZipFile::list), in mount order. With
    // unique listing on, a name already in names (any case) is not appended again.
    void list(const char* pattern, std::vector<std::string>& names) const;
    void SetUniqueListing(bool on) { uniqueListing = on; }
    bool UniqueListing() const { return uniqueListing; }

    // Adds a pak archive to the search, after every zip archive, unless one with the same path
    // (any case) is mounted. Answers whether the archive is mounted afterwards.
    bool MountPak(const char* path);

    // A second folder of plain files: a relative path missing from the working folder is looked
    // for there, before the archives (a program's shipped settings and images). Empty, the
    // default, looks nowhere else.
    void SetLooseFallback(const std::string& folder);
    const std::string& LooseFallback() const { return looseFallback; }

    const std::vector<std::unique_ptr<cZipFile>>& Zips() const { return zips; }
    const std::vector<std::unique_ptr<pakfile>>& Paks() const { return paks; }

    // Forgets every archive and cached file and turns unique listing and the fallback folder
    // off (tests start from a clean manager).
    void Reset();

    // Changes whenever what find can answer may have changed (an archive mounted, a file
    // read, a reset), so a caller can tell when a miss it remembers is worth trying again.
    uint32_t Generation() const { return generation; }

  private:
    std::shared_ptr<FileEntry> Search(const char* path, const char* mode);
    std::shared_ptr<FileEntry> Insert(std::unique_ptr<FileEntry> entry);

    std::vector<std::unique_ptr<cZipFile>> zips;
    std::vector<std::unique_ptr<pakfile>> paks;
    std::map<std::string, std::shared_ptr<FileEntry>> cache;
    bool uniqueListing = false;
    uint32_t generation = 0;
    std::string looseFallback;
};

extern FileMgr gFileMgr;
