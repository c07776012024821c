// The geometry batch in a real GL context: quads, mesh offsets, draw counts, flush on begin,
// culling, deformations, the array bounds and the messages about faulty meshes.
#include "glfixture.h"
#include "fs/filemgr.h"
#include "support/testutil.h"

#include <cmath>

// A screen quad and a mesh in one batch: window pixels turned to a bottom-left origin, the
// mesh's indexes moved past the quad's vertexes, one draw per stage.
TEST_F(ShaderGLTest, QuadAndMeshOneDrawPerStage)
{
    glViewport(0, 0, 640, 480);
    Parse("two\n{\n{\nmap a\n}\n{\nmap b\nblendfunc add\n}\n}\n");
    gTess.Begin(&Shader("two"));
    gTess.AddMesh(0, 3, nullptr, nullptr, nullptr, nullptr, nullptr); // empty: changes nothing
    EXPECT_EQ(gTess.pending, TESS_EMPTY);
    gTess.AddQuad(0, 0, 640, 240);
    EXPECT_EQ(gTess.pending, TESS_PENDING);
    // x y z s t of each corner
    const std::vector<float> corners = {0, 240, 0, 0, 0, 640, 240, 0, 1, 0,
                                        0, 480, 0, 0, 1, 640, 480, 0, 1, 1};
    std::vector<float> got;
    for (int i = 0; i < 4; i++)
        got.insert(got.end(),
                   {gTess.xyz[i][0], gTess.xyz[i][1], gTess.xyz[i][2], gTess.st[i][0], gTess.st[i][1]});
    EXPECT_EQ(got, corners);
    const uint32_t idx[6] = {0, 2, 1, 1, 2, 3};
    const float xyz[12] = {0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1};
    const float st[8] = {0};
    gTess.AddMesh(6, 4, idx, xyz, st, nullptr, nullptr);
    EXPECT_EQ(gTess.xyz[7][2], 1.0f);
    gTess.Flush();
    ASSERT_EQ(Draws().size(), 2u);
    for (const sDrawRecord& d : Draws())
        EXPECT_EQ(d.indexes, (std::vector<uint32_t>{0, 1, 2, 2, 1, 3, 4, 6, 5, 5, 6, 7}));
    EXPECT_TRUE(gTess.numIndexes == 0 && gTess.numVertexes == 0 && gTess.pending == TESS_EMPTY);
}

TEST_F(ShaderGLTest, BeginDrawsPendingGeometryAndSetsCulling)
{
    Parse("old\n{\ncull none\npolygonoffset\n{\nblendfunc add\n}\n}\nnew\n{\ncull front\n{\nmap x\n}\n}\n");
    gTess.Begin(&Shader("old"));
    EXPECT_TRUE(!glIsEnabled(GL_CULL_FACE) && glIsEnabled(GL_POLYGON_OFFSET_FILL));
    AddTriangle();
    EXPECT_TRUE(Draws().empty());
    gTess.Begin(&Shader("new"));
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_TRUE(Draws()[0].blend);
    EXPECT_FALSE(Draws()[0].cullFace);
    EXPECT_EQ(gTess.pending, TESS_EMPTY);
    EXPECT_EQ(gTess.shader, &Shader("new"));
    // "cull front" keeps back faces culled, like "cull back" and no cull line.
    GLint side;
    glGetIntegerv(GL_CULL_FACE_MODE, &side);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && !glIsEnabled(GL_POLYGON_OFFSET_FILL) && side == GL_BACK);
    // An empty batch is not drawn again by the next begin.
    gTess.Begin(&Shader("old"));
    EXPECT_EQ(Draws().size(), 1u);
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
    // The next shader with stages draws what piled up, then empties the batch.
    gTess.Begin(&Shader("drawn"));
    EXPECT_EQ(Draws().size(), 1u);
    gTess.Flush();
    EXPECT_EQ(Draws().size(), 2u);
    EXPECT_EQ(gTess.numVertexes, 0);
}

// Faulty meshes are refused. Drawing repeats every frame, so each fault is written once per
// cause however often it comes, and once more after the file layer changes.
TEST_F(ShaderGLTest, BatchFaultsAreRefusedAndLoggedOncePerCause)
{
    LogCapture log;
    Parse("empty\n{\n}\ndrawn\n{\n{\nmap x\n}\n}\n");
    const std::vector<uint32_t> idx(3000, 0);
    const std::vector<float> xyz(3 * 3000, 0.0f), st(2 * 3000, 0.0f);
    const uint32_t bad[3] = {0, 1, 3};
    const struct
    {
        const char* shader;
        int indexes, vertexes;
        const uint32_t* list;
        int kept; // vertexes in the batch after the last addition
        const char* line;
    } cases[] = {
        {"drawn", 3, 2049, idx.data(), 0,
         "Tess:: mesh of 2049 vertexes and 3 indexes is larger than the batch"},
        {"drawn", 3, 3, nullptr, 0, "Tess:: mesh without indexes, positions or texture coordinates"},
        {"drawn", 3, 3, bad, 0, "Tess:: mesh index 3 out of range (3 vertexes), mesh dropped"},
        {"empty", 3000, 3, idx.data(), 6,
         "Tess:: batch full under a shader without stages, geometry dropped"},
    };
    for (int pass = 1; pass <= 2; pass++)
    {
        for (const auto& c : cases)
        {
            int kept = -1;
            for (int frame = 0; frame < 100; frame++)
            {
                gTess.Begin(&Shader(c.shader));
                gTess.AddMesh(c.indexes, c.vertexes, c.list, xyz.data(), st.data(), nullptr, nullptr);
                kept = gTess.numVertexes;
                gTess.Flush();
            }
            EXPECT_EQ(kept, c.kept) << c.line;
            const std::string debug = log.Debug();
            int lines = 0;
            for (size_t at = debug.find(c.line); at != std::string::npos; at = debug.find(c.line, at + 1))
                lines++;
            EXPECT_EQ(lines, pass) << c.line;
        }
        gTess.Reset();
        gFileMgr.Reset(); // as when other archives are mounted
    }
}
