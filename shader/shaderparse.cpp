// The shader script reader: turns every complete block of a script into a cShader record of
// the library. It is lenient and silent: whatever it does not understand is skipped.
#include "shader/scriptparser.h"

#include "platform/log.h"
#include "fs/memfile.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace
{
const int MAX_LINE = SCRIPT_MAX_LINE;

const char* const SCRIPT_KEYWORDS[KW_COUNT] = {
    "{",         "}",         "surfaceparm", "deformvertexes", "cull",          "tesssize", "sort",
    "fogparams", "skyparams", "nopicmip",    "nomipmaps",      "polygonoffset", "portal",   "light",
    "map",       "clampmap",  "animmap",     "rgbgen",         "alphagen",      "tcmod",    "blendfunc",
    "alphafunc", "tcgen",     "depthfunc",   "depthwrite",     "detail"};

// Other spellings that real scripts use for the same keywords.
const struct
{
    const char* word;
    int keyword;
} KEYWORD_SPELLINGS[] = {{"skyparms", KW_SKYPARAMS}, {"fogparms", KW_FOGPARAMS}};

} // namespace

int ScriptKeyword(const char* word) { return ScriptKeyword(word, strlen(word)); }

int ScriptKeyword(const char* word, size_t len)
{
    // Words of another first letter or length cannot match: most words of a script are names,
    // numbers and settings of other programs.
    struct sTables
    {
        size_t lengths[KW_COUNT] = {};
        bool firsts[256] = {};
    };
    // Made once, safely also when several threads read scripts.
    static const sTables tables = []
    {
        sTables t;
        for (int k = 0; k < KW_COUNT; k++)
        {
            t.lengths[k] = strlen(SCRIPT_KEYWORDS[k]);
            t.firsts[static_cast<unsigned char>(SCRIPT_KEYWORDS[k][0])] = true;
        }
        for (const auto& spelling : KEYWORD_SPELLINGS)
            t.firsts[static_cast<unsigned char>(spelling.word[0])] = true;
        for (int c = 'a'; c <= 'z'; c++)
            t.firsts[c - 'a' + 'A'] = t.firsts[c];
        return t;
    }();
    const size_t* lengths = tables.lengths;
    const bool* firsts = tables.firsts;
    if (len == 0 || !firsts[static_cast<unsigned char>(word[0])])
        return KW_COUNT;
    for (int k = 0; k < KW_COUNT; k++)
        if (lengths[k] == len && strncasecmp(word, SCRIPT_KEYWORDS[k], len) == 0)
            return k;
    for (const auto& spelling : KEYWORD_SPELLINGS)
        if (strlen(spelling.word) == len && strncasecmp(word, spelling.word, len) == 0)
            return spelling.keyword;
    return KW_COUNT;
}

bool ScriptWordEquals(const char* a, const char* b)
{
    for (;; a++, b++)
    {
        unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z')
            ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != cb)
            return false;
        if (!ca)
            return true;
    }
}

void cScriptParser::ProcessLine(char* line)
{
    while (*line == ' ' || *line == '\t')
        line++;
    if (!*line || (line[0] == '/' && line[1] == '/'))
        return;
    keyword = KW_NONE;
    char* save = nullptr;
    for (char* word = strtok_r(line, " \t", &save); word && !(stopAtStore && stored);
         word = strtok_r(nullptr, " \t", &save))
    {
        if (skipWords > 0)
            skipWords--;
        else
            Word(word);
    }
    if (keyword != KW_NONE)
        Apply();
    args.clear();
}

void cScriptParser::Word(const char* word)
{
    int k = ScriptKeyword(word);
    // The words after a colour or alpha source are its arguments, also those that are keywords
    // elsewhere ("alphaGen portal 256"); braces keep their meaning.
    if ((keyword == KW_RGBGEN || keyword == KW_ALPHAGEN) && k != KW_OPEN && k != KW_CLOSE)
        k = KW_COUNT;
    if (k == KW_COUNT)
    {
        // Outside every block a plain word names the next shader; inside it is an argument.
        if (depth == 0)
            shader.name = word;
        else
            args.emplace_back(word);
    }
    else if (k == KW_OPEN)
    {
        keyword = KW_NONE;
        depth++;
    }
    else if (k == KW_CLOSE)
    {
        keyword = KW_NONE;
        depth--;
        CloseBlock();
    }
    else
        keyword = k;
}

void cScriptParser::CloseBlock()
{
    if (depth == 0)
    {
        // The first definition of a name wins.
        if (mgr.Find(shader.name.c_str()) < 0)
            mgr.Store(shader);
        stored = true;
        shader.Reset();
        capReported = false;
    }
    else if (depth == 1)
    {
        if (shader.stages.size() < static_cast<size_t>(SHADER_MAX_STAGES))
            shader.stages.push_back(stage);
        else
            ReportCap("stages", SHADER_MAX_STAGES);
        stage.Reset();
    }
}

void cScriptParser::ReportCap(const char* what, int limit)
{
    if (!capReported)
        DebugLog("ShaderMgr:: %.64s : more than %d %s, the rest are dropped", shader.name.c_str(), limit,
                 what);
    capReported = true;
}

void ForEachScriptLine(const unsigned char* data, uint32_t size, uint32_t from,
                       const std::function<bool(char* text, uint32_t offset)>& line)
{
    char text[MAX_LINE + 1];
    uint32_t pos = from;
    bool atNul = false;
    while (pos < size && !atNul)
    {
        const unsigned char* start = data + pos;
        const unsigned char* end = start + std::min(size - pos, static_cast<uint32_t>(MAX_LINE));
        const unsigned char* p = start;
        // Most characters lie above the three that end a line: one comparison for them.
        while (p < end && (*p > 13 || (*p != 10 && *p != 13 && *p != 0)))
            p++;
        const uint32_t n = static_cast<uint32_t>(p - start);
        memcpy(text, data + pos, n);
        text[n] = 0;
        // The character that ended the line (or sits at a 1024-character cut) is consumed;
        // one more line end right after it belongs to the same break. A NUL ends the data.
        uint32_t next = pos + n;
        if (next < size)
        {
            atNul = data[next] == 0;
            next++;
            if (next < size && (data[next] == 10 || data[next] == 13))
                next++;
        }
        if (!line(text, pos))
            return;
        pos = next;
    }
}

bool ShaderMgr::ParseScript(memfile_t& file)
{
    Settle();
    return ParseText(file);
}

bool ShaderMgr::ParseText(memfile_t& file)
{
    if (!file.data || file.size == 0)
        return false;
    EnsureDefault();
    cScriptParser parser(*this);
    ForEachScriptLine(file.data, file.size, 0,
                      [&](char* text, uint32_t)
                      {
                          parser.ProcessLine(text);
                          return true;
                      });
    file.position = file.size;
    file.cursor = file.data + file.size;
    return true;
}
