// The shader library: owns every shader record, read from scripts or made from an image, and
// loads a shader's textures the first time it is asked for.
#pragma once

#include "fs/mgrbase.h"
#include "fs/zipfile.h"
#include "platform/log.h"
#include "shader/shader.h"

#include <deque>
#include <map>
#include <set>
#include <string_view>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class memfile_t;

// Bytes of records that scripts may store in the library, counted as the records hold them. A
// script block costs up to some twenty times its text (a stage per brace pair, a string per
// animmap frame), and scripts may be many and large: past this, further blocks are dropped
// with a message. Every script of a whole game takes a few megabytes.
const size_t SHADER_MAX_SCRIPT_BYTES = 64u << 20;

// One script to read: its name, and where it is (a loose file, a member of an archive, or
// bytes already read).
struct sScriptJob
{
    std::string name;
    std::string archive; // the archive of entry; empty for a loose file (name) or the bytes
    ZipEntry entry;
    std::vector<unsigned char> bytes;
    bool ready = false; // bytes hold the script
};

class ShaderMgr : public MgrBase
{
  public:
    ~ShaderMgr() override;

    // Creates the built-in "$default" shader at index 0 (once; later calls change nothing).
    bool Init() override;

    // Reads every shader block of an opened script and stores the new names. False only when
    // the file holds no data. Leaves the file's read position at its end.
    bool ParseScript(memfile_t& file);

    // Parses every "scripts/*.shader" (extension in any letter case) of the loose "scripts"
    // folder, then of each mounted archive in search order, each archive's scripts in name
    // order ignoring case. Since the first definition of a name wins, the order is that of
    // precedence: loose files beat archives, an archive searched earlier beats a later one. A
    // script held by several archives is parsed from each. Answers how many scripts were parsed.
    // Their blocks are only indexed here: a block is parsed into its record the first time its
    // name is looked up (Find, Load, or a later script defining the same name).
    int ParseAllScripts();

    // Does what ParseAllScripts does on a thread of its own and returns at once, so that the
    // scripts are read while the caller goes on (with the file layer: the thread reads archives
    // through handles of its own). Every other call of the library waits for that thread first;
    // its messages reach the log files then. Where no thread can be started, the scripts are
    // read here and now.
    void StartAllScripts();
    // Waits for scripts being read on their thread and writes their messages; answers how many
    // scripts the last reading of every script parsed. Answers at once when none is being read.
    int Settle() const;

    // Index stored under exactly this name, or -1. Loads nothing and allocates nothing.
    int Find(const char* name) const;
    int Find(std::string_view name) const;
    // The same, after parsing the block that an indexed script holds for the name.
    int Find(const char* name);

    // Makes the named shader ready (textures loaded) and answers its index; a name that is
    // neither scripted nor an image answers 0, the "$default" shader. Never -1. A name with
    // backslashes that finds nothing is tried again with forward slashes.
    int Load(const char* name);

    // Forgets every shader (tests start from an empty library; Init makes "$default" again).
    void Reset();

    // Looks whether the file layer changed since the last look (an archive mounted, a file read
    // by someone else): then remembered misses and messages logged once are forgotten, so both
    // may come again. The library's own texture reads do not count. The batch calls it for
    // every shader it begins; it costs one comparison.
    void NoteFileChanges();

    // Records in creation order. A deque, so appending never moves a record and a pointer
    // handed to the batch stays valid.
    std::deque<cShader> shaders;
    // Name -> index; only the first shader stored under a name is entered. The comparator
    // takes any string view, so drawing looks names up without building strings.
    std::map<std::string, int, std::less<>> index;
    // What the records stored from scripts hold, counted against SHADER_MAX_SCRIPT_BYTES.
    size_t scriptBytes = 0;

  private:
    friend class cScriptParser;

    bool ParseText(memfile_t& file);
    std::vector<sScriptJob> GatherScripts() const;
    int ReadScripts(std::vector<sScriptJob>& jobs);
    int ReadScript(sScriptJob& job, std::vector<unsigned char>& read, cZipReader& archive);
    // True on the thread that reads every script (it does not wait for itself).
    static bool& OnReaderThread();

    // The thread reading every script, what it reads, its messages and its count.
    mutable std::thread scriptReader;
    std::vector<sScriptJob> scriptJobs;
    mutable sLogCapture scriptLog;
    int scriptsParsed = 0;

    void EnsureDefault();
    // Takes the script over and enters its blocks whose names are new; false (bytes left as
    // they were) when the script has to be parsed at once (see scriptindex.cpp).
    bool IndexScript(std::vector<unsigned char>& bytes);
    // Appends a record and enters its name unless present; answers the new index.
    int Store(const cShader& shader);
    void LoadStages(cShader& shader);
    int LoadImageShader(const char* name);
    // Load without noting file changes first; the backslash retry comes back here.
    int LoadNoted(const char* name);

    // Names that led to no shader and no image while the file layer stood at missGeneration.
    // Models ask for their surfaces' shaders in every frame, and a miss searches the folder
    // tree and every archive, so it is not repeated until the file layer changes. The library's
    // own texture reads do not count as a change: they cannot make a missing image appear.
    std::set<std::string, std::less<>> misses;
    uint32_t missGeneration = 0;

    // Where an indexed block starts: its script, the line, and the words of that line that
    // belong to the blocks before it.
    struct sPendingBlock
    {
        uint32_t script;
        uint32_t lineStart;
        uint32_t skipWords;
    };
    // Indexed scripts, each followed by SCRIPT_SCAN_PADDING zero bytes.
    std::vector<std::vector<unsigned char>> scriptTexts;
    // Blocks not parsed yet, by name (views into scriptTexts).
    std::unordered_map<std::string_view, sPendingBlock> pending;
};

extern ShaderMgr gShaderMgr;
