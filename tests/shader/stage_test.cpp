// Stage logic without a GL context: waveforms, texture matrices, animation frames, state choice.
#include "shader/stagestate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace
{
sTcMod Mod(int type, std::initializer_list<float> params)
{
    sTcMod m;
    m.type = type;
    int k = 0;
    for (float p : params)
        m.params[k++] = p;
    return m;
}

void ExpectMaps(const std::vector<sTcMod>& mods, double t, double t2, double s0, double t0, double s1,
                double t1)
{
    double m[16]; // column-major
    TcModMatrix(mods, t, t2, m);
    EXPECT_NEAR(m[0] * s0 + m[4] * t0 + m[12], s1, 1e-5) << "s of (" << s0 << ", " << t0 << ")";
    EXPECT_NEAR(m[1] * s0 + m[5] * t0 + m[13], t1, 1e-5) << "t of (" << s0 << ", " << t0 << ")";
}
} // namespace

TEST(StageLogic, Waveforms)
{
    struct sCase
    {
        sWave wave;
        double t, value;
    };
    const sCase cases[] = {
        {{WAVE_SIN, 0.5f, 0.5f, 0, 1}, 0.25, 1.0},
        {{WAVE_SIN, 0.5f, 0.5f, 0, 1}, 10.75, 0.0},
        {{WAVE_SQUARE, 0, 1, 0, 2}, 0.1, 1.0},
        {{WAVE_SQUARE, 0, 1, 0, 2}, 0.3, -1.0},
        {{WAVE_TRIANGLE, 0, 1, 0, 1}, 0.0, -1.0},
        {{WAVE_TRIANGLE, 0, 1, 0, 1}, 0.25, -0.5},
        {{WAVE_TRIANGLE, 0, 1, 0, 1}, 0.5, 1.0},
        {{WAVE_TRIANGLE, 0, 1, 0, 1}, 0.75, 0.5},
        {{WAVE_SAWTOOTH, 0, 1, 0.25f, 2}, 0.0, 0.5}, // the phase is in seconds, added before scaling
        {{WAVE_SAWTOOTH, 1, 2, 0.5f, 1}, 0.25, 2.5},
        {{WAVE_SAWTOOTH, 0, 1, 0, 1}, -0.25, 0.75},
        {{WAVE_INVERSESAWTOOTH, 0, 1, 0, 1}, 0.25, 0.75},
        {{WAVE_NONE, 3, 1, 0, 1}, 0.25, 0.0},
    };
    for (const sCase& c : cases)
        EXPECT_NEAR(EvalWave(c.wave, c.t), c.value, 1e-5) << "func " << c.wave.func << " at " << c.t;

    // Noise along t * 2 + 0.5: within base -+ amplitude, smooth, not periodic, and used by wave
    // deformations per vertex (spread 10: the second vertex is 0.3 further along).
    const sWave noise = {WAVE_NOISE, 0.5f, 0.25f, 0.5f, 2.0f};
    float low = 1.0f, high = 0.0f, previous = EvalWave(noise, 0.0);
    for (int i = 1; i <= 4000; i++)
    {
        const float v = EvalWave(noise, i * 0.001);
        EXPECT_NEAR(v, previous, 0.01) << i;
        low = std::min(low, v), high = std::max(high, v), previous = v;
    }
    EXPECT_TRUE(low >= 0.25f && high <= 0.75f && high - low > 0.1f) << low << " " << high;
    EXPECT_NEAR(EvalWave(noise, 1.3), WaveNoise(3.1) * 0.25f + 0.5f, 1e-6);
    EXPECT_NE(EvalWave(noise, 0.3), EvalWave(noise, 1.3));
    EXPECT_EQ(WaveNoise(NAN), 0.0f);
    cShader shader;
    shader.flags = SHADER_DEFORM;
    shader.deforms.resize(1);
    shader.deforms[0].params[0] = 10.0f;
    shader.deforms[0].wave = {WAVE_NOISE, 0.0f, 2.0f, 0.0f, 1.0f};
    const float xyz[6] = {0, 0, 0, 3, 0, 0}, normals[6] = {0, 0, 1, 0, 0, 1};
    float out[2][4];
    DeformPositions(shader, 2, xyz, normals, 0.7, out);
    EXPECT_NEAR(out[0][2], 2.0f * WaveNoise(0.7), 1e-5);
    EXPECT_NEAR(out[1][2], 2.0f * WaveNoise(1.0), 1e-5);
}

