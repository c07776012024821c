// Player models from an archive written by the test: parts, tags, animations and skins.
#include "fs/filemgr.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "platform/clock.h"
#include "support/md3builder.h"
#include "support/recordingdrawer.h"
#include "support/allochook.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>


namespace
{
// A part with one triangle surface per (surface, shaders) pair.
std::vector<unsigned char> Part(const std::vector<std::pair<std::string, std::vector<std::string>>>& surfaces,
                                std::vector<std::string> tags, int frames = 4)
{
    Md3Builder b(frames);
    for (const std::string& t : tags)
        b.AddTag(t);
    for (const auto& surface : surfaces)
    {
        Md3Builder::Surface& s = b.AddSurface(surface.first, 3);
        s.shaders = surface.second;
        s.triangles = {0, 1, 2};
    }
    return b.Build();
}

std::vector<unsigned char> Part(const char* surface, std::vector<std::string> shaders,
                                std::vector<std::string> tags, int frames = 4)
{
    return Part({{surface, shaders}}, tags, frames);
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

    // Skins in listing order; the default file is not one of them.
    ASSERT_EQ(p.skinCount, 3u);
    EXPECT_STREQ(p.skinNames[0], "default");
    EXPECT_STREQ(p.skinNames[1], "red");
    EXPECT_STREQ(p.skinNames[2], "blue");
    // Skin k sits in slot k; the count stays the file's.
    const sMd3Surface& legs = p.lower->surfaces[0];
    EXPECT_EQ(legs.numShaders, 1u);
    EXPECT_STREQ(legs.shaders[0].name, "mlegs.tga");
    EXPECT_STREQ(legs.shaders[2].name, "blue_legs.tga");
    EXPECT_STREQ(p.upper->surfaces[0].shaders[1].name, "red_torso.tga"); // not the file's second

    p.SelectSkin(2);
    p.SelectSkin(3); // out of range: ignored
    EXPECT_EQ(p.currentSkin, 2u);
    for (cMd3* part : {p.lower, p.upper, p.head})
        EXPECT_EQ(part->skinIndex, 2u);
    p.PrevSkin();
    EXPECT_EQ(p.head->skinIndex, 1u);

    // A second player of the folder shares the parts, puts the same skins in the same slots
    // again and shows its own animation state until it lets go.
    {
        cModelQ3 b;
        ASSERT_TRUE(b.Load("models/players/tst"));
        EXPECT_EQ(p.lower, b.lower);
        EXPECT_EQ(p.lower->refCount, 2);
        EXPECT_STREQ(p.lower->surfaces[0].shaders[1].name, "red_legs.tga");
        EXPECT_STREQ(p.lower->surfaces[0].shaders[3].name, "");
        EXPECT_EQ(p.lower->animState, &b.lowerState);
        b.Unload();
        EXPECT_EQ(p.lower->animState, nullptr);
        EXPECT_FALSE(b.IsLoaded());
    }
    p.Unload();
    EXPECT_TRUE(gRessMgr.Cache().empty());
}

TEST_F(PlayerTest, LoadErrorsSayWhatWentWrong)
{
    zip.AddFile("models/players/grism/lower.md3", Part("l", {}, {"tag_torso"}));
    std::vector<unsigned char> upper = Part("u", {}, {"tag_head"});
    upper.resize(upper.size() - 8);
    zip.AddFile("models/players/cut/lower.md3", Part("l", {}, {"tag_torso"}));
    zip.AddFile("models/players/cut/upper.md3", upper);
    std::vector<unsigned char> gun = Part("g", {}, {"tag_flash"});
    gun[0] = 'X';
    zip.AddFile("models/weapons2/gun/gun.md3", gun);
    zip.AddFile("models/weapons2/ok/ok.md3", Part("g", {}, {"tag_flash"}));
    Mount();
    // One player and one weapon object go through every case: a success clears the error.
    const struct
    {
        bool weapon;
        std::string folder;
        const char* error;
    } cases[] = {
        {false, "models/players/grism", "no upper.md3 in any archive"},
        {false, "models/players/tst", ""},
        {false, "models/players/cut", "upper.md3: surface past end of file"},
        {false, "models/players/" + std::string(49, 'x'), "folder path too long"},
        {true, "models/weapons2/none", "no none.md3 in any archive"},
        {true, "models/weapons2/g\x1b[1m", "no g\\x1b[1m.md3 in any archive"}, // shown on screen
        {true, "models/weapons2/gun", "gun.md3: not an md3 file"},
        {true, "models/weapons2/ok", ""}, // without barrel and flash
        {true, "models/weapons2/" + std::string(200, 'w'), "folder path too long"},
    };
    cModelQ3 p;
    cWeaponQ3 w;
    for (const auto& c : cases)
    {
        const bool loaded = c.weapon ? w.Load(c.folder.c_str()) : p.Load(c.folder.c_str());
        EXPECT_EQ(loaded, !c.error[0]) << c.folder;
        EXPECT_EQ(c.weapon ? w.loadError : p.loadError, c.error) << c.folder;
    }
    EXPECT_NE(log.Debug().find("CRessMgr:: models/players/grism/upper.md3 ressource loading failed!"),
              std::string::npos);
    EXPECT_NE(log.Debug().find("cModelQ3:: folder path too long"), std::string::npos);
    // Parts loaded before a failure stay held until the next load or destruction.
    EXPECT_FALSE(p.IsLoaded());
    EXPECT_NE(p.lower, nullptr);

    cModelQ3 fresh;
    fresh.LoadSkins();
    EXPECT_NE(log.Debug().find("cModelQ3:: can`t load skins (modeldir not specified!)"), std::string::npos);
    EXPECT_EQ(fresh.skinCount, 0u);
}

TEST_F(PlayerTest, SkinListAndSlotsKeepToTheirBounds)
{
    // Nine skins beside default, one with a long name, and no default skin files; the legs'
    // file names fill the fixed slots. A second folder lists 70 skins.
    const std::string d = "models/players/many/";
    zip.AddFile(d + "lower.md3", Part("l_legs", {"a", "b", "c", "d", "e", "f", "g", "h"}, {"tag_torso"}));
    zip.AddFile(d + "upper.md3", Part("u_torso", {"u"}, {"tag_head"}));
    zip.AddFile(d + "head.md3", Part("h_head", {"h"}, {}));
    const std::string longSkin(100, 'k');
    zip.AddFile(d + "lower_" + longSkin + ".skin", std::string("l_legs,long.tga\n"));
    for (int i = 1; i <= 8; i++)
    {
        zip.AddFile(d + "lower_s" + std::to_string(i) + ".skin", "l_legs,legs" + std::to_string(i) + "\n");
        zip.AddFile(d + "upper_s" + std::to_string(i) + ".skin", "u_torso," + std::string(200, 's') + "\n");
    }
    const std::string lots = "models/players/lots/";
    for (const char* part : {"lower", "upper", "head"})
        zip.AddFile(lots + part + ".md3", Part("l_s", {"x"}, {"tag_torso", "tag_head"}));
    for (int i = 0; i < 70; i++)
        zip.AddFile(lots + "lower_" + std::to_string(i) + ".skin", std::string("l_s,y\n"));
    Mount();

    for (bool gameLook : {false, true})
    {
        ScopedGameLook look(gameLook);
        gRessMgr.Reset();
        cModelQ3 p, many;
        ASSERT_TRUE(p.Load("models/players/many"));
        // The plain rules keep 8 skins; the game look keeps every one and starts a player
        // without default skin files on its first listed skin.
        EXPECT_EQ(p.skinCount, gameLook ? 10u : 8u);
        EXPECT_EQ(p.currentSkin, gameLook ? 1u : 0u);
        EXPECT_EQ(std::string(p.skinNames[1]), std::string(63, 'k'));
        EXPECT_STREQ(p.skinNames[7], "s6");
        const sMd3Surface& legs = p.lower->surfaces[0];
        EXPECT_EQ(legs.numShaders, 8u);
        EXPECT_STREQ(legs.Slot(7)->name, "legs6");
        EXPECT_EQ(legs.Slot(9) ? legs.Slot(9)->name : "-", std::string(gameLook ? "legs8" : "-"));
        const sMd3Surface& torso = p.upper->surfaces[0];
        EXPECT_STREQ(torso.shaders[1].name, ""); // the long-named skin has no upper file
        EXPECT_EQ(std::string(torso.shaders[2].name), std::string(63, 's'));

        p.SelectSkin(p.skinCount - 1);
        EXPECT_EQ(p.upper->skinIndex, gameLook ? 9u : 7u);
        p.NextSkin();
        EXPECT_EQ(p.currentSkin, 0u);
        p.PrevSkin();
        EXPECT_EQ(p.currentSkin, p.skinCount - 1);

        ASSERT_TRUE(many.Load("models/players/lots"));
        EXPECT_EQ(many.skinCount, gameLook ? 64u : 8u);
        EXPECT_EQ(many.lower->surfaces[0].Slot(63) != nullptr, gameLook);
    }
    EXPECT_NE(log.Debug().find("cModelQ3:: models/players/many : more than 8 skins, s7 left out"),
              std::string::npos);
    EXPECT_NE(log.Debug().find("cModelQ3:: models/players/lots : more than 64 skins, 69 left out"),
              std::string::npos);
}

// Which shader each surface is drawn with in each skin. Skin k draws slot k, an empty slot
// the default skin's entry. The game look tries the stored file name, the plain name and the
// default entry for one that leads somewhere, leaves out a surface whose skin names it with
// no shader, "null" or "nodraw", and one whose choice leads nowhere and is such a word.
TEST_F(PlayerTest, SkinsDrawTheirSlotOrTheDefaultEntry)
{
    const std::string d = "models/players/fb/";
    zip.AddFile(d + "lower.md3", Part("l_legs", {"xlegs.tga"}, {"tag_torso"}));
    zip.AddFile(d + "upper.md3", Part({{"u_torso", {"xa.tga"}}, {"u_vest", {"xv.tga"}}}, {"tag_head"}));
    zip.AddFile(d + "head.md3", Part({{"h_head", {"xhead.tga"}}, {"h_hat", {"xhat.tga"}}}, {}));
    zip.AddFile(d + "lower_default.skin", std::string("l_legs,legs_def.tga\n"));
    zip.AddFile(d + "lower_red.skin", std::string("l_legs,red_legs.tga\n"));
    zip.AddFile(d + "lower_blue.skin", std::string("l_other,z.tga\n"));
    zip.AddFile(d + "upper_default.skin", std::string("u_torso,torso_def.tga\nu_vest,vest_def.tga\n"));
    zip.AddFile(d + "upper_red.skin",
                std::string("u_torso,\nu_torso,gone.tga\nu_torso,second.tga\nu_vest,\n"));
    zip.AddFile(d + "upper_blue.skin", std::string("u_torso,nodraw\n"));
    zip.AddFile(d + "head_default.skin", std::string("h_hat,hat_def.tga\nh_head,null\n"));
    zip.AddFile(d + "head_blue.skin", std::string("h_head,blue_head.tga\n")); // no head_red.skin
    Mount();
    cModelQ3 p;
    ASSERT_TRUE(p.Load("models/players/fb"));
    KnownShadersDrawer rec;
    rec.known = {"legs_def", "red_legs", "xa", "mv", "xhead", "torso_def", "vest_def", "blue_head"};
    rec.Install();
    const struct
    {
        uint32_t skin;
        const char* plain;
        const char* gameLook;
    } cases[] = {
        {0, "l_legs=legs_def u_torso=torso_def u_vest=mv h_head=null h_hat=hat_def",
         "l_legs=legs_def u_torso=xa u_vest=mv h_head=xhead h_hat=hat_def"},
        {1, "l_legs=red_legs u_torso=gone u_vest=vest_def h_head=null h_hat=hat_def",
         "l_legs=red_legs u_torso=torso_def h_hat=hat_def"},
        {2, "l_legs=legs_def u_torso=nodraw u_vest=vest_def h_head=blue_head h_hat=hat_def",
         "l_legs=legs_def u_vest=vest_def h_head=blue_head h_hat=hat_def"},
    };
    for (const auto& c : cases)
        for (bool gameLook : {false, true})
        {
            ScopedGameLook look(gameLook);
            p.SelectSkin(c.skin);
            rec.draws.clear();
            p.Render();
            EXPECT_EQ(rec.Drawn(), gameLook ? c.gameLook : c.plain) << c.skin << " " << gameLook;
        }
}

TEST_F(PlayerTest, RenderAdvancesTheClock)
{
    Mount();
    cModelQ3 p;
    ASSERT_TRUE(p.Load("models/players/tst"));
    RecordingDrawer rec;
    rec.Install();
    SetFakeClock(100.0);
    p.Render();
    ASSERT_EQ(rec.draws.size(), 3u);
    EXPECT_EQ(rec.draws[2].surface, &p.head->surfaces[0]);
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

    // The game look counts from the load, so a clock that has run for weeks still tells
    // milliseconds apart (its float seconds would not).
    ScopedGameLook look(true);
    SetFakeClock(4000000.0);
    ASSERT_TRUE(p.Load("models/players/tst"));
    p.Render();
    SetFakeClock(4000000.0625);
    p.Render();
    EXPECT_NEAR(p.upperState.fraction, 0.5f, 0.01f);

    cModelQ3 unloaded;
    unloaded.Render();
    EXPECT_EQ(rec.draws.size(), 12u);
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

// Running out of memory at any one allocation of a player's or a weapon's load (the cache, the
// file layer, the model files, skins, animation.cfg) fails that load alone: nothing of it is
// kept, and the next load works.
TEST_F(PlayerTest, RunningOutOfMemoryAnywhereFailsOnlyThatLoad)
{
    zip.AddFile("models/weapons2/gun/gun.md3", Part("g", {"g.tga"}, {"tag_barrel", "tag_flash"}));
    zip.AddFile("models/weapons2/gun/gun_barrel.md3", Part("b", {"b.tga"}, {}));
    Mount();
    cModelQ3 p;
    cWeaponQ3 w;
    for (bool weapon : {false, true})
    {
        p.Unload();
        // Until a load runs through without a failed allocation.
        for (long n = 0; n == 0 || gAllocationFailed; n++)
        {
            gAllocationFailed = false;
            const size_t logMark = log.Debug().size();
            gAllocationsBeforeFailure = n;
            const bool loaded = weapon ? w.Load("models/weapons2/gun") : p.Load("models/players/tst");
            gAllocationsBeforeFailure = -1;
            EXPECT_EQ(loaded, weapon ? w.IsLoaded() : p.IsLoaded()) << n;
            // The file layer answers a read it has no memory for as a file it cannot read (with
            // its own message), so a part may go missing as it would without its file; past the
            // file layer nothing of a failed load is kept.
            if (log.Debug().find("out of memory reading", logMark) != std::string::npos)
                continue;
            EXPECT_TRUE(weapon ? !loaded || w.barrel : true) << n;
            EXPECT_TRUE(loaded ||
                        (gAllocationFailed && (weapon ? w.loadError : p.loadError) == MD3_OUT_OF_MEMORY &&
                         gRessMgr.Cache().empty() && !p.lower && !p.upper && !p.head && !w.main))
                << n;
        }
    }
    // The last loads went through; the weapon's reload gave its old parts back first.
    EXPECT_TRUE(w.main->links == (std::vector<cMd3*>{w.barrel, nullptr}) && w.main->refCount == 1);
    EXPECT_NE(log.Debug().find("cModelQ3:: models/players/tst : out of memory"), std::string::npos);
    EXPECT_NE(log.Debug().find("cWeaponQ3:: models/weapons2/gun : out of memory"), std::string::npos);
}
