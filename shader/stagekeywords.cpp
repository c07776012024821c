// The keyword handlers of one stage: its map, colour and alpha, blending and alpha test,
// texture coordinates and depth.
#include "shader/scriptparser.h"

#include <algorithm>

namespace
{
const sNamedValue BLEND_FACTORS[] = {{"gl_one", 1},
                                     {"gl_zero", 0},
                                     {"gl_dst_color", 0x306},
                                     {"gl_src_color", 0x300},
                                     {"gl_dst_alpha", 0x304},
                                     {"gl_src_alpha", 0x302},
                                     {"gl_one_minus_dst_alpha", 0x305},
                                     {"gl_one_minus_src_alpha", 0x303},
                                     {"gl_one_minus_src_color", 0x301},
                                     {"gl_one_minus_dst_color", 0x307}};

// Colour and alpha sources by name; real scripts spell "lighting" where older ones say
// "lightning".
const sNamedValue RGB_GENS[] = {{"identitylightning", RGBGEN_IDENTITYLIGHTNING},
                                {"identitylighting", RGBGEN_IDENTITYLIGHTNING},
                                {"lightningdiffuse", RGBGEN_LIGHTNINGDIFFUSE},
                                {"lightingdiffuse", RGBGEN_LIGHTNINGDIFFUSE},
                                {"vertex", RGBGEN_VERTEX},
                                {"oneminusvertex", RGBGEN_ONEMINUSVERTEX},
                                {"entity", RGBGEN_ENTITY},
                                {"oneminusentity", RGBGEN_ONEMINUSENTITY}};

const sNamedValue ALPHA_GENS[] = {{"lightningspecular", ALPHAGEN_LIGHTNINGSPECULAR},
                                  {"lightingspecular", ALPHAGEN_LIGHTNINGSPECULAR},
                                  {"vertex", ALPHAGEN_VERTEX},
                                  {"entity", ALPHAGEN_ENTITY},
                                  {"oneminusentity", ALPHAGEN_ONEMINUSENTITY},
                                  {"portal", ALPHAGEN_PORTAL}};

const sNamedValue TCMODS[] = {{"rotate", TCMOD_ROTATE},       {"scale", TCMOD_SCALE},
                              {"scroll", TCMOD_SCROLL},       {"stretch", TCMOD_STRETCH},
                              {"transform", TCMOD_TRANSFORM}, {"turb", TCMOD_TURB}};

const uint16_t GL_ONE_ = 1, GL_ZERO_ = 0, GL_DST_COLOR_ = 0x306, GL_SRC_ALPHA_ = 0x302,
               GL_ONE_MINUS_SRC_ALPHA_ = 0x303;
const uint16_t UNKNOWN_ENUM = 0xFFFF;

// Reads count numbers from the words from first on, with parentheses around them or touching
// them ("( 1 0.5 0 )", "(1 0.5 0)"); false when fewer numbers are there.
bool ReadNumbers(const std::vector<std::string>& words, size_t first, int count, float* out)
{
    std::string text;
    for (size_t k = first; k < words.size(); k++)
        text += words[k] + " ";
    for (char& c : text)
        if (c == '(' || c == ')')
            c = ' ';
    const char* p = text.c_str();
    float values[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int k = 0; k < count && k < 4; k++)
    {
        char* end = nullptr;
        values[k] = strtof(p, &end);
        if (end == p)
            return false;
        p = end;
    }
    std::copy(values, values + count, out);
    return true;
}
} // namespace

bool cScriptParser::ApplyStageMap()
{
    if (keyword == KW_DETAIL)
    {
        stage.flags |= STAGE_DETAIL;
        return true;
    }
    if (keyword != KW_MAP && keyword != KW_CLAMPMAP && keyword != KW_ANIMMAP)
        return false;
    if (args.empty())
        return true;
    if (keyword == KW_ANIMMAP)
    {
        // The frame rate, then one image name per frame.
        stage.map = "$animmap";
        stage.flags |= STAGE_ANIMMAP;
        stage.anim.frequency = atof(args[0].c_str());
        stage.anim.textures.assign(args.size() - 1, 0);
        stage.anim.names.assign(args.begin() + 1, args.end());
        return true;
    }
    stage.map = args[0];
    if (keyword == KW_CLAMPMAP)
        stage.flags |= STAGE_CLAMP;
    else if (Is(1, "$lightmap"))
    {
        shader.flags |= SHADER_LIGHTMAP;
        stage.flags |= STAGE_LIGHTMAP;
    }
    else if (args[0][0] == '$')
    {
        shader.flags |= SHADER_SPECIALMAP;
        stage.flags |= STAGE_SPECIALMAP;
    }
    return true;
}

bool cScriptParser::ApplyColorAndAlpha()
{
    if (keyword != KW_RGBGEN && keyword != KW_ALPHAGEN)
        return false;
    if (args.empty())
        return true;
    if (keyword == KW_RGBGEN)
        ApplyRgbGen();
    else
        ApplyAlphaGen();
    return true;
}

void cScriptParser::ApplyRgbGen()
{
    if (Is(1, "identity"))
    {
        stage.rgbGen = RGBGEN_IDENTITY;
        return;
    }
    shader.flags |= SHADER_COLORS;
    uint32_t v = 0;
    if (LookupScriptWord(RGB_GENS, args[0].c_str(), v))
        stage.rgbGen = static_cast<int32_t>(v);
    else if (Is(1, "wave") && args.size() >= 6)
    {
        stage.rgbGen = RGBGEN_WAVE;
        stage.rgbWave = ReadWave(2);
    }
    else if (Is(1, "const") && ReadNumbers(args, 1, 3, stage.constColor))
        stage.rgbGen = RGBGEN_CONST;
}

