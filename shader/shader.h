// The shader records: one cShader per named surface description, with its drawing passes
// (cShaderStage), waveforms, vertex deformations and texture-coordinate modifiers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Shader flags (cShader::flags).
const uint32_t SHADER_CULL_NONE = 0x1;
const uint32_t SHADER_CULL_BACK = 0x2;
const uint32_t SHADER_CULL_FRONT = 0x4;
const uint32_t SHADER_NOMIPMAPS = 0x8;
const uint32_t SHADER_NOPICMIP = 0x10;
const uint32_t SHADER_POLYGONOFFSET = 0x20;
const uint32_t SHADER_DEFORM = 0x40;
const uint32_t SHADER_ENVIRONMENT = 0x80;
const uint32_t SHADER_LIGHTMAP = 0x100;
const uint32_t SHADER_SPECIALMAP = 0x200;
const uint32_t SHADER_COLORS = 0x400;
const uint32_t SHADER_TCMOD = 0x800;
const uint32_t SHADER_SKY = 0x1000;
const uint32_t SHADER_PORTAL = 0x2000;
const uint32_t SHADER_AUTOSPRITE = 0x4000;
const uint32_t SHADER_AUTOSPRITE2 = 0x8000;
const uint32_t SURF_TRANS = 0x10000;
const uint32_t SURF_WATER = 0x20000;
const uint32_t SURF_SLIME = 0x40000;
const uint32_t SURF_NODRAW = 0x80000;
const uint32_t SURF_NOLIGHTMAP = 0x100000;
const uint32_t SURF_NOMARKS = 0x200000;
const uint32_t SURF_NODLIGHT = 0x400000;
const uint32_t SURF_PLAYERCLIP = 0x800000;
const uint32_t SURF_MONSTERCLIP = 0x1000000;
const uint32_t SHADER_LOADED = 0x80000000u;

// Stage flags (cShaderStage::flags).
const uint32_t STAGE_BLEND = 0x2;
const uint32_t STAGE_ALPHATEST = 0x4;
const uint32_t STAGE_TCGEN = 0x8;
const uint32_t STAGE_TCMOD = 0x10;
const uint32_t STAGE_DEPTHFUNC = 0x20;
const uint32_t STAGE_NODEPTHWRITE = 0x40;
const uint32_t STAGE_CLAMP = 0x80;
const uint32_t STAGE_ANIMMAP = 0x100;
const uint32_t STAGE_DETAIL = 0x200;
const uint32_t STAGE_LIGHTMAP = 0x400;
const uint32_t STAGE_SPECIALMAP = 0x800;

// Waveforms (sWave::func).
const int32_t WAVE_NONE = 0;
const int32_t WAVE_SIN = 1;
const int32_t WAVE_TRIANGLE = 2;
const int32_t WAVE_SQUARE = 3;
const int32_t WAVE_SAWTOOTH = 4;
const int32_t WAVE_INVERSESAWTOOTH = 5;
const int32_t WAVE_NOISE = 6; // smooth pseudo-random values in [-1, 1], scaled like the others

// Vertex deformations (sDeform::type).
const uint8_t DEFORM_WAVE = 0;
const uint8_t DEFORM_NORMAL = 1;
const uint8_t DEFORM_MOVE = 3;

// Texture-coordinate modifiers (sTcMod::type).
const int32_t TCMOD_ROTATE = 1;
const int32_t TCMOD_SCALE = 2;
const int32_t TCMOD_SCROLL = 3;
const int32_t TCMOD_STRETCH = 4;
const int32_t TCMOD_TRANSFORM = 5;
const int32_t TCMOD_TURB = 6;

// Colour sources (cShaderStage::rgbGen).
const int32_t RGBGEN_IDENTITY = 0;
const int32_t RGBGEN_IDENTITYLIGHTNING = 1;
const int32_t RGBGEN_WAVE = 2;
const int32_t RGBGEN_VERTEX = 3;
const int32_t RGBGEN_ONEMINUSVERTEX = 4;
const int32_t RGBGEN_ENTITY = 5;
const int32_t RGBGEN_ONEMINUSENTITY = 6;
const int32_t RGBGEN_LIGHTNINGDIFFUSE = 7;
const int32_t RGBGEN_CONST = 8; // cShaderStage::constColor

