// What a stage asks of the GL, worked out without touching it: state choice, texture matrix,
// animation frame and vertex deformation, so each can be checked on its own.
#include "shader/stagestate.h"

#include "platform/clock.h"
#include "platform/gamelook.h"

#include <algorithm>
#include <cmath>
#include <cstring>

double ShaderSeconds()
{
    int64_t count = 0, frequency = 0;
    if (QueryPerformanceCounter(&count) && QueryPerformanceFrequency(&frequency) && frequency > 0)
        return static_cast<double>(count) / static_cast<double>(frequency);
    return timeGetTime() * 0.001;
}

sStageState ChooseStageState(const cShaderStage& stage, double waveTime)
{
    return ChooseStageState(stage, waveTime, gGameLook);
}

sStageState ChooseStageState(const cShaderStage& stage, double waveTime, bool gameLook)
{
    sStageState s;
    // Factors and functions are widened as signed 16-bit values: an unknown function (0xFFFF)
    // reaches the GL as -1, which it rejects, keeping its previous setting. A stage with an
    // unknown blend factor draws unblended rather than with whatever blend came before.
    const uint16_t unknown = 0xFFFF;
    s.blend = (stage.flags & STAGE_BLEND) && stage.blendSrc != unknown && stage.blendDst != unknown;
    s.blendSrc = static_cast<int16_t>(stage.blendSrc);
    s.blendDst = static_cast<int16_t>(stage.blendDst);
    s.alphaTest = (stage.flags & STAGE_ALPHATEST) != 0;
    s.alphaFunc = static_cast<int16_t>(stage.alphaFunc);
    s.alphaRef = stage.alphaRef;
    // An explicit depth function keeps depth writes on even when blending asked them off.
    s.setDepthFunc = (stage.flags & STAGE_DEPTHFUNC) != 0;
    s.depthFunc = static_cast<int16_t>(stage.depthFunc);
    s.noDepthWrite = !s.setDepthFunc && (stage.flags & STAGE_NODEPTHWRITE);

    if (stage.rgbGen == RGBGEN_IDENTITYLIGHTNING)
        s.color[0] = s.color[1] = s.color[2] = 0.5f;
    else if (stage.rgbGen == RGBGEN_WAVE)
        s.color[0] = s.color[1] = s.color[2] = EvalWave(stage.rgbWave, waveTime);
    if (stage.alphaGen == ALPHAGEN_LIGHTNINGSPECULAR)
        s.color[3] = 0.25f;
    else if (stage.alphaGen == ALPHAGEN_WAVE)
        s.color[3] = EvalWave(stage.alphaWave, waveTime);

    if (gameLook)
    {
        // Models carry no vertex colours and the viewer's entity is white and opaque.
        if (stage.rgbGen == RGBGEN_CONST)
            std::copy(stage.constColor, stage.constColor + 3, s.color);
        else if (stage.rgbGen == RGBGEN_ONEMINUSENTITY)
            s.color[0] = s.color[1] = s.color[2] = 0.0f;
        if (stage.alphaGen == ALPHAGEN_CONST)
            s.color[3] = stage.constColor[3];
        else if (stage.alphaGen == ALPHAGEN_ONEMINUSENTITY)
            s.color[3] = 0.0f;
    }

    s.sphereMap = stage.tcGen == TCGEN_ENVIRONMENT && !gameLook;
    s.envCoords = stage.tcGen == TCGEN_ENVIRONMENT && gameLook;
    return s;
}

bool StageIsLit(const cShader& shader, const cShaderStage& stage, bool gameLook)
{
    return gameLook && (stage.rgbGen == RGBGEN_LIGHTNINGDIFFUSE || shader.implicit);
}

bool ShaderNeedsNormals(const cShader& shader, bool gameLook, bool lighting)
{
    if (shader.flags & SHADER_ENVIRONMENT)
        return true;
    if (!gameLook || !lighting)
        return false;
    for (const cShaderStage& stage : shader.stages)
        if (StageIsLit(shader, stage, gameLook))
            return true;
    return false;
}