TEST(StageLogic, ColourBlendAndLightingChoice)
{
    struct sCase
    {
        int32_t rgbGen, alphaGen;
        bool gameLook;
        std::vector<float> color;
        bool lit;
    };
    const sCase cases[] = {
        {RGBGEN_CONST, ALPHAGEN_CONST, true, {0.2f, 0.4f, 0.6f, 0.3f}, false},
        {RGBGEN_CONST, ALPHAGEN_CONST, false, {1, 1, 1, 1}, false},
        {RGBGEN_VERTEX, ALPHAGEN_VERTEX, true, {1, 1, 1, 1}, false},
        {RGBGEN_ENTITY, ALPHAGEN_ENTITY, true, {1, 1, 1, 1}, false},
        {RGBGEN_ONEMINUSENTITY, ALPHAGEN_ONEMINUSENTITY, true, {0, 0, 0, 0}, false},
        {RGBGEN_ONEMINUSENTITY, ALPHAGEN_ONEMINUSENTITY, false, {1, 1, 1, 1}, false},
        {RGBGEN_IDENTITY, ALPHAGEN_PORTAL, true, {1, 1, 1, 1}, false},
        {RGBGEN_LIGHTNINGDIFFUSE, ALPHAGEN_NONE, true, {1, 1, 1, 1}, true},
        {RGBGEN_LIGHTNINGDIFFUSE, ALPHAGEN_NONE, false, {1, 1, 1, 1}, false},
        {RGBGEN_IDENTITYLIGHTNING, ALPHAGEN_LIGHTNINGSPECULAR, true, {.5f, .5f, .5f, .25f}, false},
    };
    cShader shader;
    shader.stages.resize(1);
    cShaderStage& stage = shader.stages[0];
    const float constant[4] = {0.2f, 0.4f, 0.6f, 0.3f};
    std::copy(constant, constant + 4, stage.constColor);
    for (const sCase& c : cases)
    {
        stage.rgbGen = c.rgbGen;
        stage.alphaGen = c.alphaGen;
        const sStageState s = ChooseStageState(stage, 0.0, c.gameLook);
        const std::string what = std::to_string(c.rgbGen) + "/" + std::to_string(c.alphaGen);
        EXPECT_EQ(std::vector<float>(s.color, s.color + 4), c.color) << what << " " << c.gameLook;
        EXPECT_EQ(StageIsLit(shader, stage, c.gameLook), c.lit) << what;
        EXPECT_EQ(ShaderNeedsNormals(shader, c.gameLook, true), c.lit) << what;
        EXPECT_FALSE(ShaderNeedsNormals(shader, c.gameLook, false)) << what;
    }
    // Shaders the library makes itself are lit whatever their colour source.
    stage.rgbGen = RGBGEN_IDENTITY;
    shader.implicit = true;
    EXPECT_TRUE(StageIsLit(shader, stage, true) && !StageIsLit(shader, stage, false));

    // An unknown blend factor draws without blending, in either look.
    stage.flags = STAGE_BLEND | STAGE_NODEPTHWRITE;
    const uint16_t factors[3][3] = {{0xFFFF, 1, false}, {1, 0xFFFF, false}, {0, 0x301, true}};
    for (const auto& f : factors)
        for (bool gameLook : {false, true})
        {
            stage.blendSrc = f[0], stage.blendDst = f[1];
            const sStageState s = ChooseStageState(stage, 0.0, gameLook);
            EXPECT_TRUE(s.blend == (f[2] != 0) && s.noDepthWrite) << f[0] << " " << f[1];
        }

    // Environment stages: the GL's sphere map, or under the game look the batch's coordinates.
    stage.tcGen = TCGEN_ENVIRONMENT;
    const sStageState plain = ChooseStageState(stage, 0.0, false), game = ChooseStageState(stage, 0.0, true);
    EXPECT_TRUE(plain.sphereMap && !plain.envCoords && !game.sphereMap && game.envCoords);
    shader.flags = SHADER_ENVIRONMENT;
    EXPECT_TRUE(ShaderNeedsNormals(shader, false, false));
}

