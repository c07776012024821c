#include "shadertest.h"
#include "fs/filemgr.h"
#include "support/testutil.h"

#include <tuple>

namespace
{
// A square of half size 0.2 around (x, y) facing the eye, or edge-on; every vertex gets normal n.
void DrawSquare(const cShader& shader, float x, float y, const float* n, bool edgeOn = false)
{
    const float h = 0.2f;
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
} // namespace

TEST_F(ShaderGLTest, StagesDrawWithTheirStateAndTheGameLookLight)
{
    ParseText("s\n{\n{\nblendfunc add\n}\n{\nanimmap 2 a b c d\n}\n{\nmap $lightmap\n}\n{\nmap plain\n}\n}\n"
              "unknownblend\n{\n{\nrgbGen const (1 0 0)\n"
              "blendfunc add\n}\n{\nrgbGen const (0 1 0)\nblendFunc GL_BOGUS GL_ONE\n}\n}\n" +
              Blocks("lit=rgbGen lightingDiffuse|const=rgbGen const ( 0.2 0.4 0.6 )|env=tcGen environment|"
                     "sprite=deformVertexes autosprite;rgbGen const ( 0 0 1 )"));
    cShader& s = gShaderMgr.shaders[gShaderMgr.Find("s")];
    s.stages[1].anim.textures = {11, 12, 13, 14};
    s.stages[3].texture = 21;
    gTess.lightmapTexture = 31;
    SetFakeClock(1.25);
    DrawSquare(s, 0, 0, nullptr);
    gTess.lightmapTexture = 0; // blending and depth writes end with their stage
    gDraws.push_back(GLState());
    EXPECT_EQ(gDraws, (std::vector<std::string>{"blend 1 write 0 tex 0 n6", "blend 0 write 1 tex 13 n6",
                                                "blend 0 write 1 tex 31 lightmap n6",
                                                "blend 0 write 1 tex 21 n6", "blend 0 write 1 tex 21"}));

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float side[3] = {1, 0, 0}, half[3] = {1, 0, 1};
    const std::tuple<const char*, float, float, const float*, bool, bool, bool, unsigned> cases[] = {
        {"lit", -0.75f, 0.75f, side, true, true, false, 0x666666},
        {"lit", -0.25f, 0.75f, half, true, true, false, 0xD7D7D7},
        {"lit", 0.25f, 0.75f, side, true, false, false, 0xFFFFFF}, // lighting switched off
        {"lit", 0.75f, 0.75f, side, false, true, false, 0xFFFFFF},
        {"lit", -0.75f, 0.25f, nullptr, true, true, false, 0xFFFFFF}, // no normals
        {"const", 0.25f, 0.25f, nullptr, true, true, false, 0x336699},
        // Green over red: blending left on from the additive stage would make yellow.
        {"unknownblend", 0.75f, 0.25f, nullptr, true, true, false, 0x00FF00},
        {"sprite", -0.75f, -0.25f, nullptr, true, true, true, 0x0000FF}, // edge-on, turned to the eye
        {"sprite", -0.25f, -0.25f, nullptr, false, true, true, 0x000000},
    };
    for (const auto& [shader, x, y, normal, gameLook, lighting, edgeOn, colour] : cases)
    {
        gGameLook = gameLook;
        gTess.lighting = lighting;
        DrawSquare(*shader ? Shader(shader) : gShaderMgr.shaders[0], x, y, normal, edgeOn);
        gTess.lighting = true;
        unsigned char rgba[4];
        ReadTestPixel(static_cast<int>((x + 1) * 320), static_cast<int>((y + 1) * 240), rgba);
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(rgba[k], colour >> (16 - 8 * k) & 255, 3) << shader << " at " << x << ", " << y;
    }
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

    gDraws.clear(); // screen quads are never lit
    gGameLook = true;
    gTess.Begin(&gShaderMgr.shaders[0]);
    gTess.AddQuad(0, 0, 10, 10);
    gTess.Flush();
    DrawSquare(Shader("env"), 0, 0, half);
    EXPECT_EQ(gDraws, (std::vector<std::string>{"blend 0 write 1 tex 0 n6", "blend 0 write 1 tex 0 env n6"}));
}

// Faulty meshes are refused; additions that pass the index limit draw the batch first, and under
// a shader without stages, which draws nothing, they stop at the limits. Drawing repeats every
// frame, so each fault is written once per cause, and once more after the file layer changes.
TEST_F(ShaderGLTest, BatchStaysBoundedAndLogsEachFaultOnce)
{
    LogCapture log;
    ParseText("empty\n{\n}\ndrawn\n{\n{\nmap x\n}\n}\n");
    const std::vector<uint32_t> idx(3000, 0);
    const std::vector<float> xyz(3 * 3000, 0.0f), st(2 * 3000, 0.0f);
    const uint32_t bad[3] = {0, 1, 3};
    const std::tuple<const char*, int, int, const uint32_t*, int, const char*> cases[] = {
        {"drawn", 3, 2049, idx.data(), 0,
         "mesh of 2049 vertexes and 3 indexes is larger than the batch, dropped"},
        {"drawn", 3, 3, nullptr, 0, "mesh without indexes, positions or texture coordinates, dropped"},
        {"drawn", 3, 3, bad, 0, "mesh index 3 out of range (3 vertexes), mesh dropped"},
        {"drawn", 3000, 3, idx.data(), 3, ""},
        {"empty", 3000, 3, idx.data(), 6, "batch full under a shader without stages, geometry dropped"},
    };
    for (int pass = 1; pass <= 2; pass++)
        for (const auto& [shader, indexes, vertexes, list, kept, line] : cases)
        {
            gDraws.clear();
            const size_t mark = log.Debug().size();
            for (int frame = 0; frame < 100; frame++, gTess.Reset())
            {
                gTess.Begin(&Shader(shader));
                for (int k = 0; k < 3; k++)
                    gTess.AddMesh(indexes, vertexes, list, xyz.data(), st.data(), nullptr, nullptr);
                EXPECT_EQ(gTess.numVertexes, kept) << line;
            }
            EXPECT_EQ(gDraws.size(), *line ? 0u : 100u) << line; // drawn once before the third
            EXPECT_EQ(log.Debug().substr(mark), *line ? "Tess:: " + std::string(line) + " \n" : "");
            gFileMgr.Reset(); // as when other archives are mounted
        }
}
