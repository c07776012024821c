// Reading a settings file from a view of the file layer. The settings reader itself lives in
// the platform layer and knows no files; this is the one step that needs a view.
#include "fs/memfile.h"
#include "platform/configfile.h"

bool ConfigFile::Load(memfile_t& file, char newSeparator)
{
    Clear(newSeparator, file.name);
    char line[MEMFILE_MAX_LINE + 1];
    bool inComment = false;
    while (file.ReadLine(line, MEMFILE_MAX_LINE))
    {
        // Block comments are recognised only at the very start of a line and cover whole lines.
        if (!inComment && line[0] == '/' && line[1] == '*')
            inComment = true;
        else if (inComment && line[0] == '*' && line[1] == '/')
            inComment = false;
        else if (!inComment)
            ParseLine(line, newSeparator);
    }
    return true;
}
