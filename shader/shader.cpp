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
    default:
        return 0.0f;
    }
}