namespace
{
const double TWO_PI = 6.2831855;

// m = m * n, both column-major 4x4.
void MulMatrix(double m[16], const double n[16])
{
    double r[16];
    for (int col = 0; col < 4; col++)
        for (int row = 0; row < 4; row++)
        {
            double sum = 0.0;
            for (int k = 0; k < 4; k++)
                sum += m[k * 4 + row] * n[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    memcpy(m, r, sizeof r);
}

void Identity(double m[16])
{
    memset(m, 0, 16 * sizeof(double));
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

void Translate(double m[16], double x, double y, double z)
{
    double n[16];
    Identity(n);
    n[12] = x, n[13] = y, n[14] = z;
    MulMatrix(m, n);
}

void Scale(double m[16], double x, double y)
{
    double n[16];
    Identity(n);
    n[0] = x, n[5] = y;
    MulMatrix(m, n);
}

void RotateZ(double m[16], double degrees)
{
    double a = degrees * M_PI / 180.0;
    double n[16];
    Identity(n);
    n[0] = cos(a), n[1] = sin(a);
    n[4] = -sin(a), n[5] = cos(a);
    MulMatrix(m, n);
}
} // namespace

void TcModMatrix(const std::vector<sTcMod>& mods, double t, double stretchTime, double out[16])
{
    // The modifiers work about the texture centre.
    Identity(out);
    Translate(out, 0.5, 0.5, 0.0);
    for (const sTcMod& mod : mods)
    {
        const float* p = mod.params;
        switch (mod.type)
        {
        case TCMOD_ROTATE:
            RotateZ(out, p[0] * t);
            break;
        case TCMOD_SCALE:
            // Undo the centring around the scale, so it works about coordinate (0, 0).
            Translate(out, -0.5, -0.5, 0.0);
            Scale(out, p[0], p[1]);
            Translate(out, 0.5, 0.5, 0.0);
            break;
        case TCMOD_SCROLL:
            Translate(out, p[0] * t, p[1] * t, 0.0);
            break;
        case TCMOD_STRETCH:
        {
            // Always a sine, whatever waveform the script named.
            double x = (p[3] + stretchTime) * p[4];
            double v = sin((x - floor(x)) * TWO_PI) * p[2] + p[1];
            if (v != 0.0)
                Scale(out, 1.0 / v, 1.0 / v);
            break;
        }
        case TCMOD_TRANSFORM:
        {
            // Translate by (p4, p5), then the 2x2 matrix (p0 p2; p1 p3).
            double n[16] = {p[0], p[1], 0, 0, p[2], p[3], 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            n[12] = p[0] * p[4] + p[2] * p[5];
            n[13] = p[1] * p[4] + p[3] * p[5];
            MulMatrix(out, n);
            break;
        }
        case TCMOD_TURB:
        {
            double x = (p[2] + t) * p[3];
            double a = sin(x * TWO_PI) * p[1] + p[0];
            double b = sin((x + 0.25) * TWO_PI) * p[1] + p[0];
            Scale(out, a * 0.5 + 1.0, b * 0.5 + 1.0);
            Translate(out, a, b, 1.0);
            break;
        }
        default:
            break;
        }
    }
    Translate(out, -0.5, -0.5, 0.0);
}

int AnimFrame(const sAnimMap& anim, double t)
{
    const size_t frames = anim.textures.size();
    if (frames == 0)
        return -1;
    double x = floor(t * anim.frequency);
    if (!std::isfinite(x))
        return 0;
    // The whole frame count modulo the frames, kept non-negative for a clock before its origin.
    double frame = fmod(x, static_cast<double>(frames));
    if (frame < 0)
        frame += static_cast<double>(frames);
    return static_cast<int>(frame);
}

void DeformPositions(const cShader& shader, int n, const float* xyz, const float* normals, double t,
                     float (*out)[4])
{
    const sDeform* d =
        (shader.flags & SHADER_DEFORM) && !shader.deforms.empty() ? &shader.deforms[0] : nullptr;
    if (d && d->type == DEFORM_WAVE && normals)
    {
        // Vertices whose coordinate sums are one spread apart move one wave period apart.
        const double s = d->params[0] != 0.0f ? 1.0 / d->params[0] : 0.0;
        const sWave& w = d->wave;
        for (int i = 0; i < n; i++)
        {
            const float* p = xyz + i * 3;
            const float* nv = normals + i * 3;
            double u = (w.phase + (p[0] + p[1] + p[2]) * s + t) * w.frequency;
            double f = u - floor(u);
            double shape;
            if (w.func == WAVE_SIN)
                shape = sin(f * 6.28);
            else if (w.func == WAVE_NOISE)
                shape = WaveNoise(u); // each vertex on its own stretch of the noise
            else
                shape = EvalWave(sWave{w.func, 0.0f, 1.0f, 0.0f, 1.0f}, f);
            double v = shape * w.amplitude + w.base;
            for (int k = 0; k < 3; k++)
                out[i][k] = static_cast<float>(p[k] + v * nv[k]);
        }
        return;
    }
    double move[3] = {0.0, 0.0, 0.0};
    if (d && d->type == DEFORM_MOVE)
    {
        double v = EvalWave(d->wave, t);
        for (int k = 0; k < 3; k++)
            move[k] = d->params[k] * v;
    }
    for (int i = 0; i < n; i++)
        for (int k = 0; k < 3; k++)
            out[i][k] = static_cast<float>(xyz[i * 3 + k] + move[k]);
}
