// Stage logic without a GL context: waveforms, texture matrices, animation frames, state choice.
#include "shader/stagestate.h"

#include <gtest/gtest.h>

#include <cmath>

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
