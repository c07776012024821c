// Drawing under the game look in a real GL context: the model light, constant colours, stages
// with an unknown blend factor, sprites turned to the camera and reflection coordinates.
#include "glfixture.h"
#include "platform/gamelook.h"
#include "shader/viewgeom.h"

#include <algorithm>
#include <cmath>

namespace
{
class GameLookTest : public ShaderGLTest
{
  protected:
    void SetUp() override
    {
        ShaderGLTest::SetUp();
        glViewport(0, 0, 640, 480);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void TearDown() override
    {
        gGameLook = false;
        gTess.lighting = true;
        ShaderGLTest::TearDown();
    }

    // A square of half size h around (x, y) at depth 0, front towards the eye, or edge-on
    // (lying in the plane y = const, front up). Every vertex gets normal n, or none.
    void DrawSquare(const cShader& shader, float x, float y, float h, const float* n, bool edgeOn = false)
    {
        const uint32_t idx[6] = {0, 1, 2, 2, 1, 3};
        float xyz[12] = {x - h, y - h, 0, x + h, y - h, 0, x - h, y + h, 0, x + h, y + h, 0};
        if (edgeOn)
            for (int k = 0; k < 4; k++)
                xyz[k * 3 + 2] = xyz[k * 3 + 1] - y, xyz[k * 3 + 1] = y;
        const float st[8] = {0, 0, 1, 0, 0, 1, 1, 1};
        float normals[12];
        for (int k = 0; k < 12; k++)
            normals[k] = n ? n[k % 3] : 0.0f;
        gTess.Begin(&shader);
        gTess.AddMesh(6, 4, idx, xyz, st, n ? normals : nullptr, nullptr);
        gTess.Flush();
    }

    // The colour at a point given in the GL's -1..1 window coordinates.
    std::vector<int> Pixel(float x, float y)
    {
        unsigned char rgba[4];
        glFinish();
        glReadPixels(static_cast<GLint>((x + 1) * 320), static_cast<GLint>((y + 1) * 240), 1, 1, GL_RGBA,
                     GL_UNSIGNED_BYTE, rgba);
        return {rgba[0], rgba[1], rgba[2]};
    }
};

// Grey level of the model light on a normal given in eye space.
int LitGrey(float x, float y, float z)
{
    const float len = std::sqrt(x * x + y * y + z * z);
    const float d =
        (x * TESS_LIGHT_DIRECTION[0] + y * TESS_LIGHT_DIRECTION[1] + z * TESS_LIGHT_DIRECTION[2]) / len;
    return static_cast<int>(
        std::lround(255 * std::min(1.0f, TESS_LIGHT_AMBIENT + TESS_LIGHT_DIFFUSE * std::max(0.0f, d))));
}

void ExpectColour(const std::vector<int>& got, std::vector<int> expected, const char* what)
{
    for (int k = 0; k < 3; k++)
        EXPECT_NEAR(got[k], expected[k], 3) << what << ", channel " << k;
}
} // namespace

TEST_F(GameLookTest, LightColoursBlendingSpritesAndReflections)
{
    Parse("lit\n{\n{\nrgbGen lightingDiffuse\n}\n}\n"
          "const\n{\n{\nrgbGen const ( 0.2 0.4 0.6 )\n}\n}\n"
          "unknownblend\n{\n{\nrgbGen const (1 0 0)\nblendfunc add\n}\n"
          "{\nrgbGen const (0 1 0)\nblendFunc GL_BOGUS GL_ONE\n}\n}\n"
          "sprite\n{\ndeformVertexes autosprite\n{\nrgbGen const ( 0 0 1 )\n}\n}\n"
          "env\n{\n{\ntcGen environment\n}\n}\n");
    const float facing[3] = {0, 0, 1}, side[3] = {1, 0, 0}, half[3] = {1, 0, 1};
    struct sCase
    {
        const char* what;
        const char* shader; // "" for "$default"
        float x, y;
        const float* normal;
        bool gameLook, lighting, edgeOn;
        std::vector<int> colour;
    };
    const int grey = LitGrey(1, 0, 0), halfGrey = LitGrey(1, 0, 1);
    const sCase cases[] = {
        {"lit, facing the light", "lit", -0.75f, 0.75f, facing, true, true, false, {255, 255, 255}},
        {"lit, side on", "lit", -0.25f, 0.75f, side, true, true, false, {grey, grey, grey}},
        {"lit, half turned", "lit", 0.25f, 0.75f, half, true, true, false, {halfGrey, halfGrey, halfGrey}},
        {"lighting switched off", "lit", 0.75f, 0.75f, side, true, false, false, {255, 255, 255}},
        {"plain look", "lit", -0.75f, 0.25f, side, false, true, false, {255, 255, 255}},
        {"no normals", "lit", -0.25f, 0.25f, nullptr, true, true, false, {255, 255, 255}},
        {"$default is lit", "", 0.25f, 0.25f, side, true, true, false, {grey, grey, grey}},
        {"const colour", "const", 0.75f, 0.25f, nullptr, true, true, false, {51, 102, 153}},
        {"const colour, plain look", "const", -0.75f, -0.25f, nullptr, false, true, false, {255, 255, 255}},
        // Green over red: blending left on from the additive stage before would make yellow.
        {"unknown blend draws unblended",
         "unknownblend",
         -0.25f,
         -0.25f,
         nullptr,
         true,
         true,
         false,
         {0, 255, 0}},
        {"edge-on sprite faces the eye", "sprite", 0.75f, -0.25f, nullptr, true, true, true, {0, 0, 255}},
        {"edge-on sprite, plain look", "sprite", -0.75f, -0.75f, nullptr, false, true, true, {0, 0, 0}},
    };
    for (const sCase& c : cases)
    {
        gGameLook = c.gameLook;
        gTess.lighting = c.lighting;
        DrawSquare(*c.shader ? Shader(c.shader) : gShaderMgr.shaders[0], c.x, c.y, 0.2f, c.normal, c.edgeOn);
        ExpectColour(Pixel(c.x, c.y), c.colour, c.what);
        Draws().clear();
    }
    GLboolean lightingLeftOn = GL_TRUE;
    glGetBooleanv(GL_LIGHTING, &lightingLeftOn);
    EXPECT_FALSE(lightingLeftOn);

    // Screen quads are never lit.
    gGameLook = true;
    gTess.Begin(&gShaderMgr.shaders[0]);
    gTess.AddQuad(0, 0, 10, 10);
    gTess.Flush();
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_FALSE(Draws()[0].lighting);

    // Reflection coordinates come from the normals and the modelview of the mesh.
    glTranslatef(0.5f, 0, -5);
    DrawSquare(Shader("env"), 0, 0, 1, half);
    ASSERT_EQ(Draws().size(), 2u);
    EXPECT_EQ(Draws()[1].coordPointer, static_cast<const void*>(gTess.envSt));
    EXPECT_FALSE(Draws()[1].genS);
    float modelview[16], normals[12], expected[4][2];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    for (int k = 0; k < 12; k++)
        normals[k] = half[k % 3];
    ReflectionCoords(modelview, 4, gTess.xyz, normals, expected);
    for (int k = 0; k < 4; k++)
        EXPECT_TRUE(gTess.envSt[k][0] == expected[k][0] && gTess.envSt[k][1] == expected[k][1]) << k;
    EXPECT_GT(gTess.envSt[0][0], 0.6f);
    glLoadIdentity();
}
