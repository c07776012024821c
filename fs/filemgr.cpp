// The file manager: cache, then the directory tree, then zip archives, then pak archives.
#include "fs/filemgr.h"

#include "platform/log.h"
#include "fs/file.h"
#include "fs/pakfile.h"
#include "fs/zipfile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <dirent.h>
#include <cstring>
#include <new>
#include <set>
#include <strings.h>
#include <sys/stat.h>

FileMgr gFileMgr;

namespace
{
// A fresh entry with room for size bytes, or null (with a message) when the memory cannot be
// had: a large but possible size fails only this one read.
std::unique_ptr<FileEntry> NewEntry(const char* path, uint32_t size)
{
    std::unique_ptr<FileEntry> entry(new FileEntry);
    entry->data.reset(new (std::nothrow) unsigned char[size]);
    if (!entry->data)
    {
        DebugLog("FileMgr:: out of memory reading %s (%u bytes)", path, size);
        return nullptr;
    }
    entry->name = path;
    entry->size = size;
    return entry;
}

// The whole of a plain file; empty files and unreadable files count as absent, and FIFOs,
// devices and folders are refused without waiting on them.
std::unique_ptr<FileEntry> LoadPlainFile(const char* path, const char* mode)
{
    FILE* f = OpenRegularFile(path, mode ? mode : "rb");
    if (!f)
        return nullptr;
    std::unique_ptr<FileEntry> entry;
    struct stat info;
    if (fstat(fileno(f), &info) == 0 && info.st_size > 0 && info.st_size <= UINT32_MAX)
    {
        entry = NewEntry(path, static_cast<uint32_t>(info.st_size));
        // A file that shrank since it was measured keeps only the bytes that were read.
        size_t got = entry ? fread(entry->data.get(), 1, entry->size, f) : 0;
        if (got == 0)
            entry.reset();
        else
            entry->size = static_cast<uint32_t>(got);
    }
    fclose(f);
    return entry;
}
} // namespace

FileMgr::FileMgr() {}

FileMgr::~FileMgr() { Reset(); }

void FileMgr::Reset()
{
    zips.clear();
    paks.clear();
    cache.clear();
    uniqueListing = false;
    looseFallback.clear();
    ++generation;
}

void FileMgr::SetLooseFallback(const std::string& folder)
{
    looseFallback = folder;
    ++generation;
}

std::shared_ptr<FileEntry> FileMgr::Insert(std::unique_ptr<FileEntry> entry)
{
    std::shared_ptr<FileEntry> shared(std::move(entry));
    cache.emplace(shared->name, shared);
    ++generation;
    return shared;
}

FileEntry* FileMgr::find(const char* path, const char* mode) { return FindShared(path, mode).get(); }

std::shared_ptr<FileEntry> FileMgr::FindShared(const char* path, const char* mode)
{
    if (!path)
        return nullptr;
    auto hit = cache.find(path);
    if (hit != cache.end())
        return hit->second;
    try
    {
        return Search(path, mode);
    }
    catch (const std::bad_alloc&)
    {
        // Whatever was built for this read is gone with the exception; the cache is unchanged.
        DebugLog("FileMgr:: out of memory reading %s", path);
        return nullptr;
    }
}

bool FileMgr::Release(const char* path) { return path && cache.erase(path) != 0; }

// The directory tree, then the archives, for a path that is not cached.
std::shared_ptr<FileEntry> FileMgr::Search(const char* path, const char* mode)
{
    if (std::unique_ptr<FileEntry> plain = LoadPlainFile(path, mode))
        return Insert(std::move(plain));
    if (!looseFallback.empty() && path[0] != '/')
        if (std::unique_ptr<FileEntry> plain = LoadPlainFile((looseFallback + "/" + path).c_str(), mode))
        {
            plain->name = path; // cached under the name it was asked for
            return Insert(std::move(plain));
        }

    // The first archive holding a member with data decides; a failed read ends the zip search.
    for (const std::unique_ptr<cZipFile>& zip : zips)
    {
        int index = zip->Find(path);
        if (index < 0 || zip->Entries()[index].size == 0)
            continue;
        std::unique_ptr<FileEntry> entry = NewEntry(path, zip->Entries()[index].size);
        if (entry && zip->read(index, entry->data.get()))
            return Insert(std::move(entry));
        break;
    }

    for (const std::unique_ptr<pakfile>& pak : paks)
    {
        int index = pak->Find(path);
        if (index < 0 || pak->Entries()[index].length <= 0)
            continue;
        // A record reaching past the archive fails as its read would, before its length is
        // allocated: the length may claim gigabytes.
        if (!pak->Fits(index))
        {
            DebugLog("pakfile:: could not read file infos from pakfile : %s", path);
            return nullptr;
        }
        std::unique_ptr<FileEntry> entry =
            NewEntry(path, static_cast<uint32_t>(pak->Entries()[index].length));
        if (entry && pak->read(index, entry->data.get()))
            return Insert(std::move(entry));
        return nullptr;
    }
    return nullptr;
}

bool FileMgr::MountZip(const char* path)
{
    if (!path)
        return false;
    for (const std::unique_ptr<cZipFile>& zip : zips)
    {
        if (strcasecmp(zip->Path(), path) == 0)
            return true;
    }
    std::unique_ptr<cZipFile> zip(new cZipFile);
    if (!zip->open(path, false))
        return false;
    zips.push_back(std::move(zip));
    ++generation;
    return true;
}

bool FileMgr::MountPak(const char* path)
{
    if (!path)
        return false;
    for (const std::unique_ptr<pakfile>& pak : paks)
    {
        if (strcasecmp(pak->Path(), path) == 0)
            return true;
    }
    std::unique_ptr<pakfile> pak(new pakfile);
    if (!pak->open(path))
        return false;
    paks.push_back(std::move(pak));
    ++generation;
    return true;
}

int FileMgr::MountZipFolder(const char* folder)
{
    if (!folder)
        return 0;
    DIR* dir = opendir(folder);
    if (!dir)
    {
        DebugLog("FileMgr:: can`t list folder : %s", folder);
        return 0;
    }
    std::vector<std::string> archives;
    while (const dirent* item = readdir(dir))
    {
        size_t len = strlen(item->d_name);
        if (len > 4 && strcasecmp(item->d_name + len - 4, ".pk3") == 0)
            archives.push_back(item->d_name);
    }
    closedir(dir);

    // The search takes the first archive holding a member, so the last in name order goes first.
    std::sort(archives.begin(), archives.end(),
              [](const std::string& a, const std::string& b)
              {
                  int order = strcasecmp(a.c_str(), b.c_str());
                  return order != 0 ? order > 0 : a > b;
              });
    int mounted = 0;
    for (const std::string& name : archives)
    {
        std::string path = std::string(folder) + "/" + name;
        if (MountZip(path.c_str()))
            mounted++;
    }
    return mounted;
}

void FileMgr::list(const char* pattern, std::vector<std::string>& names) const
{
    // With unique listing, the names listed so far in lower case: a folder of tens of thousands
    // of names is listed in n log n steps, not n squared.
    std::set<std::string> known;
    auto lower = [](std::string text)
    {
        for (char& c : text)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return text;
    };
    if (uniqueListing)
        for (const std::string& name : names)
            known.insert(lower(name));
    for (const std::unique_ptr<cZipFile>& zip : zips)
    {
        std::vector<std::string> listed;
        zip->list(pattern, listed);
        for (std::string& name : listed)
            if (!uniqueListing || known.insert(lower(name)).second)
                names.push_back(std::move(name));
    }
}
