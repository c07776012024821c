// Stage and batch logic without a GL context: waveforms, deformations, state choice, texture
// matrices, animation frames, and the geometry that follows the camera.
#include "shadertest.h"
#include "shader/stagestate.h"
#include "shader/viewgeom.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iomanip>

namespace
{
void ExpectNear(const std::vector<double>& got, const std::vector<double>& want, const std::string& what)
{
    bool near = got.size() == want.size();
    for (size_t k = 0; near && k < got.size(); k++)
        near = std::fabs(got[k] - want[k]) < 1e-4;
    EXPECT_TRUE(near) << what << ": got " << ::testing::PrintToString(got);
}

// A column-major modelview: rotation by degrees about the y axis, uniform scale, then a move.
std::vector<float> View(float degrees, float scale, float x, float y, float z)
{
    const float a = degrees * static_cast<float>(M_PI) / 180.0f, c = std::cos(a) * scale,
                s = std::sin(a) * scale;
    return {c, 0, -s, 0, 0, scale, 0, 0, s, 0, c, 0, x, y, z, 1};
}

// A point in eye space.
std::vector<double> Eye(const std::vector<float>& m, const float* p)
{
    std::vector<double> e(3);
    for (int row = 0; row < 3; row++)
        e[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
    return e;
}
} // namespace

TEST(StageLogic, WavesAndAnimationFrames)
{
    // Each waveform at t = 0, 1/4, 1/2, 3/4, -1/4 and 10 3/4 s; the phase is in seconds, added before
    // scaling.
    const std::pair<sWave, std::vector<double>> waves[] = {
        {{WAVE_SIN, 0.5f, 0.5f, 0, 1}, {0.5, 1, 0.5, 0, 0, 0}},
        {{WAVE_TRIANGLE, 0, 1, 0, 1}, {-1, -0.5, 1, 0.5, 0.5, 0.5}},
        {{WAVE_SQUARE, 0, 1, 0, 2}, {1, -1, 1, -1, -1, -1}},
        {{WAVE_SAWTOOTH, 0, 1, 0.25f, 2}, {0.5, 0, 0.5, 0, 0, 0}},
        {{WAVE_SAWTOOTH, 1, 2, 0.5f, 1}, {2, 2.5, 1, 1.5, 1.5, 1.5}},
        {{WAVE_INVERSESAWTOOTH, 0, 1, 0, 1}, {1, 0.75, 0.5, 0.25, 0.25, 0.25}},
        {{WAVE_NONE, 3, 1, 0, 1}, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& [wave, values] : waves)
    {
        std::vector<double> got;
        for (double t : {0.0, 0.25, 0.5, 0.75, -0.25, 10.75})
            got.push_back(EvalWave(wave, t));
        ExpectNear(got, values, "func " + std::to_string(wave.func));
    }
    // Noise: within base -+ amplitude, smooth, not periodic.
    const sWave noise = {WAVE_NOISE, 0.5f, 0.25f, 0.5f, 2.0f};
    float low = 1.0f, high = 0.0f, previous = EvalWave(noise, 0.0);
    for (int i = 1; i <= 4000; i++)
    {
        const float v = EvalWave(noise, i * 0.001);
        EXPECT_NEAR(v, previous, 0.01) << i;
        low = std::min(low, v), high = std::max(high, v), previous = v;
    }
    EXPECT_TRUE(low >= 0.25f && high <= 0.75f && high - low > 0.1f) << low << " " << high;
    EXPECT_NE(EvalWave(noise, 0.3), EvalWave(noise, 1.3));
    EXPECT_NEAR(EvalWave(noise, 0.4), WaveNoise(1.3) * 0.25f + 0.5f, 1e-6);
    EXPECT_EQ(WaveNoise(NAN), 0.0f);

    // An animmap without frames has none; times before the origin, huge times and a rate that is
    // no number stay within the frames.
    sAnimMap anim;
    anim.frequency = 2.0;
    EXPECT_EQ(AnimFrame(anim, 1.0), -1);
    anim.textures = {11, 12, 13, 14};
    for (double t : {-3.2, 1e300})
        EXPECT_TRUE(AnimFrame(anim, t) >= 0 && AnimFrame(anim, t) < 4) << t;
    anim.frequency = NAN;
    EXPECT_EQ(AnimFrame(anim, 1.0), 0);
}

namespace
{
// What a stage draws with at time t in one look, fields at their defaults left out: blending,
// alpha test, depth, colour, sphere map or reflection coordinates, light, normals kept for the
// shader, where the texture point (1, 0.5) lands, the animation frame, and the z of vertices at
// x = 0, 100 and 50 deformed with normals (0, 0, 1) and without.
std::string StateLine(const cShader& shader, const cShaderStage& stage, double t, bool look)
{
    const sStageState s = ChooseStageState(stage, t, look);
    std::ostringstream out;
    out << std::hex;
    if (s.blend)
        out << " blend " << s.blendSrc << ',' << s.blendDst;
    if (s.alphaTest)
        out << " alpha " << s.alphaFunc << ',' << s.alphaRef;
    if (s.setDepthFunc)
        out << " depth " << s.depthFunc;
    if (std::count(s.color, s.color + 4, 1.0f) != 4)
        out << " colour " << s.color[0] << ',' << s.color[1] << ',' << s.color[2] << ',' << s.color[3];
    out << (s.noDepthWrite ? " nowrite" : "") << (s.sphereMap ? " sphere" : "") << (s.envCoords ? " env" : "")
        << (StageIsLit(shader, stage, look) ? " lit" : "")
        << (ShaderNeedsNormals(shader, look, true) ? " normals" : "");
    double m[16];
    TcModMatrix(stage.tcMods, t, t, m);
    if (!stage.tcMods.empty())
        out << " st " << m[0] + m[4] * 0.5 + m[12] << ',' << m[1] + m[5] * 0.5 + m[13];
    if (AnimFrame(stage.anim, t) >= 0)
        out << " frame " << AnimFrame(stage.anim, t);
    const float xyz[9] = {0, 0, 0, 100, 0, 0, 50, 0, 0}, normals[9] = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    float z[2][3][4];
    DeformPositions(shader, 3, xyz, normals, t, z[0]);
    DeformPositions(shader, 3, xyz, nullptr, t, z[1]);
    if (!shader.deforms.empty())
        out << std::setprecision(4) << " z " << z[0][0][2] << ',' << z[0][1][2] << ',' << z[0][2][2] << '/'
            << z[1][0][2] << ',' << z[1][1][2] << ',' << z[1][2][2] << " x " << z[0][1][0] << ','
            << z[1][2][0];
    return out.str();
}
} // namespace

// Each stage at 1.25 s, in the plain look and then the game look (after the '|'). Under the game
// look lightingDiffuse stages and the library's own shaders are lit, constant and entity colours
// count, and environment stages read reflection coordinates; an unknown blend factor draws
// unblended in either look; tcmods apply in the order written (rotated, then scrolled).
// Deformations: coordinate sums a spread apart are a period apart, move shifts the whole mesh,
// normal deforms change nothing.
TEST(StageLogic, StatesOfScriptedStages)
{
    gShaderMgr.Reset();
    gShaderMgr.Init();
    ParseText(Blocks("add=blendfunc add|unknown=blendfunc gl_one gl_bogus|"
                     "bogus=blendfunc gl_bogus gl_one|equal=blendfunc add;depthfunc equal;alphafunc gt0|"
                     "const=rgbGen const ( 0.2 0.4 0.6 );alphaGen const 0.3|"
                     "vertex=rgbGen vertex;alphaGen vertex|entity=rgbGen entity;alphaGen entity|"
                     "minus=rgbGen oneMinusEntity;alphaGen oneMinusEntity|port=alphaGen portal|"
                     "diffuse=rgbGen lightingDiffuse|"
                     "il=rgbGen identityLighting;alphaGen lightingSpecular|"
                     "colourwave=rgbGen wave sin 0.5 0.5 0 1;alphaGen wave square 0 1 0 2|"
                     "env=tcGen environment|rotate=tcmod rotate 360|scale=tcmod scale 2 3|"
                     "scroll=tcmod scroll 2 0;tcmod rotate 360|transform=tcmod transform 0 1 -1 0 0 0|"
                     "stretch=tcmod stretch sin 1 0.5 0 1|turb=tcmod turb 0 0.1 0 1|"
                     "anim=animmap 2 a b c d|none=animmap 2|move=deformvertexes move 0 0 3 sin 0 1 0 1|"
                     "wave=deformvertexes wave 100 sin 0 2 0 1|"
                     "normal=deformvertexes normal 100 sin 0 2 0 1|"
                     "noise=deformvertexes wave 10 noise 0 2 0 1"));
    std::string got;
    for (const auto& [name, i] : gShaderMgr.index)
        got += name + ":" + StateLine(gShaderMgr.shaders[i], gShaderMgr.shaders[i].stages[0], 1.25, false) +
               " |" + StateLine(gShaderMgr.shaders[i], gShaderMgr.shaders[i].stages[0], 1.25, true) + "\n";
    EXPECT_EQ(got, "$default: | lit normals\n"
                   "add: blend 1,1 nowrite | blend 1,1 nowrite\n"
                   "anim: frame 2 | frame 2\n"
                   "bogus: nowrite | nowrite\n"
                   "colourwave: colour 1,1,1,-1 | colour 1,1,1,-1\n"
                   "const: | colour 0.2,0.4,0.6,0.3\n"
                   "diffuse: | lit normals\n"
                   "entity: |\n"
                   "env: sphere normals | env normals\n"
                   "equal: blend 1,1 alpha 204,0 depth 202 | blend 1,1 alpha 204,0 depth 202\n"
                   "il: colour 0.5,0.5,0.5,0.25 | colour 0.5,0.5,0.5,0.25\n"
                   "minus: | colour 0,0,0,0\n"
                   "move: z 3,3,3/3,3,3 x 100,50 | z 3,3,3/3,3,3 x 100,50\n"
                   "noise: z -0.1114,-1.562,0.5761/0,0,0 x 100,50 | z -0.1114,-1.562,0.5761/0,0,0 x 100,50\n"
                   "none: |\n"
                   "normal: z 0,0,0/0,0,0 x 100,50 | z 0,0,0/0,0,0 x 100,50\n"
                   "port: |\n"
                   "rotate: st 0.5,1 | st 0.5,1\n"
                   "scale: st 2,1.5 | st 2,1.5\n"
                   "scroll: st 3,1 | st 3,1\n"
                   "stretch: st 0.833333,0.5 | st 0.833333,0.5\n"
                   "transform: st 0.5,1 | st 0.5,1\n"
                   "turb: st 1.13,0.5 | st 1.13,0.5\n"
                   "unknown: nowrite | nowrite\n"
                   "vertex: |\n"
                   "wave: z 2,2,-2/0,0,0 x 100,50 | z 2,2,-2/0,0,0 x 100,50\n");
    gShaderMgr.Reset();
}

TEST(StageLogic, QuadsTurnToTheCameraAndReflect)
{
    // Flat quads seen edge-on (front faces up) through a turned, scaled and moved view: a 2 x 2
    // square made a sprite, and an 8 x 2 one turned about its long side (x). Both keep their
    // centre and show the front of triangles 0 1 2 and 2 1 3 with their sizes at the view's scale;
    // the sprite lies flat on the screen with sides along its axes, the long one keeps its x and
    // its short side lies across the line of sight.
    const uint32_t quad[6] = {0, 1, 2, 2, 1, 3};
    const std::vector<float> view = View(70, 2, 1, -3, -40);
    for (float length : {2.0f, 8.0f})
    {
        float xyz[4][4] = {{4, 2, 0}, {4 + length, 2, 0}, {4, 2, -2}, {4 + length, 2, -2}};
        TurnQuadsToCamera(view.data(), length > 2, 4, xyz, 6, quad);
        std::vector<double> e[4];
        for (int k = 0; k < 4; k++)
            e[k] = Eye(view, xyz[k]);
        auto front = [&e](int a, int b, int c)
        { return (e[b][0] - e[a][0]) * (e[c][1] - e[a][1]) - (e[b][1] - e[a][1]) * (e[c][0] - e[a][0]) > 0; };
        auto dist = [&e](int a, int b)
        { return std::hypot(std::hypot(e[b][0] - e[a][0], e[b][1] - e[a][1]), e[b][2] - e[a][2]); };
        const double across = (e[2][0] - e[0][0]) * (e[0][0] + e[3][0]) +
                              (e[2][1] - e[0][1]) * (e[0][1] + e[3][1]) +
                              (e[2][2] - e[0][2]) * (e[0][2] + e[3][2]);
        ExpectNear({(xyz[0][0] + xyz[3][0]) / 2, (xyz[0][1] + xyz[3][1]) / 2, (xyz[0][2] + xyz[3][2]) / 2,
                    double(front(0, 1, 2)), double(front(2, 1, 3)), dist(0, 1), dist(0, 2),
                    length > 2 ? across : e[3][2] - e[0][2],
                    length > 2 ? xyz[1][0] - xyz[0][0]
                               : std::fabs(e[1][0] - e[0][0]) + std::fabs(e[1][1] - e[0][1])},
                   {4 + length / 2, 2, -1, 1, 1, 2 * length, 4, 0, length > 2 ? 8.0 : 4.0},
                   std::to_string(length));
    }
    // Vertices past the last whole quad, quads no triangle lies in, and a flat view stay.
    float xyz[6][4] = {{0, 0, -1}, {1, 0, -1}, {0, 0, -2}, {1, 0, -2}, {5, 5, 5}, {6, 6, 6}}, before[6][4];
    memcpy(before, xyz, sizeof xyz);
    const uint32_t across[3] = {2, 3, 4};
    TurnQuadsToCamera(View(0, 1, 0, 0, 0).data(), false, 6, xyz, 3, across);
    TurnQuadsToCamera(View(0, 0, 0, 0, 0).data(), false, 6, xyz, 6, quad);
    EXPECT_EQ(memcmp(xyz, before, sizeof xyz), 0);
    TurnQuadsToCamera(View(0, 1, 0, 0, 0).data(), false, 6, xyz, 6, quad);
    EXPECT_NE(memcmp(xyz, before, sizeof xyz), 0);
    EXPECT_EQ(memcmp(xyz[4], before[4], sizeof(float) * 8), 0);

    // Reflections: the eye-space normal turned 30 degrees right or up moves the reading as far
    // from the centre; a turned, scaled and moved view changes nothing; off the axis of sight a
    // normal facing along it reflects away from the centre.
    const float sn = 0.5f, cs = std::sqrt(0.75f), q = 0.25f;
    const struct
    {
        std::vector<float> view;
        float xyz[4], normal[3], s, t;
    } reflections[] = {
        {View(0, 1, 0, 0, 0), {0, 0, -5}, {0, 0, 1}, 0.5f, 0.5f},
        {View(0, 1, 0, 0, 0), {0, 0, -5}, {sn, 0, cs}, 0.5f + q, 0.5f},
        {View(0, 1, 0, 0, 0), {0, 0, -5}, {0, sn, cs}, 0.5f, 0.5f + q},
        {View(90, 1.0f / 64, 0, 0, -5), {0, 0, 0}, {-cs, sn, 0}, 0.5f, 0.5f + q},
        {View(0, 1, 0, 0, 0), {0, 0, -5}, {0, 0, 0}, 0.5f, 0.5f}, // no normal
        {View(0, 1, 0, 0, 0), {3, 0, -3}, {0, 0, 1}, 0.6913417f, 0.5f},
    };
    for (const auto& c : reflections)
    {
        float st[1][2];
        ReflectionCoords(c.view.data(), 1, &c.xyz, c.normal, st);
        ExpectNear({st[0][0], st[0][1]}, {c.s, c.t}, "reflection " + std::to_string(&c - reflections));
    }
}
