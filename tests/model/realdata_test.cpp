// Players, weapons and every MD3 member of the real game archive, when the test script has
// fetched it.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/glcontext.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace
{
uint32_t Le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Triangles and vertices of one file, summed straight from its surface headers.
void HeaderTotals(const char* path, int& tris, int& verts)
{
    FileEntry* e = gFileMgr.find(path, "rb");
    ASSERT_NE(e, nullptr) << path;
    const unsigned char* d = e->data.get();
    for (uint32_t s = 0, n = Le32(d + 84), surf = Le32(d + 100); s < n; s++, surf += Le32(d + surf + 104))
    {
        verts += Le32(d + surf + 80);
        tris += Le32(d + surf + 84);
    }
}

class RealModelTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        folder = RealDataFolder();
        if (folder.empty())
            GTEST_SKIP() << "the real archive is not there";
        gRessMgr.Reset();
        gFileMgr.Reset();
        ASSERT_TRUE(gFileMgr.MountZip((folder + "/pak0.pk3").c_str()));
    }
    void TearDown() override
    {
        gRessMgr.Reset();
        gFileMgr.Reset();
    }

    std::string folder;
    LogCapture log;
};
} // namespace

TEST_F(RealModelTest, PlayersLoadWithPartsSkinsAndAnimations)
{
    cModelQ3 sarge, sorceress, grism;
    ASSERT_TRUE(sarge.Load("models/players/sarge"));
    ASSERT_TRUE(sorceress.Load("models/players/sorceress"));
    EXPECT_FALSE(grism.Load("models/players/grism"));
    EXPECT_NE(log.Debug().find("CRessMgr:: models/players/grism/lower.md3 ressource loading failed!"),
              std::string::npos);
    EXPECT_EQ(log.Debug().find("cModelQ3:: "), std::string::npos) << log.Debug();

    EXPECT_EQ(sarge.skinCount, 7u);
    EXPECT_STREQ(sarge.skinNames[0], "default");
    ASSERT_EQ(sorceress.skinCount, 3u);
    EXPECT_STREQ(sorceress.skinNames[1], "blue");
    EXPECT_STREQ(sorceress.skinNames[2], "red");
    EXPECT_NE(std::find(sarge.lower->links.begin(), sarge.lower->links.end(), sarge.upper),
              sarge.lower->links.end());
}

TEST_F(RealModelTest, WeaponsLoadWithTheirBarrelsAndFlashes)
{
    struct
    {
        const char* name;
        bool barrel, flash;
    } weapons[] = {{"bfg", true, true},        {"gauntlet", true, false},  {"grenadel", false, true},
                   {"lightning", false, true}, {"machinegun", true, true}, {"plasma", false, true},
                   {"railgun", false, true},   {"rocketl", false, true},   {"shotgun", false, true}};
    for (const auto& w : weapons)
    {
        cWeaponQ3 weapon;
        ASSERT_TRUE(weapon.Load((std::string("models/weapons2/") + w.name).c_str())) << w.name;
        EXPECT_EQ(weapon.barrel != nullptr, w.barrel) << w.name;
        EXPECT_EQ(weapon.flash != nullptr, w.flash) << w.name;
        // Each part present hangs on the main part.
        const std::vector<cMd3*>& links = weapon.main->links;
        for (cMd3* part : {weapon.barrel, weapon.flash})
            EXPECT_TRUE(!part || std::find(links.begin(), links.end(), part) != links.end()) << w.name;
    }
    cWeaponQ3 shells;
    EXPECT_FALSE(shells.Load("models/weapons2/shells"));
    EXPECT_NE(log.Debug().find("CRessMgr:: models/weapons2/shells/shells.md3 ressource loading failed!"),
              std::string::npos);
    EXPECT_TRUE(gRessMgr.Cache().empty());
}

TEST_F(RealModelTest, EveryMd3LoadsAndDrawsAtEveryFrame)
{
    ASSERT_TRUE(OpenTestGLContext(160, 120)) << "no GL context: run under a display (xvfb-run)";
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    gShaderMgr.Reset();
    gShaderMgr.Init();
    gTess.Reset();
    // This archive has no models.shader; its other scripts give the models scripted shaders.
    std::vector<std::string> scripts;
    gFileMgr.Zips()[0]->list("scripts/*.shader", scripts);
    EXPECT_GT(scripts.size(), 10u);
    for (const std::string& name : scripts)
    {
        memfile_t script(("scripts/" + name).c_str(), "rb");
        EXPECT_TRUE(gShaderMgr.ParseScript(script)) << name;
    }
    while (glGetError() != GL_NO_ERROR)
    {
    }

    std::vector<std::string> paths;
    for (const ZipEntry& e : gFileMgr.Zips()[0]->Entries())
        if (e.name.size() > 4 && strcasecmp(e.name.c_str() + e.name.size() - 4, ".md3") == 0)
            paths.push_back(e.name);
    EXPECT_EQ(paths.size(), 150u);
    int frames = 0;
    for (const std::string& path : paths)
    {
        cMd3* m = gRessMgr.Load(path.c_str());
        ASSERT_NE(m, nullptr) << path;
        // Every surface is there with the triangles and vertices its header counts.
        int tris = 0, verts = 0;
        HeaderTotals(path.c_str(), tris, verts);
        for (const sMd3Surface& s : m->surfaces)
        {
            tris -= s.numIndices / 3;
            verts -= s.numVerts;
        }
        EXPECT_TRUE(tris == 0 && verts == 0) << path;
        for (uint32_t f = 0; f < m->numFrames; f++)
            m->Render(f, f + 1 < m->numFrames ? f + 1 : 0, 0.5f);
        frames += m->numFrames;
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << path;
    }
    EXPECT_GT(frames, 1000);
    EXPECT_EQ(gRessMgr.Cache().size(), 150u);
    EXPECT_EQ(log.Debug().find("cMd3:: "), std::string::npos) << log.Debug();
    gTess.Reset();
    gShaderMgr.Reset();
}
