// Reading every shader script of the game data: the loose "scripts" folder and each mounted
// archive, in the order in which their definitions take precedence.
#include "shader/shadermgr.h"
#include "shader/scriptparser.h"

#include "platform/log.h"
#include "fs/file.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/pakfile.h"
#include "fs/zipfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <new>
#include <string>
#include <strings.h>
#include <system_error>
#include <sys/stat.h>
#include <vector>

namespace
{
const char SCRIPT_FOLDER[] = "scripts";
const char SCRIPT_PREFIX[] = "scripts/";
const char SCRIPT_EXTENSION[] = ".shader";
// Larger scripts are not read; real ones stay far below a megabyte.
const uint32_t SHADER_MAX_SCRIPT_SIZE = 16u << 20;

bool HasScriptExtension(const char* name, size_t len)
{
    const size_t ext = sizeof SCRIPT_EXTENSION - 1;
    return len > ext && strncasecmp(name + len - ext, SCRIPT_EXTENSION, ext) == 0;
}

// "scripts/<name>.shader" directly in the folder, any letter case.
bool IsScriptMember(const char* path, size_t len)
{
    const size_t prefix = sizeof SCRIPT_PREFIX - 1;
    return len > prefix && strncasecmp(path, SCRIPT_PREFIX, prefix) == 0 &&
           !memchr(path + prefix, '/', len - prefix) && HasScriptExtension(path, len);
}

// A script found in one place: its name and where to read it there.
struct sScriptFile
{
    std::string name;
    int index = -1;
};

// Name order ignoring letter case; names equal but for case keep byte order.
void SortByName(std::vector<sScriptFile>& files)
{
    std::sort(files.begin(), files.end(),
              [](const sScriptFile& a, const sScriptFile& b)
              {
                  const int order = strcasecmp(a.name.c_str(), b.name.c_str());
                  return order != 0 ? order < 0 : a.name < b.name;
              });
}

// Reads a loose file whole into bytes; false (with a message) when it cannot. Folders and
// empty files are no scripts.
bool ReadLooseFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    // A FIFO or device named like a script is refused without waiting on it.
    bool notRegular = false;
    FILE* f = OpenRegularFile(path.c_str(), "rb", &notRegular);
    if (!f)
        return notRegular ? false : DebugLog("ShaderMgr:: can`t open script : %s", path.c_str());
    struct stat info;
    bool ok = fstat(fileno(f), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
              static_cast<uint64_t>(info.st_size) <= SHADER_MAX_SCRIPT_SIZE;
    if (ok)
    {
        bytes.reserve(static_cast<size_t>(info.st_size) + SCRIPT_SCAN_PADDING);
        bytes.resize(static_cast<size_t>(info.st_size));
        ok = fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    fclose(f);
    return ok || DebugLog("ShaderMgr:: can`t read script : %s", path.c_str());
}

// A member size that a script may have; says why not otherwise.
bool ScriptSizeFits(uint64_t size, const char* archive, const std::string& name)
{
    if (size > 0 && size <= SHADER_MAX_SCRIPT_SIZE)
        return true;
    return DebugLog("ShaderMgr:: script of %llu bytes skipped : %s in %s",
                    static_cast<unsigned long long>(size), name.c_str(), archive);
}
} // namespace

// Every script in the order of precedence: the loose folder, then the archives in the order
// the file layer searches them, each in name order. Archive members are noted with their
// entry, to be read later through a handle of the reader's own; pak scripts are read here.
std::vector<sScriptJob> ShaderMgr::GatherScripts() const
{
    std::vector<sScriptJob> jobs;
    std::vector<sScriptFile> files;
    if (DIR* dir = opendir(SCRIPT_FOLDER))
    {
        while (const dirent* item = readdir(dir))
            if (HasScriptExtension(item->d_name, strlen(item->d_name)))
                files.push_back({item->d_name, -1});
        closedir(dir);
    }
    SortByName(files);
    for (const sScriptFile& script : files)
        jobs.push_back({std::string(SCRIPT_PREFIX) + script.name, "", {}, {}, false});

    for (const std::unique_ptr<cZipFile>& zip : gFileMgr.Zips())
    {
        files.clear();
        const std::vector<ZipEntry>& entries = zip->Entries();
        for (size_t i = 0; i < entries.size(); i++)
            if (IsScriptMember(entries[i].name.c_str(), entries[i].name.size()))
                files.push_back({entries[i].name, static_cast<int>(i)});
        SortByName(files);
        for (const sScriptFile& script : files)
            if (ScriptSizeFits(entries[script.index].size, zip->Path(), script.name))
                jobs.push_back({script.name, zip->Path(), entries[script.index], {}, false});
    }
    for (const std::unique_ptr<pakfile>& pak : gFileMgr.Paks())
    {
        files.clear();
        const std::vector<PakEntry>& entries = pak->Entries();
        for (size_t i = 0; i < entries.size(); i++)
        {
            const size_t len = strnlen(entries[i].name, PAK_NAME_SIZE);
            if (IsScriptMember(entries[i].name, len))
                files.push_back({std::string(entries[i].name, len), static_cast<int>(i)});
        }
        SortByName(files);
        for (const sScriptFile& script : files)
        {
            const int32_t length = entries[script.index].length;
            if (length <= 0 || !pak->Fits(script.index))
            {
                DebugLog("ShaderMgr:: can`t read script : %s in %s", script.name.c_str(), pak->Path());
                continue;
            }
            if (!ScriptSizeFits(static_cast<uint64_t>(length), pak->Path(), script.name))
                continue;
            sScriptJob job{script.name, "", {}, {}, true};
            job.bytes.reserve(static_cast<size_t>(length) + SCRIPT_SCAN_PADDING);
            job.bytes.resize(static_cast<size_t>(length));
            if (pak->read(script.index, job.bytes.data()))
                jobs.push_back(std::move(job));
            else
                DebugLog("ShaderMgr:: can`t read script : %s in %s", script.name.c_str(), pak->Path());
        }
    }
    return jobs;
}

// Reads and parses the scripts in order; touches the library and the files named in jobs, and
// nothing of the file layer.
int ShaderMgr::ReadScripts(std::vector<sScriptJob>& jobs)
{
    int parsed = 0;
    std::vector<unsigned char> read; // the script being read; an indexed one is kept
    cZipReader archive;
    for (sScriptJob& job : jobs)
        try
        {
            parsed += ReadScript(job, read, archive);
        }
        catch (const std::bad_alloc&)
        {
            DebugLog("ShaderMgr:: out of memory reading script : %s", job.name.c_str());
        }
    Log("ShaderMgr:: %d shader scripts parsed, %d shaders known", parsed,
        static_cast<int>(shaders.size() + pending.size()));
    return parsed;
}

// One script of ReadScripts; answers 1 when it was parsed, else 0.
int ShaderMgr::ReadScript(sScriptJob& job, std::vector<unsigned char>& read, cZipReader& archive)
{
    std::vector<unsigned char>& bytes = job.ready ? job.bytes : read;
    if (job.archive.empty() && !job.ready)
    {
        if (!ReadLooseFile(job.name, bytes))
            return 0;
    }
    else if (!job.ready)
    {
        bytes.reserve(job.entry.size + SCRIPT_SCAN_PADDING);
        bytes.resize(job.entry.size);
        if (!archive.Open(job.archive.c_str()) || !archive.Read(job.entry, bytes.data()))
        {
            DebugLog("ShaderMgr:: can`t read script : %s in %s", job.name.c_str(), job.archive.c_str());
            return 0;
        }
    }
    if (IndexScript(bytes))
        return 1;
    memfile_t file(bytes.data(), static_cast<uint32_t>(bytes.size()), job.name.c_str(), false);
    return ParseText(file) ? 1 : 0;
}

int ShaderMgr::ParseAllScripts()
{
    Settle();
    EnsureDefault();
    std::vector<sScriptJob> jobs = GatherScripts();
    return scriptsParsed = ReadScripts(jobs);
}

void ShaderMgr::StartAllScripts()
{
    Settle();
    EnsureDefault();
    scriptJobs = GatherScripts();
    scriptsParsed = 0;
    auto read = [this]
    {
        OnReaderThread() = true;
        CaptureThreadLog(&scriptLog);
        scriptsParsed = ReadScripts(scriptJobs);
        CaptureThreadLog(nullptr);
        std::vector<sScriptJob>().swap(scriptJobs);
    };
    try
    {
        scriptReader = std::thread(read);
    }
    catch (const std::system_error&)
    {
        scriptsParsed = ReadScripts(scriptJobs);
        scriptJobs.clear();
    }
}
