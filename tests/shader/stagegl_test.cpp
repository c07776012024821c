// Stage rendering in a real GL context: the state and texture each stage draws with, the
// neutral state after it, and the pixels of the game look (model light, constant colours,
// unknown blend factors, sprites) and its reflection coordinates.
#include "shadertest.h"
#include "shader/viewgeom.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// A square of half size 0.2 around (x, y) facing the eye, or edge-on (in the plane y = const,
// front up); every vertex gets normal n, or none.
void DrawSquare(const cShader& shader, float x, float y, const float* n, bool edgeOn = false, float h = 0.2f)
{
    const uint32_t idx[6] = {0, 1, 2, 2, 1, 3};
    float xyz[12] = {x - h, y - h, 0, x + h, y - h, 0, x - h, y + h, 0, x + h, y + h, 0}, normals[12];
    for (int k = 0; k < 12; k++)
        normals[k] = n ? n[k % 3] : 0.0f;
    for (int k = 0; edgeOn && k < 4; k++)
        xyz[k * 3 + 2] = xyz[k * 3 + 1] - y, xyz[k * 3 + 1] = y;
    const float st[8] = {0, 0, 1, 0, 0, 1, 1, 1};
    gTess.Begin(&shader);
    gTess.AddMesh(6, 4, idx, xyz, st, n ? normals : nullptr, nullptr);
    gTess.Flush();
}

// The grey (0xRRGGBB) of the model light on a white surface with this eye-space normal.
unsigned LitGrey(float x, float y, float z)
{
    const float* l = TESS_LIGHT_DIRECTION;
    const float d = (x * l[0] + y * l[1] + z * l[2]) / std::sqrt(x * x + y * y + z * z);
    const float v = std::min(1.0f, TESS_LIGHT_AMBIENT + TESS_LIGHT_DIFFUSE * std::max(0.0f, d));
    return static_cast<unsigned>(std::lround(255 * v)) * 0x010101u;
}
} // namespace

