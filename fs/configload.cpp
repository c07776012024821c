// Reading a settings file from a view of the file layer. The settings reader itself lives in
// the platform layer and knows no files; this is the one step that needs a view.
#include "fs/memfile.h"
#include "platform/configfile.h"
#include "platform/log.h"

namespace
{
// Calls pair(line) for each line of the view outside block comments, which are recognised only
// at the very start of a line and cover whole lines.
template <class Pair> void ReadLines(memfile_t& file, Pair pair)
{
    char line[MEMFILE_MAX_LINE + 1];
    bool inComment = false;
    while (file.ReadLine(line, MEMFILE_MAX_LINE))
    {
        if (!inComment && line[0] == '/' && line[1] == '*')
            inComment = true;
        else if (inComment && line[0] == '*' && line[1] == '/')
            inComment = false;
        else if (!inComment && !pair(line))
            return;
    }
}
} // namespace

bool ConfigFile::Load(memfile_t& file, char newSeparator)
{
    Clear(newSeparator, file.name);
    ReadLines(file,
              [&](const char* line)
              {
                  if (entries.size() >= static_cast<size_t>(CONFIG_MAX_PAIRS))
                      return DebugLog("ConfigFile:: %s : more than %d pairs, the rest are dropped",
                                      sourceName.c_str(), CONFIG_MAX_PAIRS);
                  ParseLine(line, newSeparator);
                  return true;
              });
    return true;
}

bool ConfigFile::Stream(memfile_t& file, char newSeparator, const std::function<bool(const KeyValue&)>& use)
{
    Clear(newSeparator, file.name);
    ReadLines(file,
              [&](const char* line)
              {
                  if (!ParseLine(line, newSeparator))
                      return true;
                  const KeyValue pair = std::move(entries.back());
                  entries.clear();
                  return use(pair);
              });
    return true;
}