// Alpha sources (cShaderStage::alphaGen).
const int32_t ALPHAGEN_NONE = 0;
const int32_t ALPHAGEN_LIGHTNINGSPECULAR = 4;
const int32_t ALPHAGEN_WAVE = 5;
const int32_t ALPHAGEN_CONST = 6; // cShaderStage::constColor[3]
const int32_t ALPHAGEN_VERTEX = 7;
const int32_t ALPHAGEN_ENTITY = 8;
const int32_t ALPHAGEN_ONEMINUSENTITY = 9;
const int32_t ALPHAGEN_PORTAL = 10; // fades with the distance to a portal; drawn opaque here

// Texture-coordinate sources (cShaderStage::tcGen).
const int32_t TCGEN_BASE = 0;
const int32_t TCGEN_ENVIRONMENT = 1;
const int32_t TCGEN_LIGHTMAP = 2;

// Placeholder texture handles of "$" stages; no image stands behind them.
const uint32_t SHADER_SPECIALMAP_HANDLE = 65001;
const uint32_t SHADER_LIGHTMAP_HANDLE = 65002;

// Caps on what one script may pile into a single record; real scripts use a handful.
const int SHADER_MAX_STAGES = 32;
const int SHADER_MAX_DEFORMS = 16;
const int SHADER_MAX_TCMODS = 16;

// A periodic function of time.
struct sWave
{
    int32_t func = WAVE_NONE;
    float base = 0.0f;
    float amplitude = 0.0f;
    float phase = 0.0f;
    float frequency = 0.0f;
};

// One deformvertexes line. params[0] is the spread for wave and normal, params[0..2] the
// vector for move.
struct sDeform
{
    uint8_t type = DEFORM_WAVE;
    sWave wave;
    float params[3] = {0.0f, 0.0f, 0.0f};
};

// One tcmod line: the numbers after the type word, in order; unfilled positions stay 0.
struct sTcMod
{
    int32_t type = 0;
    float params[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};

// The frames of an animmap stage.
struct sAnimMap
{
    double frequency = 0.0;         // frames per second
    std::vector<uint32_t> textures; // one handle per frame, filled when the shader loads
    std::vector<std::string> names; // one image name per frame, emptied once loaded
};

// One drawing pass of a shader.
class cShaderStage
{
  public:
    // Back to the defaults of a fresh stage; the waves and the animation rate are kept,
    // since they are only read together with the flag or generator that sets them anew.
    void Reset();

    std::string map;      // texture name as written, "$animmap" for animmap stages
    uint32_t texture = 0; // texture handle once the shader is loaded
    uint32_t flags = 0;
    uint16_t blendSrc = 1;      // GL_ONE
    uint16_t blendDst = 0;      // GL_ZERO
    uint16_t depthFunc = 0x203; // GL_LEQUAL
    uint16_t alphaFunc = 0x207; // GL_ALWAYS
    float alphaRef = 1.0f;
    int32_t rgbGen = RGBGEN_IDENTITY;
    sWave rgbWave;
    int32_t alphaGen = ALPHAGEN_NONE;
    sWave alphaWave;
    float constColor[4] = {1.0f, 1.0f, 1.0f, 1.0f}; // rgbGen const (red, green, blue), alphaGen const
    int32_t tcGen = TCGEN_BASE;
    std::vector<sTcMod> tcMods;
    sAnimMap anim;
};

// One named shader.
class cShader
{
  public:
    // Back to an empty, unnamed shader with the default sort.
    void Reset();

    std::string name;
    uint32_t flags = 0;
    uint8_t sort = 3;
    std::vector<cShaderStage> stages;
    std::vector<sDeform> deforms;
    // Made by the library itself ("$default" and shaders made from a plain image), not by a
    // script; the game look lights these like lightingDiffuse stages.
    bool implicit = false;
};

// Value of a waveform at time t seconds.
float EvalWave(const sWave& wave, double t);

// A smooth pseudo-random function with values in [-1, 1]: the same x always gives the same value,
// and nearby x give nearby values (random values at whole numbers, smoothly joined).
float WaveNoise(double x);
