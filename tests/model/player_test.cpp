// Player models from an archive written by the test: parts, tags, animations and skins.
#include "fs/filemgr.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "platform/clock.h"
#include "support/md3builder.h"
#include "support/recordingdrawer.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
std::vector<unsigned char> Part(const char* surface, std::vector<std::string> shaders,
                                std::vector<std::string> tags, int frames = 4)
{
    Md3Builder b(frames);
    for (const std::string& t : tags)
        b.AddTag(t);
    Md3Builder::Surface& s = b.AddSurface(surface, 3);
    s.shaders = shaders;
    s.triangles = {0, 1, 2};
    return b.Build();
}

const char* ANIMS = "// test player\n"
                    "0\t4\t0\t8\t\t// BOTH_DEATH1\n"
                    "1\t3\t0\t8\t\t// TORSO_GESTURE\n"
                    "2\t2\t0\t8\t\t// TORSO_STAND\n"
                    "1\t3\t0\t8\t\t// LEGS_WALKCR\n"
                    "2\t2\t0\t8\t\t// LEGS_IDLE\n";

class PlayerTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        gRessMgr.Reset();
        gFileMgr.Reset();
        const std::string d = "models/players/tst/";
        zip.AddDir(d);
        zip.AddFile(d + "lower.md3", Part("l_legs", {"xlegs.tga"}, {"tag_torso"}), true);
        zip.AddFile(d + "upper.md3", Part("u_torso", {"xa.tga", "xb.tga"}, {"tag_head", "tag_weapon"}));
        zip.AddFile(d + "head.md3", Part("h_head", {"xhead.tga"}, {"tag_head"}, 1));
        zip.AddFile(d + "animation.cfg", std::string(ANIMS));
        zip.AddFile(d + "lower_default.skin", std::string("l_legs,never.tga\n"));
        zip.AddFile(d + "lower_red.skin", std::string("l_legs,red_legs.tga\r\ntag_torso,\nl_gone,zz.tga\n"));
        zip.AddFile(d + "lower_blue.skin", std::string("l_LEGS,blue_legs.tga,extra\n"));
        zip.AddFile(d + "upper_red.skin", std::string("u_torso,red_torso.tga\nh_head,wrong_part.tga\n"));
        zip.AddFile(d + "upper_blue.skin", std::string("u_torso,blue_torso.tga\n"));
        zip.AddFile(d + "head_blue.skin", std::string("h_head,blue_head.tga\ntag_head,x\nh_head,\n"));
    }
    void TearDown() override
    {
        gRessMgr.Reset();
        gFileMgr.Reset();
        ClearFakeClock();
    }
    void Mount()
    {
        ASSERT_TRUE(zip.Write(dir.File("test.pk3")));
        ASSERT_TRUE(gFileMgr.MountZip(dir.File("test.pk3").c_str()));
    }

    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    LogCapture log;
    ZipBuilder zip;
};
} // namespace

TEST_F(PlayerTest, LoadsPartsTagsAnimationsAndSkins)
{
    Mount();
    cModelQ3 p;
    ASSERT_TRUE(p.Load("models/players/tst"));
    EXPECT_TRUE(p.IsLoaded());
    EXPECT_EQ(p.lower->links[0], p.upper);
    EXPECT_EQ(p.upper->links, (std::vector<cMd3*>{p.head, nullptr}));
    EXPECT_EQ(p.lowerState.animation, &p.animations[22]);
    EXPECT_EQ(p.upperState.animation, &p.animations[11]);

    // Skins in listing order; the default file is never read.
    ASSERT_EQ(p.skinCount, 3u);
    EXPECT_STREQ(p.skinNames[0], "default");
    EXPECT_STREQ(p.skinNames[1], "red");
    EXPECT_STREQ(p.skinNames[2], "blue");
    const sMd3Surface& legs = p.lower->surfaces[0];
    EXPECT_EQ(legs.numShaders, 3u);
    EXPECT_STREQ(legs.shaders[0].name, "mlegs.tga");
    EXPECT_STREQ(legs.shaders[1].name, "red_legs.tga");
    EXPECT_STREQ(legs.shaders[2].name, "blue_legs.tga");
    // Two file shaders: skin 1 shows the second, and the skins move up one slot.
    const sMd3Surface& torso = p.upper->surfaces[0];
    EXPECT_EQ(torso.numShaders, 4u);
    EXPECT_STREQ(torso.shaders[1].name, "mb.tga");
    EXPECT_STREQ(torso.shaders[2].name, "red_torso.tga");
    EXPECT_STREQ(torso.shaders[3].name, "blue_torso.tga");
    // head_red.skin is missing: blue fills slot 1.
    const sMd3Surface& head = p.head->surfaces[0];
    EXPECT_EQ(head.numShaders, 2u);
    EXPECT_STREQ(head.shaders[1].name, "blue_head.tga");

    p.SelectSkin(2);
    p.SelectSkin(3); // out of range: ignored
    EXPECT_EQ(p.currentSkin, 2u);
    for (cMd3* part : {p.lower, p.upper, p.head})
        EXPECT_EQ(part->skinIndex, 2u);
}