void cScriptParser::ApplyAlphaGen()
{
    shader.flags |= SHADER_COLORS;
    uint32_t v = 0;
    if (LookupScriptWord(ALPHA_GENS, args[0].c_str(), v))
        stage.alphaGen = static_cast<int32_t>(v);
    else if (Is(1, "wave") && args.size() >= 6)
    {
        stage.alphaGen = ALPHAGEN_WAVE;
        stage.alphaWave = ReadWave(2);
    }
    else if (Is(1, "const") && ReadNumbers(args, 1, 1, stage.constColor + 3))
        stage.alphaGen = ALPHAGEN_CONST;
}

bool cScriptParser::ApplyBlendAndAlphaTest()
{
    if (keyword != KW_BLENDFUNC && keyword != KW_ALPHAFUNC)
        return false;
    if (args.empty())
        return true;
    if (keyword == KW_BLENDFUNC)
        ApplyBlend();
    else
        ApplyAlphaFunc();
    return true;
}

void cScriptParser::ApplyBlend()
{
    uint32_t v = 0;
    if (args.size() >= 2)
    {
        stage.blendSrc =
            LookupScriptWord(BLEND_FACTORS, args[0].c_str(), v) ? static_cast<uint16_t>(v) : UNKNOWN_ENUM;
        stage.blendDst =
            LookupScriptWord(BLEND_FACTORS, args[1].c_str(), v) ? static_cast<uint16_t>(v) : UNKNOWN_ENUM;
    }
    else if (Is(1, "add"))
        stage.blendSrc = GL_ONE_, stage.blendDst = GL_ONE_;
    else if (Is(1, "filter"))
        stage.blendSrc = GL_DST_COLOR_, stage.blendDst = GL_ZERO_;
    else if (Is(1, "blend"))
        stage.blendSrc = GL_SRC_ALPHA_, stage.blendDst = GL_ONE_MINUS_SRC_ALPHA_;
    stage.flags |= STAGE_BLEND | STAGE_NODEPTHWRITE;
    // One-zero is no blending at all, and it leaves depth writes on.
    if (stage.blendSrc == GL_ONE_ && stage.blendDst == GL_ZERO_)
        stage.flags &= ~(STAGE_BLEND | STAGE_NODEPTHWRITE);
}

void cScriptParser::ApplyAlphaFunc()
{
    if (Is(1, "gt0"))
        stage.alphaFunc = 0x204, stage.alphaRef = 0.0f; // GL_GREATER
    else if (Is(1, "lt128"))
        stage.alphaFunc = 0x201, stage.alphaRef = 0.5f; // GL_LESS
    else if (Is(1, "ge128"))
        stage.alphaFunc = 0x206, stage.alphaRef = 0.5f; // GL_GEQUAL
    else
        stage.alphaFunc = UNKNOWN_ENUM, stage.alphaRef = 0.0f;
    stage.flags |= STAGE_ALPHATEST | STAGE_NODEPTHWRITE;
}

bool cScriptParser::ApplyTexCoords()
{
    if (keyword == KW_TCMOD)
    {
        if (args.size() >= 2)
            ApplyTcMod();
        return true;
    }
    if (keyword != KW_TCGEN)
        return false;
    if (!args.empty() && Is(1, "environment"))
    {
        stage.tcGen = TCGEN_ENVIRONMENT;
        stage.flags |= STAGE_TCGEN;
        shader.flags |= SHADER_ENVIRONMENT;
    }
    else if (!args.empty() && Is(1, "lightmap"))
    {
        stage.tcGen = TCGEN_LIGHTMAP;
        stage.flags |= STAGE_TCGEN;
    }
    return true;
}

void cScriptParser::ApplyTcMod()
{
    uint32_t type = 0;
    if (!LookupScriptWord(TCMODS, args[0].c_str(), type))
        return;
    sTcMod mod;
    mod.type = static_cast<int32_t>(type);
    // Further numbers than the record holds are dropped.
    for (size_t k = 0; k < 6 && k + 1 < args.size(); k++)
        mod.params[k] = ScriptNumber(args[k + 1]);
    stage.flags |= STAGE_TCMOD;
    shader.flags |= SHADER_TCMOD;
    if (stage.tcMods.size() < static_cast<size_t>(SHADER_MAX_TCMODS))
        stage.tcMods.push_back(mod);
    else
        ReportCap("tcmods in a stage", SHADER_MAX_TCMODS);
}

bool cScriptParser::ApplyDepth()
{
    if (keyword == KW_DEPTHWRITE)
    {
        stage.flags &= ~STAGE_NODEPTHWRITE;
        return true;
    }
    if (keyword != KW_DEPTHFUNC)
        return false;
    if (args.empty())
        return true;
    if (Is(1, "equal"))
        stage.depthFunc = 0x202; // GL_EQUAL
    else if (Is(1, "lequal"))
        stage.depthFunc = 0x203; // GL_LEQUAL
    // An explicit depth function keeps depth writes on.
    stage.flags = (stage.flags | STAGE_DEPTHFUNC) & ~STAGE_NODEPTHWRITE;
    return true;
}
