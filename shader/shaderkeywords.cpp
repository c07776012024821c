// The keyword handlers of the shader script reader: each applies one line's keyword and
// arguments to the shader or stage being assembled.
#include "shader/scriptparser.h"

#include "platform/log.h"

#include <algorithm>
#include <cstdlib>

namespace
{
struct sNamedValue
{
    const char* name;
    uint32_t value;
};

const sNamedValue SURFACE_PARMS[] = {
    {"trans", SURF_TRANS},       {"water", SURF_WATER},           {"slime", SURF_SLIME},
    {"nodraw", SURF_NODRAW},     {"nolightmap", SURF_NOLIGHTMAP}, {"nomarks", SURF_NOMARKS},
    {"nodlight", SURF_NODLIGHT}, {"playerclip", SURF_PLAYERCLIP}, {"monsterclip", SURF_MONSTERCLIP}};

const sNamedValue SORTS[] = {
    {"portal", 1},     {"1", 1}, {"sky", 2},      {"2", 2}, {"opaque", 3},   {"3", 3},
    {"decal", 4},      {"4", 4}, {"banner", 6},   {"6", 6}, {"trans", 7},    {"7", 7},
    {"underwater", 8}, {"8", 8}, {"additive", 9}, {"9", 9}, {"nearest", 16}, {"16", 16}};

const sNamedValue WAVES[] = {{"sin", WAVE_SIN},
                             {"triangle", WAVE_TRIANGLE},
                             {"square", WAVE_SQUARE},
                             {"sawtooth", WAVE_SAWTOOTH},
                             {"inversesawtooth", WAVE_INVERSESAWTOOTH},
                             {"noise", WAVE_NOISE}};

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

// Looks word up in a name table; answers whether it was there.
template <size_t N> bool Lookup(const sNamedValue (&table)[N], const char* word, uint32_t& value)
{
    for (const sNamedValue& entry : table)
        if (ScriptWordEquals(word, entry.name))
        {
            value = entry.value;
            return true;
        }
    return false;
}

int32_t WaveFunc(const char* word)
{
    uint32_t v = WAVE_NONE;
    Lookup(WAVES, word, v);
    return static_cast<int32_t>(v);
}

float Number(const std::string& word) { return static_cast<float>(atof(word.c_str())); }

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

sWave cScriptParser::ReadWave(size_t first) const
{
    sWave w;
    w.func = WaveFunc(args[first - 1].c_str());
    w.base = Number(args[first]);
    w.amplitude = Number(args[first + 1]);
    w.phase = Number(args[first + 2]);
    w.frequency = Number(args[first + 3]);
    return w;
}

void cScriptParser::Apply()
{
    const size_t n = args.size();
    uint32_t v = 0;
    switch (keyword)
    {
    case KW_SURFACEPARM:
        if (n >= 1 && Lookup(SURFACE_PARMS, args[0].c_str(), v))
            shader.flags |= v;
        break;
    case KW_DEFORMVERTEXES:
        if (n >= 1)
            ApplyDeform();
        break;
    case KW_CULL:
        if (n < 1)
            break;
        if (Is(1, "disable") || Is(1, "none") || Is(1, "twosided"))
            shader.flags |= SHADER_CULL_NONE;
        else if (Is(1, "front"))
            shader.flags |= SHADER_CULL_FRONT;
        else if (Is(1, "back"))
            shader.flags |= SHADER_CULL_BACK;
        break;
    case KW_SORT:
        if (n >= 1 && Lookup(SORTS, args[0].c_str(), v))
            shader.sort = static_cast<uint8_t>(v);
        break;
    case KW_SKYPARAMS:
        shader.flags |= SHADER_SKY;
        break;
    case KW_NOPICMIP:
        shader.flags |= SHADER_NOPICMIP;
        break;
    case KW_NOMIPMAPS:
        shader.flags |= SHADER_NOMIPMAPS;
        break;
    case KW_POLYGONOFFSET:
        shader.flags |= SHADER_POLYGONOFFSET;
        break;
    case KW_PORTAL:
        shader.flags |= SHADER_PORTAL;
        break;
    case KW_MAP:
        if (n < 1)
            break;
        stage.map = args[0];
        if (Is(1, "$lightmap"))
        {
            shader.flags |= SHADER_LIGHTMAP;
            stage.flags |= STAGE_LIGHTMAP;
        }
        else if (args[0][0] == '$')
        {
            shader.flags |= SHADER_SPECIALMAP;
            stage.flags |= STAGE_SPECIALMAP;
        }
        break;
    case KW_CLAMPMAP:
        if (n < 1)
            break;
        stage.map = args[0];
        stage.flags |= STAGE_CLAMP;
        break;
    case KW_ANIMMAP:
        if (n < 1)
            break;
        stage.map = "$animmap";
        stage.flags |= STAGE_ANIMMAP;
        stage.anim.frequency = atof(args[0].c_str());
        stage.anim.textures.assign(n - 1, 0);
        stage.anim.names.assign(args.begin() + 1, args.end());
        break;
    case KW_RGBGEN:
        if (n >= 1)
            ApplyColor(false);
        break;
    case KW_ALPHAGEN:
        if (n >= 1)
            ApplyColor(true);
        break;
    case KW_TCMOD:
        if (n >= 2)
            ApplyTcMod();
        break;
    case KW_BLENDFUNC:
        if (n >= 1)
            ApplyBlend();
        break;
    case KW_ALPHAFUNC:
        if (n < 1)
            break;
        if (Is(1, "gt0"))
            stage.alphaFunc = 0x204, stage.alphaRef = 0.0f;
        else if (Is(1, "lt128"))
            stage.alphaFunc = 0x201, stage.alphaRef = 0.5f;
        else if (Is(1, "ge128"))
            stage.alphaFunc = 0x206, stage.alphaRef = 0.5f;
        else
            stage.alphaFunc = UNKNOWN_ENUM, stage.alphaRef = 0.0f;
        stage.flags |= STAGE_ALPHATEST | STAGE_NODEPTHWRITE;
        break;
    case KW_TCGEN:
        if (n < 1)
            break;
        if (Is(1, "environment"))
        {
            stage.tcGen = TCGEN_ENVIRONMENT;
            stage.flags |= STAGE_TCGEN;
            shader.flags |= SHADER_ENVIRONMENT;
        }
        else if (Is(1, "lightmap"))
        {
            stage.tcGen = TCGEN_LIGHTMAP;
            stage.flags |= STAGE_TCGEN;
        }
        break;
    case KW_DEPTHFUNC:
        if (n < 1)
            break;
        if (Is(1, "equal"))
            stage.depthFunc = 0x202;
        else if (Is(1, "lequal"))
            stage.depthFunc = 0x203;
        stage.flags = (stage.flags | STAGE_DEPTHFUNC) & ~STAGE_NODEPTHWRITE;
        break;
    case KW_DEPTHWRITE:
        stage.flags &= ~STAGE_NODEPTHWRITE;
        break;
    case KW_DETAIL:
        stage.flags |= STAGE_DETAIL;
        break;
    default: // tesssize, fogparams, light: accepted and ignored
        break;
    }
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
        d.params[0] = Number(args[1]);
        d.wave = ReadWave(3);
    }
    else if (Is(1, "move") && n >= 9)
    {
        d.type = DEFORM_MOVE;
        for (int k = 0; k < 3; k++)
            d.params[k] = Number(args[1 + k]);
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
        d.params[0] = Number(args[1]);
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

void cScriptParser::ApplyColor(bool alpha)
{
    const size_t n = args.size();
    uint32_t v = 0;
    if (!alpha)
    {
        if (Is(1, "identity"))
        {
            stage.rgbGen = RGBGEN_IDENTITY;
            return;
        }
        shader.flags |= SHADER_COLORS;
        if (Lookup(RGB_GENS, args[0].c_str(), v))
            stage.rgbGen = static_cast<int32_t>(v);
        else if (Is(1, "wave") && n >= 6)
        {
            stage.rgbGen = RGBGEN_WAVE;
            stage.rgbWave = ReadWave(2);
        }
        else if (Is(1, "const") && ReadNumbers(args, 1, 3, stage.constColor))
            stage.rgbGen = RGBGEN_CONST;
        return;
    }
    shader.flags |= SHADER_COLORS;
    if (Lookup(ALPHA_GENS, args[0].c_str(), v))
        stage.alphaGen = static_cast<int32_t>(v);
    else if (Is(1, "wave") && n >= 6)
    {
        stage.alphaGen = ALPHAGEN_WAVE;
        stage.alphaWave = ReadWave(2);
    }
    else if (Is(1, "const") && ReadNumbers(args, 1, 1, stage.constColor + 3))
        stage.alphaGen = ALPHAGEN_CONST;
}

void cScriptParser::ApplyBlend()
{
    uint32_t v = 0;
    if (args.size() >= 2)
    {
        stage.blendSrc = Lookup(BLEND_FACTORS, args[0].c_str(), v) ? static_cast<uint16_t>(v) : UNKNOWN_ENUM;
        stage.blendDst = Lookup(BLEND_FACTORS, args[1].c_str(), v) ? static_cast<uint16_t>(v) : UNKNOWN_ENUM;
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

void cScriptParser::ApplyTcMod()
{
    uint32_t type = 0;
    if (!Lookup(TCMODS, args[0].c_str(), type))
        return;
    sTcMod mod;
    mod.type = static_cast<int32_t>(type);
    // Further numbers than the record holds are dropped.
    for (size_t k = 0; k < 6 && k + 1 < args.size(); k++)
        mod.params[k] = Number(args[k + 1]);
    stage.flags |= STAGE_TCMOD;
    shader.flags |= SHADER_TCMOD;
    if (stage.tcMods.size() < static_cast<size_t>(SHADER_MAX_TCMODS))
        stage.tcMods.push_back(mod);
    else
        ReportCap("tcmods in a stage", SHADER_MAX_TCMODS);
}
