// Every shader script of the real game archive parses, and a few known shaders come out right.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "shader/shadermgr.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace
{
const cShader* Get(const char* name)
{
    int i = gShaderMgr.Find(name);
    return i < 0 ? nullptr : &gShaderMgr.shaders[i];
}
} // namespace

TEST(ShaderRealData, EveryScriptOfTheArchiveParses)
{
    const std::string folder = RealDataFolder();
    if (folder.empty())
        GTEST_SKIP() << "real archive not present";
    gFileMgr.Reset();
    ASSERT_TRUE(gFileMgr.MountZip((folder + "/pak0.pk3").c_str()));
    std::vector<std::string> names;
    gFileMgr.Zips()[0]->list("scripts/*.shader", names);
    ASSERT_GE(names.size(), 50u);

    gShaderMgr.Reset();
    gShaderMgr.Init();
    for (const std::string& name : names)
    {
        memfile_t file(("scripts/" + name).c_str(), "rb");
        ASSERT_NE(file.data, nullptr) << name;
        EXPECT_TRUE(gShaderMgr.ParseScript(file)) << name;
        EXPECT_GT(file.position, 0u) << name;
    }
    EXPECT_GT(gShaderMgr.shaders.size(), 500u);

    const cShader* chrome = Get("models/weapons2/railgun/blackchrome");
    ASSERT_NE(chrome, nullptr);
    EXPECT_EQ(chrome->flags, SHADER_ENVIRONMENT | SHADER_COLORS);
    ASSERT_EQ(chrome->stages.size(), 1u);
    EXPECT_EQ(chrome->stages[0].flags, STAGE_TCGEN);
    EXPECT_EQ(chrome->stages[0].rgbGen, RGBGEN_LIGHTNINGDIFFUSE); // written "lightingDiffuse"
    EXPECT_EQ(chrome->stages[0].map, "models/weapons2/railgun/blackchrome.tga");

    const cShader* muzzle = Get("models/weapons2/railgun/muzzlecenter");
    ASSERT_NE(muzzle, nullptr);
    EXPECT_EQ(muzzle->flags, SHADER_AUTOSPRITE | SHADER_DEFORM | SHADER_TCMOD);
    ASSERT_EQ(muzzle->stages.size(), 2u);
    for (const cShaderStage& st : muzzle->stages)
    {
        EXPECT_EQ(st.flags, STAGE_CLAMP | STAGE_BLEND | STAGE_NODEPTHWRITE | STAGE_TCMOD);
        ASSERT_EQ(st.tcMods.size(), 1u);
        EXPECT_EQ(st.tcMods[0].type, TCMOD_ROTATE);
    }
    EXPECT_FLOAT_EQ(muzzle->stages[1].tcMods[0].params[0], -1246.0f);

    const cShader* bolt = Get("lightningBolt");
    ASSERT_NE(bolt, nullptr);
    EXPECT_EQ(bolt->flags, SHADER_CULL_NONE | SHADER_TCMOD);
    ASSERT_EQ(bolt->stages.size(), 2u);
    EXPECT_EQ(bolt->stages[1].flags, STAGE_ANIMMAP | STAGE_BLEND | STAGE_NODEPTHWRITE | STAGE_TCMOD);
    EXPECT_DOUBLE_EQ(bolt->stages[1].anim.frequency, 40.0);
    ASSERT_EQ(bolt->stages[1].anim.names.size(), 8u);
    EXPECT_EQ(bolt->stages[1].anim.names[0], "textures/oafx/lbeam8.tga");

    gShaderMgr.Reset();
    gFileMgr.Reset();
}