TEST_F(PlayerTest, SecondPlayerOnTheSameFolderSharesPartsAndAddsSlotsAgain)
{
    Mount();
    {
        cModelQ3 a, b;
        ASSERT_TRUE(a.Load("models/players/tst"));
        ASSERT_TRUE(b.Load("models/players/tst"));
        EXPECT_EQ(a.lower, b.lower);
        EXPECT_EQ(a.lower->refCount, 2);
        EXPECT_EQ(a.lower->surfaces[0].numShaders, 5u);
        // The shared part now shows b's animation state.
        EXPECT_EQ(a.lower->animState, &b.lowerState);
        b.Unload();
        EXPECT_EQ(a.lower->animState, nullptr);
        EXPECT_FALSE(b.IsLoaded());
    }
    EXPECT_TRUE(gRessMgr.Cache().empty());
}

TEST_F(PlayerTest, MissingPartsAndBadFolders)
{
    zip.AddFile("models/players/grism/lower.md3", Part("l", {}, {"tag_torso"}));
    Mount();
    cModelQ3 p;
    EXPECT_FALSE(p.Load("models/players/grism"));
    EXPECT_NE(log.Debug().find("CRessMgr:: models/players/grism/upper.md3 ressource loading failed!"),
              std::string::npos);
    EXPECT_FALSE(p.IsLoaded());
    EXPECT_NE(p.lower, nullptr); // held until the next load or destruction

    std::string longFolder = "models/players/" + std::string(49, 'x');
    EXPECT_FALSE(p.Load(longFolder.c_str()));
    EXPECT_NE(log.Debug().find("cModelQ3:: folder path too long"), std::string::npos);

    cModelQ3 fresh;
    fresh.LoadSkins();
    EXPECT_NE(log.Debug().find("cModelQ3:: can`t load skins (modeldir not specified!)"), std::string::npos);
    EXPECT_EQ(fresh.skinCount, 0u);
}

TEST_F(PlayerTest, SkinListAndSlotsKeepToTheirBounds)
{
    // Nine skins beside default, one with a long name; the legs already fill all 8 slots.
    const std::string d = "models/players/many/";
    zip.AddFile(d + "lower.md3", Part("l_legs", {"a", "b", "c", "d", "e", "f", "g", "h"}, {"tag_torso"}));
    zip.AddFile(d + "upper.md3", Part("u_torso", {"u"}, {"tag_head"}));
    zip.AddFile(d + "head.md3", Part("h_head", {"h"}, {}));
    const std::string longSkin(100, 'k');
    zip.AddFile(d + "lower_" + longSkin + ".skin", std::string("l_legs,long.tga\n"));
    for (int i = 1; i <= 8; i++)
    {
        zip.AddFile(d + "lower_s" + std::to_string(i) + ".skin", std::string("l_legs,legs.tga\n"));
        zip.AddFile(d + "upper_s" + std::to_string(i) + ".skin", "u_torso," + std::string(200, 's') + "\n");
    }
    Mount();
    cModelQ3 p;
    ASSERT_TRUE(p.Load("models/players/many"));
    EXPECT_EQ(p.skinCount, 8u);
    EXPECT_EQ(std::string(p.skinNames[1]), std::string(63, 'k'));
    EXPECT_STREQ(p.skinNames[7], "s6");
    EXPECT_NE(log.Debug().find("more than 8 skins"), std::string::npos);
    EXPECT_EQ(p.lower->surfaces[0].numShaders, 8u);
    const sMd3Surface& torso = p.upper->surfaces[0];
    EXPECT_EQ(torso.numShaders, 7u); // s1 to s6: the long-named skin has no upper file
    EXPECT_EQ(std::string(torso.shaders[1].name), std::string(63, 's'));
}

