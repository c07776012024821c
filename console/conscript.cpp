// Script files: the variables file read at start and the files run by exec.
#include "console/console.h"

#include "platform/log.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"

#include <strings.h>

const char* Console::ConfigValue(const char* name) const
{
    const KeyValue* pair = config.Find(name);
    return pair ? pair->value.c_str() : nullptr;
}

void Console::ResetConfig() { config.Clear(' '); }

// The pairs stay for later registrations; the bind pairs are run at once, in file order, so a
// later line for the same key wins. Value lines do not touch variables registered already.
bool Console::LoadConfig(const char* path)
{
    config.Clear(' ', path ? path : "");
    memfile_t file;
    if (!path || !file.open(path, "r"))
        return false;
    bool loaded = config.Load(file, ' ');
    file.close();
    if (!loaded)
        return false;
    for (const KeyValue& pair : config.Entries())
    {
        if (strcasecmp(pair.key.c_str(), "bind") != 0 || pair.value.empty())
            continue;
        ConArgs args(pair.value.c_str());
        Bind(&args);
    }
    return true;
}

void Console::ExecPath(const char* path)
{
    memfile_t file;
    if (!file.open(path, "r"))
        return;
    ExecFile(file);
    // Scripts run from archives may be many and large; none is kept once it has run.
    file.close();
    gFileMgr.Release(path);
}

// Runs each "key value" pair of the script as one command line. Lines without a blank and
// comment lines never become pairs; lines that name nothing are dropped silently.
bool Console::ExecFile(memfile_t& file)
{
    if (!file.data || file.size == 0)
        return false;
    const char* name = file.name ? file.name : "";
    // A script may run other scripts, but none that is already running (the same name), and
    // not too deep.
    for (const std::string& running : execStack)
        if (running == name)
            return DebugLog("Console:: script runs itself, skipped : %s", name);
    if (execStack.size() >= static_cast<size_t>(CON_MAX_EXEC_DEPTH))
        return DebugLog("Console:: scripts nested too deeply, skipped : %s", name);

    if (execStack.empty())
        execLines = 0;
    execStack.emplace_back(name);
    // Each line runs as it is read: a script of millions of lines keeps none of them.
    ConfigFile script(' ');
    script.Stream(file, ' ',
                  [&](const KeyValue& pair)
                  {
                      if (execStack.size() > 1 && ++execLines > CON_MAX_EXEC_LINES)
                          return DebugLog("Console:: too many script lines, stopped in : %s", name);
                      std::string line = pair.key + ' ' + pair.value;
                      Execute(line.c_str());
                      return true;
                  });
    execStack.pop_back();
    return true;
}
