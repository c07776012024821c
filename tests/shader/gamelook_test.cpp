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

    // The colour (0xRRGGBB) at a point given in the GL's -1..1 window coordinates.
    unsigned Pixel(float x, float y)
    {
        unsigned char rgba[4];
        glFinish();
        glReadPixels(static_cast<GLint>((x + 1) * 320), static_cast<GLint>((y + 1) * 240), 1, 1, GL_RGBA,
                     GL_UNSIGNED_BYTE, rgba);
        return rgba[0] << 16 | rgba[1] << 8 | rgba[2];
    }
};

// The grey (0xRRGGBB) of the model light on a white surface with this eye-space normal.
unsigned LitGrey(float x, float y, float z)
{
    const float* l = TESS_LIGHT_DIRECTION;
    const float d = (x * l[0] + y * l[1] + z * l[2]) / std::sqrt(x * x + y * y + z * z);
    const float v = std::min(1.0f, TESS_LIGHT_AMBIENT + TESS_LIGHT_DIFFUSE * std::max(0.0f, d));
    return static_cast<unsigned>(std::lround(255 * v)) * 0x010101u;
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
        const char* shader; // "" for "$default"
        float x, y;
        const float* normal;
        bool gameLook, lighting, edgeOn;
        unsigned colour;
    };
    const unsigned white = 0xFFFFFF, grey = LitGrey(1, 0, 0);
    const sCase cases[] = {
        {"lit", -0.75f, 0.75f, facing, true, true, false, white}, // clamped at full light
        {"lit", -0.25f, 0.75f, side, true, true, false, grey},
        {"lit", 0.25f, 0.75f, half, true, true, false, LitGrey(1, 0, 1)},
        {"lit", 0.75f, 0.75f, side, true, false, false, white}, // lighting switched off
        {"lit", -0.75f, 0.25f, side, false, true, false, white},
        {"lit", -0.25f, 0.25f, nullptr, true, true, false, white}, // no normals
        {"", 0.25f, 0.25f, side, true, true, false, grey},
        {"const", 0.75f, 0.25f, nullptr, true, true, false, 0x336699},
        {"const", -0.75f, -0.25f, nullptr, false, true, false, white},
        // Green over red: blending left on from the additive stage would make yellow.
        {"unknownblend", -0.25f, -0.25f, nullptr, true, true, false, 0x00FF00},
        {"sprite", 0.75f, -0.25f, nullptr, true, true, true, 0x0000FF}, // edge-on, turned to the eye
        {"sprite", -0.75f, -0.75f, nullptr, false, true, true, 0x000000},
    };
    for (const sCase& c : cases)
    {
        gGameLook = c.gameLook;
        gTess.lighting = c.lighting;
        DrawSquare(*c.shader ? Shader(c.shader) : gShaderMgr.shaders[0], c.x, c.y, 0.2f, c.normal, c.edgeOn);
        const unsigned got = Pixel(c.x, c.y);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(got >> shift & 255, c.colour >> shift & 255, 3)
                << c.shader << " at " << c.x << ", " << c.y << ": " << std::hex << got;
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
