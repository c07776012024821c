// Every MD3 member of the real game archive loads whole and draws at every frame, when the test
// script has fetched the archive (its players and weapons are stepped through by the end-to-end
// script on real data).
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "model/md3.h"
#include "model/ressmgr.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/glcontext.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <strings.h>

TEST(RealModel, EveryMd3LoadsAndDrawsAtEveryFrame)
{
    const std::string folder = RealDataFolder();
    if (folder.empty())
        GTEST_SKIP() << "the real archive is not there";
    ASSERT_TRUE(OpenTestGLContext(160, 120)) << "no GL context: run under a display (xvfb-run)";
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    LogCapture log;
    gRessMgr.Reset();
    gFileMgr.Reset();
    gShaderMgr.Reset();
    gShaderMgr.Init();
    gTess.Reset();
    ASSERT_TRUE(gFileMgr.MountZip((folder + "/pak0.pk3").c_str()));
    // This archive has no models.shader; its other scripts give the models scripted shaders.
    std::vector<std::string> scripts;
    gFileMgr.Zips()[0]->list("scripts/*.shader", scripts);
    for (const std::string& name : scripts)
    {
        memfile_t script(("scripts/" + name).c_str(), "rb");
        gShaderMgr.ParseScript(script);
    }
    while (glGetError() != GL_NO_ERROR)
    {
    }
    int models = 0, frames = 0;
    for (const ZipEntry& e : gFileMgr.Zips()[0]->Entries())
    {
        if (e.name.size() < 4 || strcasecmp(e.name.c_str() + e.name.size() - 4, ".md3") != 0)
            continue;
        // Every surface is there with the triangles and vertices its header counts.
        memfile_t bytes(e.name.c_str(), "rb");
        auto le32 = [&bytes](uint32_t at)
        {
            uint32_t v = 0;
            if (at + 4 <= bytes.size)
                memcpy(&v, bytes.data + at, 4);
            return v;
        };
        uint32_t tris = 0, verts = 0;
        for (uint32_t s = 0, surf = le32(100); s < le32(84); s++, surf += le32(surf + 104))
            verts += le32(surf + 80), tris += le32(surf + 84);
        cMd3* m = gRessMgr.Load(e.name.c_str());
        ASSERT_NE(m, nullptr) << e.name;
        for (const sMd3Surface& s : m->surfaces)
            tris -= s.numIndices / 3, verts -= s.numVerts;
        EXPECT_TRUE(tris == 0 && verts == 0) << e.name;
        for (uint32_t f = 0; f < m->numFrames; f++)
            m->Render(f, f + 1 < m->numFrames ? f + 1 : 0, 0.5f);
        frames += m->numFrames, models++;
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << e.name;
    }
    EXPECT_EQ(models, 150);
    EXPECT_GT(frames, 1000);
    EXPECT_EQ(gRessMgr.Cache().size(), 150u);
    EXPECT_EQ(log.Debug().find("cMd3:: "), std::string::npos) << log.Debug();
    gTess.Reset();
    gShaderMgr.Reset();
    gRessMgr.Reset();
    gFileMgr.Reset();
}
