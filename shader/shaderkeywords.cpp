// The keyword handlers of the shader script reader: which step applies a line, and the
// keywords that concern the whole shader (surface kinds, deformations, culling, sort, flags).
#include "shader/scriptparser.h"

#include "platform/log.h"

namespace
{
const sNamedValue SURFACE_PARMS[] = {
    {"trans", SURF_TRANS},       {"water", SURF_WATER},           {"slime", SURF_SLIME},
    {"nodraw", SURF_NODRAW},     {"nolightmap", SURF_NOLIGHTMAP}, {"nomarks", SURF_NOMARKS},
    {"nodlight", SURF_NODLIGHT}, {"playerclip", SURF_PLAYERCLIP}, {"monsterclip", SURF_MONSTERCLIP}};

const sNamedValue SORTS[] = {
    {"portal", 1},     {"1", 1}, {"sky", 2},      {"2", 2}, {"opaque", 3},   {"3", 3},
    {"decal", 4},      {"4", 4}, {"banner", 6},   {"6", 6}, {"trans", 7},    {"7", 7},
    {"underwater", 8}, {"8", 8}, {"additive", 9}, {"9", 9}, {"nearest", 16}, {"16", 16}};

const sNamedValue CULLS[] = {{"disable", SHADER_CULL_NONE},
                             {"none", SHADER_CULL_NONE},
                             {"twosided", SHADER_CULL_NONE},
                             {"front", SHADER_CULL_FRONT},
                             {"back", SHADER_CULL_BACK}};

const sNamedValue WAVES[] = {{"sin", WAVE_SIN},
                             {"triangle", WAVE_TRIANGLE},
                             {"square", WAVE_SQUARE},
                             {"sawtooth", WAVE_SAWTOOTH},
                             {"inversesawtooth", WAVE_INVERSESAWTOOTH},
                             {"noise", WAVE_NOISE}};

// Keywords without arguments that only mark the shader.
const struct
{
    int keyword;
    uint32_t flag;
} FLAG_KEYWORDS[] = {{KW_SKYPARAMS, SHADER_SKY},
                     {KW_NOPICMIP, SHADER_NOPICMIP},
                     {KW_NOMIPMAPS, SHADER_NOMIPMAPS},
                     {KW_POLYGONOFFSET, SHADER_POLYGONOFFSET},
                     {KW_PORTAL, SHADER_PORTAL}};
} // namespace

bool cScriptParser::Apply()
{
    // tesssize, fogparams and light belong to no step: accepted and ignored.
    return ApplyShaderKeyword() || ApplyStageMap() || ApplyColorAndAlpha() || ApplyBlendAndAlphaTest() ||
           ApplyTexCoords() || ApplyDepth();
}

bool cScriptParser::ApplyShaderKeyword()
{
    for (const auto& k : FLAG_KEYWORDS)
        if (keyword == k.keyword)
        {
            shader.flags |= k.flag;
            return true;
        }
    const bool hasArgs = !args.empty();
    uint32_t v = 0;
    switch (keyword)
    {
    case KW_SURFACEPARM:
        if (hasArgs && LookupScriptWord(SURFACE_PARMS, args[0].c_str(), v))
            shader.flags |= v;
        return true;
    case KW_CULL:
        if (hasArgs && LookupScriptWord(CULLS, args[0].c_str(), v))
            shader.flags |= v;
        return true;
    case KW_SORT:
        if (hasArgs && LookupScriptWord(SORTS, args[0].c_str(), v))
            shader.sort = static_cast<uint8_t>(v);
        return true;
    case KW_DEFORMVERTEXES:
        if (hasArgs)
            ApplyDeform();
        return true;
    default:
        return false;
    }
}

sWave cScriptParser::ReadWave(size_t first) const
{
    sWave w;
    uint32_t func = WAVE_NONE;
    LookupScriptWord(WAVES, args[first - 1].c_str(), func);
    w.func = static_cast<int32_t>(func);
    w.base = ScriptNumber(args[first]);
    w.amplitude = ScriptNumber(args[first + 1]);
    w.phase = ScriptNumber(args[first + 2]);
    w.frequency = ScriptNumber(args[first + 3]);
    return w;
}

void cScriptParser::ApplyDeform()
{
    const size_t n = args.size();
    sDeform d;
    if (Is(1, "autosprite"))
    {
        shader.flags |= SHADER_AUTOSPRITE | SHADER_DEFORM;
        return;
    }
    if (Is(1, "autosprite2"))
    {
        shader.flags |= SHADER_AUTOSPRITE2 | SHADER_DEFORM;
        return;
    }
    if (Is(1, "wave") && n >= 7)
    {
        d.type = DEFORM_WAVE;
        d.params[0] = ScriptNumber(args[1]);
        d.wave = ReadWave(3);
    }
    else if (Is(1, "move") && n >= 9)
    {
        d.type = DEFORM_MOVE;
        for (int k = 0; k < 3; k++)
            d.params[k] = ScriptNumber(args[1 + k]);
        d.wave = ReadWave(5);
    }
    else if (Is(1, "bulge") && n >= 4)
    {
        // Accepted, but the bulge itself is not drawn.
        shader.flags |= SHADER_DEFORM;
        return;
    }
    else if (Is(1, "normal") && n >= 7)
    {
        d.type = DEFORM_NORMAL;
        d.params[0] = ScriptNumber(args[1]);
        d.wave = ReadWave(3);
    }
    else
        return;
    shader.flags |= SHADER_DEFORM;
    if (shader.deforms.size() < static_cast<size_t>(SHADER_MAX_DEFORMS))
        shader.deforms.push_back(d);
    else
        ReportCap("deformations", SHADER_MAX_DEFORMS);
}
