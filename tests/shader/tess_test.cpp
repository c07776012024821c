// The geometry batch in a real GL context: quads, mesh offsets, draw counts, flush on begin,
// culling, deformations and the array bounds.
#include "glfixture.h"
#include "support/testutil.h"

#include <cmath>

TEST_F(ShaderGLTest, QuadInWindowPixels)
{
    glViewport(0, 0, 640, 480);
    Parse("console\n{\n{\nmap gfx/console.tga\n}\n}\n");
    gTess.Begin(&Shader("console"));
    gTess.AddQuad(0, 0, 640, 240);
    EXPECT_EQ(gTess.pending, TESS_PENDING);
    ASSERT_EQ(gTess.numVertexes, 4);
    ASSERT_EQ(gTess.numIndexes, 6);
    // x y z s t of each corner, and the two triangles
    const std::vector<float> corners = {0, 240, 0, 0, 0, 640, 240, 0, 1, 0,
                                        0, 480, 0, 0, 1, 640, 480, 0, 1, 1};
    std::vector<float> got;
    for (int i = 0; i < 4; i++)
        got.insert(got.end(),
                   {gTess.xyz[i][0], gTess.xyz[i][1], gTess.xyz[i][2], gTess.st[i][0], gTess.st[i][1]});
    EXPECT_EQ(got, corners);
    EXPECT_EQ(std::vector<uint32_t>(gTess.indexes, gTess.indexes + 6),
              (std::vector<uint32_t>{0, 1, 2, 2, 1, 3}));
}

TEST_F(ShaderGLTest, TwoMeshesOneDrawPerStage)
{
    Parse("two\n{\n{\nmap a\n}\n{\nmap b\nblendfunc add\n}\n}\n");
    gTess.Begin(&Shader("two"));
    gTess.AddMesh(0, 3, nullptr, nullptr, nullptr, nullptr, nullptr); // empty: changes nothing
    EXPECT_EQ(gTess.pending, TESS_EMPTY);
    AddTriangle();
    const uint32_t idx[6] = {0, 2, 1, 1, 2, 3};
    const float xyz[12] = {0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1};
    const float st[8] = {0};
    gTess.AddMesh(6, 4, idx, xyz, st, nullptr, nullptr);
    gTess.Flush();
    ASSERT_EQ(Draws().size(), 2u);
    const std::vector<uint32_t> expected = {0, 1, 2, 3, 5, 4, 4, 5, 6};
    for (const sDrawRecord& d : Draws())
    {
        EXPECT_EQ(d.count, 9);
        EXPECT_EQ(d.indexes, expected);
    }
    EXPECT_TRUE(gTess.numIndexes == 0 && gTess.numVertexes == 0 && gTess.pending == TESS_EMPTY);
    EXPECT_EQ(gTess.xyz[6][2], 1.0f);
}

TEST_F(ShaderGLTest, BeginDrawsPendingGeometryWithTheOldShader)
{
    Parse("old\n{\ncull none\n{\nblendfunc add\n}\n}\nnew\n{\n{\nmap x\n}\n}\n");
    gTess.Begin(&Shader("old"));
    AddTriangle();
    EXPECT_TRUE(Draws().empty());
    gTess.Begin(&Shader("new"));
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_TRUE(Draws()[0].blend);
    EXPECT_FALSE(Draws()[0].cullFace);
    EXPECT_EQ(gTess.pending, TESS_EMPTY);
    EXPECT_EQ(gTess.shader, &Shader("new"));
    // An empty batch is not drawn again by the next begin.
    gTess.Begin(&Shader("old"));
    EXPECT_EQ(Draws().size(), 1u);
}

TEST_F(ShaderGLTest, CullingAndPolygonOffset)
{
    Parse("none\n{\ncull twosided\npolygonoffset\n}\nback\n{\ncull back\n}\nfront\n{\ncull front\n}\n");
    for (const char* name : {"none", "back", "front"})
    {
        gTess.Begin(&Shader(name));
        const bool none = std::string(name) == "none";
        EXPECT_EQ(glIsEnabled(GL_CULL_FACE), !none) << name;
        EXPECT_EQ(glIsEnabled(GL_POLYGON_OFFSET_FILL), none) << name;
        GLint side;
        glGetIntegerv(GL_CULL_FACE_MODE, &side);
        EXPECT_EQ(side, GL_BACK) << name;
    }
}