TEST(StageLogic, TextureMatrices)
{
    // A quarter turn per second about the texture centre.
    ExpectMaps({Mod(TCMOD_ROTATE, {90})}, 1.0, 0.0, 1.0, 0.5, 0.5, 1.0);
    ExpectMaps({Mod(TCMOD_ROTATE, {90})}, 2.0, 0.0, 1.0, 0.5, 0.0, 0.5);
    // Scale works about coordinate (0, 0).
    ExpectMaps({Mod(TCMOD_SCALE, {2, 3})}, 5.0, 0.0, 0.25, 0.5, 0.5, 1.5);
    // Scroll accumulates without wrapping.
    ExpectMaps({Mod(TCMOD_SCROLL, {0.5f, 0})}, 3.0, 0.0, 0.0, 0.0, 1.5, 0.0);
    // Scroll then rotate: rotated first, scrolled second.
    const double h = std::sqrt(0.5) * 0.5;
    ExpectMaps({Mod(TCMOD_SCROLL, {1, 0}), Mod(TCMOD_ROTATE, {45})}, 1.0, 0.0, 1.0, 0.5, 1.5 + h, 0.5 + h);
    // Transform: shift by (p4, p5) about the centre, then the 2x2 matrix.
    ExpectMaps({Mod(TCMOD_TRANSFORM, {2, 0, 0, 1, 0.25f, 0})}, 0.0, 0.0, 0.5, 0.5, 1.0, 0.5);
    ExpectMaps({Mod(TCMOD_TRANSFORM, {0, 1, -1, 0, 0, 0})}, 0.0, 0.0, 1.0, 0.5, 0.5, 1.0);
    // Stretch follows a sine of the second clock: scale 1 / 1.5 about the centre.
    const std::vector<sTcMod> stretch = {Mod(TCMOD_STRETCH, {0, 1, 0.5f, 0, 1})};
    ExpectMaps(stretch, 0.0, 0.25, 1.0, 0.5, 0.5 + 0.5 / 1.5, 0.5);
    ExpectMaps(stretch, 0.25, 0.0, 1.0, 0.5, 1.0, 0.5);
    // Turb at time 0: a = 0, b = 0.1.
    ExpectMaps({Mod(TCMOD_TURB, {0, 0.1f, 0, 1})}, 0.0, 0.0, 0.5, 0.5, 0.5, 0.605);
    // No modifiers: identity.
    ExpectMaps({}, 7.0, 7.0, 0.3, 0.7, 0.3, 0.7);
}

TEST(StageLogic, AnimationFrames)
{
    sAnimMap anim;
    anim.frequency = 2.0;
    EXPECT_EQ(AnimFrame(anim, 1.0), -1);
    anim.textures = {11, 12, 13, 14};
    const double times[] = {0.0, 0.49, 0.5, 1.0, 1.99, 2.0, 2.6};
    const int frames[] = {0, 0, 1, 2, 3, 0, 1};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(AnimFrame(anim, times[i]), frames[i]) << times[i];
    EXPECT_GE(AnimFrame(anim, -3.2), 0);
    EXPECT_LT(AnimFrame(anim, 1e300), 4);
    anim.frequency = NAN;
    EXPECT_EQ(AnimFrame(anim, 1.0), 0);
}