namespace
{
// Knows only the shader names it is given, as a library holding just those would.
class KnownShadersDrawer : public RecordingDrawer
{
  public:
    bool ShaderExists(const char* name) override { return known.count(name) != 0; }
    std::set<std::string> known;
};
} // namespace

TEST_F(PlayerTest, RenderAdvancesTheClockAndFallsBackToTheDefaultSkin)
{
    const std::string d = "models/players/tst/";
    zip.AddFile(d + "upper_default.skin", std::string("tag_head,\nu_torso,up_def.tga\nu_torso,second.tga\n"));
    zip.AddFile(d + "head_default.skin", std::string("h_other,x.tga\n"));
    Mount();
    cModelQ3 p;
    ASSERT_TRUE(p.Load("models/players/tst"));
    EXPECT_STREQ(p.upper->surfaces[0].defaultSkin.name, "up_def.tga");
    KnownShadersDrawer rec;
    rec.known = {"ma", "red_legs"};
    rec.Install();
    SetFakeClock(100.0);
    p.Render();
    ASSERT_EQ(rec.draws.size(), 3u);
    EXPECT_EQ(rec.draws[2].surface, &p.head->surfaces[0]);
    EXPECT_EQ(rec.draws[0].shader, "never"); // legs: "mlegs" is unknown
    EXPECT_EQ(rec.draws[1].shader, "ma");    // torso: its own shader exists
    EXPECT_EQ(rec.draws[2].shader, "mhead"); // head: no default line for it
    // The figure stands up: model z becomes view y.
    const float up[3] = {0, 0, 1};
    auto p0 = RecordingDrawer::Apply(rec.draws[0].transform, up);
    EXPECT_NEAR(p0[1], 1, 1e-6);
    EXPECT_NEAR(p0[2], 0, 1e-6);
    // Legs count from the torso start; idle's end frame equals lower's 4 frames and is cut.
    EXPECT_EQ(p.lowerState.nextFrame, 2u);
    SetFakeClock(100.0625);
    p.Render();
    EXPECT_NEAR(p.upperState.fraction, 0.5f, 0.01f); // the clock counts whole milliseconds

    // Only skin 0 falls back: other skins draw their own names, known or not.
    p.SelectSkin(1);
    rec.draws.clear();
    p.Render();
    EXPECT_EQ(rec.draws[0].shader, "red_legs");
    EXPECT_EQ(rec.draws[1].shader, "mb");

    cModelQ3 unloaded;
    unloaded.Render();
    EXPECT_EQ(rec.draws.size(), 3u);
}

TEST_F(PlayerTest, SkinsFromOverlappingArchives)
{
    Mount();
    ZipBuilder patch;
    patch.AddFile("models/players/tst/lower_RED.skin", std::string("l_legs,patch_red.tga\n"));
    patch.AddFile("models/players/tst/lower_green.skin", std::string("l_legs,green.tga\n"));
    ASSERT_TRUE(patch.Write(dir.File("patch.pk3")));
    ASSERT_TRUE(gFileMgr.MountZip(dir.File("patch.pk3").c_str()));
    // Each archive lists its own skin files; the unique listing keeps one of each name.
    for (bool unique : {false, true})
    {
        gRessMgr.Reset();
        gFileMgr.SetUniqueListing(unique);
        cModelQ3 p;
        ASSERT_TRUE(p.Load("models/players/tst"));
        ASSERT_EQ(p.skinCount, unique ? 4u : 5u);
        EXPECT_STREQ(p.skinNames[1], "red");
        EXPECT_STREQ(p.skinNames[unique ? 2 : 3], unique ? "blue" : "RED");
        if (unique)
        {
            EXPECT_STREQ(p.skinNames[3], "green");
            EXPECT_STREQ(p.lower->surfaces[0].shaders[1].name, "red_legs.tga");
        }
    }
}
