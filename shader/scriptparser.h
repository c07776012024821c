// The reading state of one shader script, shared by the line reader and the keyword handlers.
#pragma once

#include "shader/shadermgr.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// Looked up in this order; the first case-insensitive match wins.
enum eKeyword
{
    KW_NONE = -1,
    KW_OPEN,
    KW_CLOSE,
    KW_SURFACEPARM,
    KW_DEFORMVERTEXES,
    KW_CULL,
    KW_TESSSIZE,
    KW_SORT,
    KW_FOGPARAMS,
    KW_SKYPARAMS,
    KW_NOPICMIP,
    KW_NOMIPMAPS,
    KW_POLYGONOFFSET,
    KW_PORTAL,
    KW_LIGHT,
    KW_MAP,
    KW_CLAMPMAP,
    KW_ANIMMAP,
    KW_RGBGEN,
    KW_ALPHAGEN,
    KW_TCMOD,
    KW_BLENDFUNC,
    KW_ALPHAFUNC,
    KW_TCGEN,
    KW_DEPTHFUNC,
    KW_DEPTHWRITE,
    KW_DETAIL,
    KW_COUNT
};

// Compares two words ignoring ASCII letter case.
bool ScriptWordEquals(const char* a, const char* b);

// A word of a script and the value it stands for.
struct sNamedValue
{
    const char* name;
    uint32_t value;
};

// Looks word up in a name table ignoring case; answers whether it was there.
template <size_t N> bool LookupScriptWord(const sNamedValue (&table)[N], const char* word, uint32_t& value)
{
    for (const sNamedValue& entry : table)
        if (ScriptWordEquals(word, entry.name))
        {
            value = entry.value;
            return true;
        }
    return false;
}

// A number argument; a word that is no number reads as 0.
inline float ScriptNumber(const std::string& word) { return static_cast<float>(atof(word.c_str())); }

// The keyword a word stands for, or KW_COUNT when it is none.
int ScriptKeyword(const char* word);
// The same for a word of len characters that need not end in a NUL.
int ScriptKeyword(const char* word, size_t len);

// Longest line the parser reads whole; longer ones are cut into lines of this length.
const int SCRIPT_MAX_LINE = 1024;

// Zero bytes an indexed script keeps after its end: the scan reads eight bytes at a time.
const size_t SCRIPT_SCAN_PADDING = 8;

// Calls line(text, offset) for each line of a script from the line starting at offset from,
// as the parser splits them: at most 1024 characters, ended by a line feed, a carriage return
// (one more of either right after belongs to the same break) or a NUL, which ends the data.
// Stops early when line answers false.
void ForEachScriptLine(const unsigned char* data, uint32_t size, uint32_t from,
                       const std::function<bool(char* text, uint32_t offset)>& line);

// The state of one parse: brace depth, the shader and stage being assembled, and the keyword
// and arguments of the current line.
class cScriptParser
{
  public:
    explicit cScriptParser(ShaderMgr& library) : mgr(library) {}
    void ProcessLine(char* line);

    // For parsing one block of a script: the words of the first line that belong to blocks
    // before it, and whether to stop once a shader has been completed.
    int skipWords = 0;
    bool stopAtStore = false;
    bool stored = false;

  private:
    void Word(const char* word);
    // Applies the current line; false when no step knows its keyword. Each step takes one group
    // of keywords and answers whether the line's keyword was one of its own.
    bool Apply();
    bool ApplyShaderKeyword();
    bool ApplyStageMap();
    bool ApplyColorAndAlpha();
    bool ApplyBlendAndAlphaTest();
    bool ApplyTexCoords();
    bool ApplyDepth();
    // The lines with arguments worth a function of their own.
    void ApplyDeform();
    void ApplyRgbGen();
    void ApplyAlphaGen();
    void ApplyBlend();
    void ApplyAlphaFunc();
    void ApplyTcMod();
    sWave ReadWave(size_t first) const;
    void CloseBlock();
    void ReportCap(const char* what, int limit);
    bool Is(size_t arg, const char* value) const { return ScriptWordEquals(args[arg - 1].c_str(), value); }

    ShaderMgr& mgr;
    int depth = 0;
    cShader shader;
    cShaderStage stage;
    int keyword = KW_NONE;
    std::vector<std::string> args;
    bool capReported = false; // one message per shader for dropped surplus
};