TEST_F(ShaderGLTest, StagesDrawWithTheirStateAndTheGameLookLight)
{
    ParseText(
        "s\n{\n{\nblendfunc add\n}\n{\ndepthfunc equal\nalphafunc gt0\n}\n{\ntcgen environment\n"
        "tcmod scroll 0.5 0.25\nrgbgen identitylighting\n}\n{\nanimmap 2 a b c d\n}\n{\nmap $lightmap\n}\n"
        "{\nmap $whiteimage\n}\n{\nmap plain\n}\n}\nunknownblend\n{\n{\nrgbGen const (1 0 0)\n"
        "blendfunc add\n}\n{\nrgbGen const (0 1 0)\nblendFunc GL_BOGUS GL_ONE\n}\n}\n" +
        Blocks("lit=rgbGen lightingDiffuse|const=rgbGen const ( 0.2 0.4 0.6 )|env=tcGen environment|"
               "sprite=deformVertexes autosprite;rgbGen const ( 0 0 1 )"));
    cShader& s = gShaderMgr.shaders[gShaderMgr.Find("s")];
    s.stages[3].anim.textures = {11, 12, 13, 14};
    s.stages[6].texture = 21;
    gTess.lightmapTexture = 31;
    gTess.specialTexture = 32;
    glTranslatef(1, 2, 3);
    SetFakeClock(1.25);
    gTess.Begin(&s);
    AddTriangle();
    gTess.Flush();
    gTess.lightmapTexture = gTess.specialTexture = 0;
    // Each stage's state reaches the GL (the tcmod matrix of 1.25 s, frame 2 of four at 2 a
    // second, the lightmap's own coordinates), and the neutral state comes back after it.
    const std::string neutral = "blend 0 alpha 0 depth 1 203 sphere 0 tex ";
    EXPECT_EQ(gDraws, (std::vector<std::string>{
                          "blend 1 1,1 alpha 0 depth 0 203 sphere 0 tex 0 colour 1,1,1,1 n3",
                          "blend 0 alpha 1 204,0 depth 1 202 sphere 0 tex 0 colour 1,1,1,1 n3",
                          "blend 0 alpha 0 depth 1 203 sphere 1 tex 0 colour 0.5,0.5,0.5,1 matrix "
                          "1,0,0.625,0.3125 mode n3",
                          neutral + "13 colour 1,1,1,1 n3", neutral + "31 colour 1,1,1,1 lightmap n3",
                          neutral + "32 colour 1,1,1,1 n3", neutral + "21 colour 1,1,1,1 n3"}));
    EXPECT_EQ(GLState(), neutral + "21 colour 1,1,1,1");
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_TRUE(modelview[12] == 1 && modelview[13] == 2 && modelview[14] == 3);
    glLoadIdentity();

    // The colour drawn in the middle of each square.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float side[3] = {1, 0, 0}, half[3] = {1, 0, 1};
    const struct
    {
        const char* shader; // "" for "$default"
        float x, y;
        const float* normal;
        bool gameLook, lighting, edgeOn;
        unsigned colour;
    } cases[] = {
        {"lit", -0.75f, 0.75f, side, true, true, false, LitGrey(1, 0, 0)},
        {"lit", -0.25f, 0.75f, half, true, true, false, LitGrey(1, 0, 1)},
        {"lit", 0.25f, 0.75f, side, true, false, false, 0xFFFFFF}, // lighting switched off
        {"lit", 0.75f, 0.75f, side, false, true, false, 0xFFFFFF},
        {"lit", -0.75f, 0.25f, nullptr, true, true, false, 0xFFFFFF}, // no normals
        {"", -0.25f, 0.25f, side, true, true, false, LitGrey(1, 0, 0)},
        {"const", 0.25f, 0.25f, nullptr, true, true, false, 0x336699},
        // Green over red: blending left on from the additive stage would make yellow.
        {"unknownblend", 0.75f, 0.25f, nullptr, true, true, false, 0x00FF00},
        {"sprite", -0.75f, -0.25f, nullptr, true, true, true, 0x0000FF}, // edge-on, turned to the eye
        {"sprite", -0.25f, -0.25f, nullptr, false, true, true, 0x000000},
    };
    for (const auto& c : cases)
    {
        gGameLook = c.gameLook;
        gTess.lighting = c.lighting;
        DrawSquare(*c.shader ? Shader(c.shader) : gShaderMgr.shaders[0], c.x, c.y, c.normal, c.edgeOn);
        gTess.lighting = true;
        unsigned char rgba[4];
        ReadTestPixel(static_cast<int>((c.x + 1) * 320), static_cast<int>((c.y + 1) * 240), rgba);
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(rgba[k], c.colour >> (16 - 8 * k) & 255, 3)
                << c.shader << " at " << c.x << ", " << c.y;
    }
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

    // Screen quads are never lit; reflection coordinates come from the normals and the modelview.
    gDraws.clear();
    gGameLook = true;
    gTess.Begin(&gShaderMgr.shaders[0]);
    gTess.AddQuad(0, 0, 10, 10);
    gTess.Flush();
    glTranslatef(0.5f, 0, -5);
    DrawSquare(Shader("env"), 0, 0, half, false, 1);
    ASSERT_EQ(gDraws.size(), 2u);
    EXPECT_EQ(gDraws[0].find(" lit"), std::string::npos) << gDraws[0];
    EXPECT_NE(gDraws[1].find("sphere 0 tex 0 colour 1,1,1,1 env"), std::string::npos) << gDraws[1];
    float normals[12], expected[4][2];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    for (int k = 0; k < 12; k++)
        normals[k] = half[k % 3];
    ReflectionCoords(modelview, 4, gTess.xyz, normals, expected);
    EXPECT_EQ(memcmp(gTess.envSt, expected, sizeof expected), 0);
    glLoadIdentity();
}