TEST_F(ShaderGLTest, DeformMoveAndWave)
{
    Parse("move\n{\ndeformvertexes move 0 0 3 sin 0 1 0 1\n{\nmap x\n}\n}\n"
          "wave\n{\ndeformvertexes wave 100 sin 0 2 0 1\n{\nmap x\n}\n}\n"
          "normal\n{\ndeformvertexes normal 100 sin 0 2 0 1\n{\nmap x\n}\n}\n");
    const uint32_t idx[3] = {0, 1, 2};
    const float xyz[9] = {0, 0, 0, 100, 0, 0, 50, 0, 0};
    const float normals[9] = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    const float st[6] = {0};

    // The whole mesh moves up and down along z by up to 3 units once per second.
    gTess.Begin(&Shader("move"));
    SetFakeClock(0.25);
    gTess.AddMesh(3, 3, idx, xyz, st, nullptr, nullptr);
    SetFakeClock(0.75);
    gTess.AddMesh(3, 3, idx, xyz, st, nullptr, nullptr);
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(std::fabs(gTess.xyz[i][2] - 3) < 1e-4 && std::fabs(gTess.xyz[3 + i][2] + 3) < 1e-4 &&
                    gTess.xyz[i][0] == xyz[i * 3])
            << i;
    gTess.Reset();

    // Along the normals; coordinate sums 100 apart are a whole period apart, 50 apart half.
    gTess.Begin(&Shader("wave"));
    SetFakeClock(0.25);
    gTess.AddMesh(3, 3, idx, xyz, st, normals, nullptr);
    EXPECT_NEAR(gTess.xyz[0][2], 2.0f, 1e-4);
    EXPECT_NEAR(gTess.xyz[1][2], gTess.xyz[0][2], 1e-4);
    EXPECT_NEAR(gTess.xyz[2][2], -2.0f, 1e-4);
    EXPECT_EQ(gTess.xyz[1][0], 100.0f);
    // Without normals, and for the normal deformation, the mesh stays as it is.
    gTess.AddMesh(3, 3, idx, xyz, st, nullptr, nullptr);
    gTess.Begin(&Shader("normal"));
    gTess.AddMesh(3, 3, idx, xyz, st, normals, nullptr);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(gTess.xyz[i][2], 0.0f) << i;
}

TEST_F(ShaderGLTest, BatchNeverOverflows)
{
    LogCapture log;
    Parse("empty\n{\n}\ndrawn\n{\n{\nmap x\n}\n}\n");
    std::vector<uint32_t> idx(3000);
    for (size_t i = 0; i < idx.size(); i++)
        idx[i] = static_cast<uint32_t>(i % 3);
    std::vector<float> xyz(3 * 3000, 0.0f), st(2 * 3000, 0.0f);

    // Only the index limit would be passed: the batch is drawn first.
    gTess.Begin(&Shader("drawn"));
    gTess.AddMesh(3000, 3, idx.data(), xyz.data(), st.data(), nullptr, nullptr);
    gTess.AddMesh(3000, 3, idx.data(), xyz.data(), st.data(), nullptr, nullptr);
    EXPECT_TRUE(Draws().empty());
    gTess.AddMesh(3000, 3, idx.data(), xyz.data(), st.data(), nullptr, nullptr);
    EXPECT_EQ(Draws().size(), 1u);
    EXPECT_EQ(gTess.numIndexes, 3000);
    EXPECT_EQ(gTess.indexes[0], 0u);

    // A mesh larger than the whole batch, or with an index past its vertexes, is refused.
    gTess.AddMesh(3, 3000, idx.data(), xyz.data(), st.data(), nullptr, nullptr);
    const uint32_t bad[3] = {0, 1, 3};
    gTess.AddMesh(3, 3, bad, xyz.data(), st.data(), nullptr, nullptr);
    EXPECT_EQ(gTess.numVertexes, 3);
    EXPECT_NE(log.Debug().find("Tess:: mesh of 3000 vertexes and 3 indexes is larger than the batch"),
              std::string::npos);
    EXPECT_NE(log.Debug().find("Tess:: mesh index 3 out of range"), std::string::npos);
    gTess.Reset();

    // Under a shader without stages nothing is drawn or emptied; additions stop at the limits.
    gTess.Begin(&Shader("empty"));
    for (int i = 0; i < 2000; i++)
    {
        AddTriangle();
        gTess.AddQuad(0, 0, 1, 1);
        gTess.Flush();
    }
    EXPECT_TRUE(gTess.numVertexes <= TESS_MAX_VERTEXES && gTess.numIndexes <= TESS_MAX_INDEXES);
    EXPECT_GT(gTess.numVertexes, TESS_MAX_VERTEXES - 7);
    EXPECT_EQ(Draws().size(), 1u);
    const std::string debug = log.Debug();
    const std::string full = "Tess:: batch full under a shader without stages";
    ASSERT_NE(debug.find(full), std::string::npos);
    EXPECT_EQ(debug.find(full, debug.find(full) + 1), std::string::npos); // said once

    // The next shader with stages draws what piled up, then empties the batch.
    gTess.Begin(&Shader("drawn"));
    EXPECT_EQ(Draws().size(), 1u);
    gTess.Flush();
    EXPECT_EQ(Draws().size(), 2u);
    EXPECT_EQ(gTess.numVertexes, 0);
}
