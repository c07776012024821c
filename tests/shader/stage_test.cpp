#include "shadertest.h"
#include "shader/stagestate.h"
#include "shader/viewgeom.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iomanip>

namespace
{
// A column-major modelview: rotation by degrees about the y axis, uniform scale, then a move.
std::vector<float> View(float degrees, float scale, float x, float y, float z)
{
    const float a = degrees * static_cast<float>(M_PI) / 180.0f, c = std::cos(a) * scale,
                s = std::sin(a) * scale;
    return {c, 0, -s, 0, 0, scale, 0, 0, s, 0, c, 0, x, y, z, 1};
}
// What a stage draws with at time t in one look, defaults left out: where the texture point
// (1, 0.5) lands, and the z of vertices at x = 0, 100 and 50 deformed with normals +z and without.
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

// Each stage at 1.25 s in the plain look, then the game look (after the '|'); an unknown blend
// factor draws unblended in either look; tcmods apply in the order written.
TEST(StageLogic, StatesFramesSpritesAndReflections)
{
    gShaderMgr.Reset();
    gShaderMgr.Init();
    ParseText(Blocks(
        "unknown=blendfunc gl_one gl_bogus|equal=blendfunc add;depthfunc equal;alphafunc gt0|"
        "minus=rgbGen oneMinusEntity;alphaGen oneMinusEntity|env=tcGen environment|"
        "il=rgbGen identityLighting;alphaGen lightingSpecular|scroll=tcmod scroll 2 0;tcmod rotate 360|"
        "stretch=tcmod stretch sin 1 0.5 0 1|turb=tcmod turb 0 0.1 0 1|"
        "move=deformvertexes move 0 0 3 sin 0 1 0 1|wave=deformvertexes wave 100 sin 0 2 0 1"));
    std::string got;
    for (const auto& [name, i] : gShaderMgr.index)
        got += name + ":" + StateLine(gShaderMgr.shaders[i], gShaderMgr.shaders[i].stages[0], 1.25, false) +
               " |" + StateLine(gShaderMgr.shaders[i], gShaderMgr.shaders[i].stages[0], 1.25, true) + "\n";
    EXPECT_EQ(got, "$default: | lit normals\n"
                   "env: sphere normals | env normals\n"
                   "equal: blend 1,1 alpha 204,0 depth 202 | blend 1,1 alpha 204,0 depth 202\n"
                   "il: colour 0.5,0.5,0.5,0.25 | colour 0.5,0.5,0.5,0.25\n"
                   "minus: | colour 0,0,0,0\n"
                   "move: z 3,3,3/3,3,3 x 100,50 | z 3,3,3/3,3,3 x 100,50\n"
                   "scroll: st 3,1 | st 3,1\n"
                   "stretch: st 0.833333,0.5 | st 0.833333,0.5\n"
                   "turb: st 1.13,0.5 | st 1.13,0.5\n"
                   "unknown: nowrite | nowrite\n"
                   "wave: z 2,2,-2/0,0,0 x 100,50 | z 2,2,-2/0,0,0 x 100,50\n");
    gShaderMgr.Reset();

    // Noise, and animmap frames for times before the origin, huge times and a rate that is no number.
    const sWave noise = {WAVE_NOISE, 0.5f, 0.25f, 0.5f, 2.0f};
    EXPECT_NEAR(EvalWave(noise, 0.4), WaveNoise(1.3) * 0.25f + 0.5f, 1e-6);
    EXPECT_TRUE(WaveNoise(NAN) == 0.0f && WaveNoise(1.3) != WaveNoise(2.3) && std::fabs(WaveNoise(1.3)) <= 1);
    sAnimMap anim;
    anim.frequency = 2.0;
    EXPECT_EQ(AnimFrame(anim, 1.0), -1);
    anim.textures = {11, 12, 13, 14};
    for (double t : {-3.2, 1e300})
        EXPECT_TRUE(AnimFrame(anim, t) >= 0 && AnimFrame(anim, t) < 4) << t;
    anim.frequency = NAN;
    EXPECT_EQ(AnimFrame(anim, 1.0), 0);

    // An 8 x 2 quad seen edge-on, turned about its long side (x), keeps its centre and x and its
    // short side lies across the line of sight. Vertices past the last whole quad, quads no
    // triangle lies in, and any quad under a flat view stay.
    const uint32_t quad[6] = {0, 1, 2, 2, 1, 3}, across[3] = {2, 3, 4};
    float bar[4][4] = {{4, 2, 0}, {12, 2, 0}, {4, 2, -2}, {12, 2, -2}};
    TurnQuadsToCamera(View(0, 1, 0, 0, -40).data(), true, 4, bar, 6, quad);
    double dot = 0, side = 0, mid[3];
    for (int k = 0; k < 3; k++)
        mid[k] = (bar[0][k] + bar[3][k]) / 2, dot += (bar[2][k] - bar[0][k]) * (mid[k] - (k == 2 ? 40 : 0)),
        side += (bar[2][k] - bar[0][k]) * (bar[2][k] - bar[0][k]);
    float xyz[6][4] = {{0, 0, -1}, {1, 0, -1}, {0, 0, -2}, {1, 0, -2}, {5, 5, 5}, {6, 6, 6}}, before[6][4];
    memcpy(before, xyz, sizeof xyz);
    TurnQuadsToCamera(View(0, 1, 0, 0, 0).data(), false, 6, xyz, 3, across);
    TurnQuadsToCamera(View(0, 0, 0, 0, 0).data(), false, 6, xyz, 6, quad);
    EXPECT_EQ(memcmp(xyz, before, sizeof xyz), 0);
    TurnQuadsToCamera(View(0, 1, 0, 0, 0).data(), false, 6, xyz, 6, quad);
    EXPECT_TRUE(memcmp(xyz, before, sizeof xyz) != 0 && memcmp(xyz[4], before[4], sizeof(float) * 8) == 0);

    // A normal turned 30 degrees up in a turned, scaled and moved view moves the reading a quarter up;
    // no normal reads the centre; off the axis of sight a normal facing along it reflects away.
    const float sn = 0.5f, cs = std::sqrt(0.75f), eye[3][4] = {{0, 0, 0}, {0, 0, -5}, {3, 0, -3}},
                normals[9] = {-cs, sn, 0, 0, 0, 0, 0, 0, 1};
    float st[3][2];
    ReflectionCoords(View(90, 1.0f / 64, 0, 0, -5).data(), 1, eye, normals, st);
    ReflectionCoords(View(0, 1, 0, 0, 0).data(), 2, eye + 1, normals + 3, st + 1);
    const double want[] = {4, 12, 2, -1, 0, 4, 0.5, 0.75, 0.5, 0.5, 0.6913417, 0.5},
                 near[] = {bar[0][0], bar[1][0], mid[1],   mid[2],   dot,      side,
                           st[0][0],  st[0][1],  st[1][0], st[1][1], st[2][0], st[2][1]};
    for (int k = 0; k < 12; k++)
        EXPECT_NEAR(near[k], want[k], 1e-4) << k;
}
