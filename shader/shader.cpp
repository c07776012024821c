// Record defaults and the waveform evaluation shared by colours and deformations.
#include "shader/shader.h"

#include <cmath>

void cShaderStage::Reset()
{
    map.clear();
    texture = 0;
    flags = 0;
    blendSrc = 1;
    blendDst = 0;
    depthFunc = 0x203;
    alphaFunc = 0x207;
    alphaRef = 1.0f;
    rgbGen = RGBGEN_IDENTITY;
    alphaGen = ALPHAGEN_NONE;
    tcGen = TCGEN_BASE;
    tcMods.clear();
    anim.textures.clear();
    anim.names.clear();
}

void cShader::Reset()
{
    name.clear();
    flags = 0;
    sort = 3;
    stages.clear();
    deforms.clear();
    implicit = false;
}

namespace
{
// A value in [-1, 1] for each whole number n, from an integer hash of n.
double LatticeValue(uint32_t n)
{
    n ^= n >> 16;
    n *= 0x7feb352dU;
    n ^= n >> 15;
    n *= 0x846ca68bU;
    n ^= n >> 16;
    return n / 2147483647.5 - 1.0;
}
} // namespace

float WaveNoise(double x)
{
    if (!std::isfinite(x))
        return 0.0f;
    const double cell = std::floor(x);
    const double f = x - cell;
    // The lattice repeats every 2^32 cells, so huge times still land on whole numbers.
    double wrapped = std::fmod(cell, 4294967296.0);
    if (wrapped < 0)
        wrapped += 4294967296.0;
    const uint32_t n = static_cast<uint32_t>(wrapped);
    const double a = LatticeValue(n), b = LatticeValue(n + 1);
    // Smoothstep between neighbouring lattice values: no corner at whole numbers.
    const double s = f * f * (3.0 - 2.0 * f);
    return static_cast<float>(a + (b - a) * s);
}

float EvalWave(const sWave& wave, double t)
{
    // The phase is in seconds: it shifts the time before the frequency scales it.
    double x = (wave.phase + t) * wave.frequency;
    double f = x - std::floor(x);
    switch (wave.func)
    {
    case WAVE_SIN:
        return static_cast<float>(std::sin(f * 6.2831855) * wave.amplitude + wave.base);
    case WAVE_TRIANGLE:
        // Rises from base - amplitude to base, jumps to base + amplitude at the half, falls back.
        if (f < 0.5)
            return static_cast<float>((2.0 * f - 1.0) * wave.amplitude + wave.base);
        return static_cast<float>((2.0 - 2.0 * f) * wave.amplitude + wave.base);
    case WAVE_SQUARE:
        return f < 0.5 ? wave.base + wave.amplitude : wave.base - wave.amplitude;
    case WAVE_SAWTOOTH:
        return static_cast<float>(f * wave.amplitude + wave.base);
    case WAVE_INVERSESAWTOOTH:
        return static_cast<float>((1.0 - f) * wave.amplitude + wave.base);
    case WAVE_NOISE:
        // Not periodic: the noise runs along time times frequency, shifted by the phase.
        return static_cast<float>(WaveNoise(t * wave.frequency + wave.phase) * wave.amplitude + wave.base);
    default:
        return 0.0f;
    }
}
