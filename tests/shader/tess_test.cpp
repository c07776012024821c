// The geometry batch in a real GL context: quads and meshes in one batch, one draw per stage,
// flush on begin, culling, and faulty or oversized meshes refused with one message per cause.
#include "shadertest.h"
#include "fs/filemgr.h"
#include "support/testutil.h"

TEST_F(ShaderGLTest, BatchDrawsOncePerStage)
{
    ParseText("two\n{\ncull none\npolygonoffset\n{\nmap a\n}\n{\nmap b\nblendfunc add\n}\n}\n"
              "front\n{\ncull front\n{\nmap x\n}\n}\n");
    gTess.Begin(&Shader("two"));
    EXPECT_TRUE(!glIsEnabled(GL_CULL_FACE) && glIsEnabled(GL_POLYGON_OFFSET_FILL));
    // A screen quad in window pixels from the top left, turned to a bottom-left origin, then a
    // mesh whose indexes move past the quad's vertexes.
    gTess.AddQuad(0, 0, 640, 240);
    const uint32_t idx[6] = {0, 2, 1, 1, 2, 3};
    const float xyz[12] = {0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1}, st[8] = {0};
    gTess.AddMesh(6, 4, idx, xyz, st, nullptr, nullptr);
    std::vector<float> corners;
    for (int i = 0; i < 4; i++)
        corners.insert(corners.end(), {gTess.xyz[i][0], gTess.xyz[i][1], gTess.st[i][0], gTess.st[i][1]});
    EXPECT_EQ(corners, (std::vector<float>{0, 240, 0, 0, 640, 240, 1, 0, 0, 480, 0, 1, 640, 480, 1, 1}));
    EXPECT_EQ(std::vector<uint32_t>(gTess.indexes, gTess.indexes + 12),
              (std::vector<uint32_t>{0, 1, 2, 2, 1, 3, 4, 6, 5, 5, 6, 7}));
    // The next begin draws the batch with the old shader once per stage; "cull front" keeps back
    // faces culled, like "cull back" and no cull line.
    gTess.Begin(&Shader("front"));
    EXPECT_EQ(gDraws, (std::vector<std::string>{
                          "blend 0 alpha 0 depth 1 203 sphere 0 tex 0 colour 1,1,1,1 n12",
                          "blend 1 1,1 alpha 0 depth 0 203 sphere 0 tex 0 colour 1,1,1,1 n12"}));
    GLint side;
    glGetIntegerv(GL_CULL_FACE_MODE, &side);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && !glIsEnabled(GL_POLYGON_OFFSET_FILL) && side == GL_BACK);
    gTess.Begin(&Shader("two")); // the batch was emptied: nothing more to draw
    EXPECT_EQ(gDraws.size(), 2u);
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
    const struct
    {
        const char* shader;
        int indexes, vertexes;
        const uint32_t* list;
        int kept; // vertexes in the batch after the third addition
        const char* line;
    } cases[] = {
        {"drawn", 3, 2049, idx.data(), 0,
         "Tess:: mesh of 2049 vertexes and 3 indexes is larger than the batch"},
        {"drawn", 3, 3, nullptr, 0, "Tess:: mesh without indexes, positions or texture coordinates"},
        {"drawn", 3, 3, bad, 0, "Tess:: mesh index 3 out of range (3 vertexes), mesh dropped"},
        {"drawn", 3000, 3, idx.data(), 3, ""},
        {"empty", 3000, 3, idx.data(), 6,
         "Tess:: batch full under a shader without stages, geometry dropped"},
    };
    for (int pass = 1; pass <= 2; pass++)
        for (const auto& c : cases)
        {
            gDraws.clear();
            for (int frame = 0; frame < 100; frame++)
            {
                gTess.Begin(&Shader(c.shader));
                for (int k = 0; k < 3; k++)
                    gTess.AddMesh(c.indexes, c.vertexes, c.list, xyz.data(), st.data(), nullptr, nullptr);
                EXPECT_EQ(gTess.numVertexes, c.kept) << c.line;
                gTess.Reset();
            }
            EXPECT_EQ(gDraws.size(), *c.line ? 0u : 100u) << c.line; // drawn once before the third
            const std::string debug = log.Debug();
            int lines = 0;
            for (size_t at = debug.find(c.line); *c.line && at != std::string::npos;
                 at = debug.find(c.line, at + 1))
                lines++;
            EXPECT_EQ(lines, *c.line ? pass : 0) << c.line;
            gFileMgr.Reset(); // as when other archives are mounted
        }
}
