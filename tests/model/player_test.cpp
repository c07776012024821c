#include "fs/filemgr.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "platform/clock.h"
#include "support/allochook.h"
#include "support/md3builder.h"
#include "support/recordingdrawer.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

namespace
{
// A part with one triangle surface per (surface, shaders) pair.
std::vector<unsigned char> Part(const std::vector<std::pair<std::string, std::vector<std::string>>>& surfaces,
                                std::vector<std::string> tags, int frames = 4)
{
    Md3Builder b(frames);
    for (const std::string& t : tags)
        b.AddTag(t);
    for (const auto& [name, shaders] : surfaces)
        b.AddSurface(name, 3).shaders = shaders, b.surfaces.back().triangles = {0, 1, 2};
    return b.Build();
}

class PlayerTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        gRessMgr.Reset();
        gFileMgr.Reset();
        const std::string d = "models/players/tst/";
        zip.AddDir(d);
        zip.AddFile(d + "lower.md3", Part({{"l_legs", {"xlegs.tga"}}}, {"tag_torso"}), true);
        zip.AddFile(d + "upper.md3",
                    Part({{"u_torso", {"xa.tga"}}, {"u_vest", {"xv.tga"}}}, {"tag_head", "tag_weapon"}));
        zip.AddFile(d + "head.md3",
                    Part({{"h_head", {"xhead.tga"}}, {"h_hat", {"xhat.tga"}}}, {"tag_head"}, 1));
        zip.AddFile(d + "animation.cfg",
                    std::string("0 4 0 8 // BOTH_DEATH1\n1 3 0 8 // TORSO_GESTURE\n2 2 0 8 // "
                                "TORSO_STAND\n1 3 0 8 // LEGS_WALKCR\n2 2 0 8 // LEGS_IDLE\n"));
        for (const char* skin :
             {"lower_default.skin:l_legs,legs_def.tga\n",
              "lower_red.skin:l_legs,red_legs.tga\r\ntag_torso,\nl_gone,zz.tga\n",
              "lower_blue.skin:l_other,z.tga\n",
              "upper_default.skin:u_torso,torso_def.tga\nu_vest,vest_def.tga\n",
              "upper_red.skin:u_torso,\nu_torso,gone.tga\nu_torso,second.tga\nu_vest,\nh_head,x\n",
              "upper_blue.skin:u_TORSO,nodraw,extra\n", "head_default.skin:h_hat,hat_def.tga\nh_head,null\n",
              "head_blue.skin:h_head,blue_head.tga\ntag_head,x\n"}) // no head_red.skin
            zip.AddFile(d + std::string(skin, strchr(skin, ':')), std::string(strchr(skin, ':') + 1));
    }
    void TearDown() override
    {
        gRessMgr.Reset();
        gFileMgr.Reset();
        ClearFakeClock();
    }
    void Mount(const ZipBuilder& z, const char* name = "test.pk3")
    {
        ASSERT_TRUE(z.Write(dir.File(name)) && gFileMgr.MountZip(dir.File(name).c_str()));
    }

    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    LogCapture log;
    ZipBuilder zip;
};
} // namespace

// The cache shares a model by reference count; a destroyed model no longer hangs below others;
// failures are not cached (the file may come with a later archive); keys are exact. Two players
// of a folder share the parts, each showing its own animation state until it lets go.
TEST_F(PlayerTest, CacheSharesByReferenceCountAndLoadsFailWithTheirReason)
{
    zip.AddFile("models/players/grism/lower.md3", Part({{"l", {}}}, {"tag_torso"}));
    std::vector<unsigned char> gun = Part({{"g", {}}}, {"tag_flash"});
    gun[0] = 'X';
    zip.AddFile("models/weapons2/gun/gun.md3", gun);
    zip.AddFile("models/weapons2/ok/ok.md3", Part({{"g", {}}}, {"tag_flash"}));
    Mount(zip);
    const char* lower = "models/players/tst/lower.md3";
    cMd3* a = gRessMgr.Load(lower);
    ASSERT_TRUE(a && gRessMgr.Load(lower) == a && a->refCount == 2);
    gRessMgr.Release(a);
    cMd3 stranger;
    gRessMgr.Release(&stranger); // not cached: ignored
    cMd3* child = gRessMgr.Load("models/weapons2/ok/ok.md3");
    a->AttachToTag("tag_torso", child);
    gRessMgr.Release(child);
    EXPECT_TRUE(a->links[0] == nullptr && a->refCount == 1 && gRessMgr.Cache().size() == 1);
    gRessMgr.Release(a);
    EXPECT_TRUE(gRessMgr.Cache().empty());
    EXPECT_EQ(gRessMgr.Load("models/late.md3"), nullptr);
    ZipBuilder late;
    late.AddFile("models/late.md3", Part({{"s", {}}}, {"tag_x"}), true);
    Mount(late, "late.pk3");
    cMd3* found = gRessMgr.Load("models/late.md3");
    cMd3* upper = gRessMgr.Load("Models/late.md3");
    ASSERT_TRUE(found && upper && found != upper && upper->name == "Models/late.md3");
    cModelQ3 p, b;
    ASSERT_TRUE(p.Load("models/players/tst") && b.Load("models/players/tst"));
    EXPECT_TRUE(p.lower == b.lower && p.lower->refCount == 2 && p.lower->animState == &b.lowerState);
    b.Unload();
    EXPECT_TRUE(p.lower->animState == nullptr && !b.IsLoaded());

    // One player and one weapon object go through every failure: a success clears the error.
    const std::tuple<bool, std::string, const char*> cases[] = {
        {false, "models/players/grism", "no upper.md3 in any archive"},
        {false, "models/players/tst", ""},
        {false, "models/players/" + std::string(49, 'x'), "folder path too long"},
        {true, "models/weapons2/g\x1b[1m", "no g\\x1b[1m.md3 in any archive"}, // shown on screen
        {true, "models/weapons2/gun", "gun.md3: not an md3 file"},
        {true, "models/weapons2/ok", ""}, // without barrel and flash
    };
    cWeaponQ3 w;
    for (const auto& [weapon, folder, error] : cases)
    {
        const bool loaded = weapon ? w.Load(folder.c_str()) : p.Load(folder.c_str());
        EXPECT_EQ(loaded, !error[0]) << folder;
        EXPECT_EQ(weapon ? w.loadError : p.loadError, error) << folder;
    }
    cModelQ3 fresh;
    fresh.LoadSkins();
    EXPECT_EQ(fresh.skinCount, 0u);
    EXPECT_NE(log.Debug().find("cModelQ3:: can`t load skins (modeldir not specified!)"), std::string::npos);
}

// Skin k draws slot k, an empty slot the default skin's entry. The game look tries the stored
// file name, the plain name and the default entry for one that leads somewhere, and leaves out a
// surface its skin names with no shader, "null" or "nodraw"; its clock counts from the load, so a
// clock run for weeks still tells milliseconds apart.
TEST_F(PlayerTest, SkinsDrawTheirSlotsKeepToTheirBoundsAndTheClockAdvances)
{
    const std::string d = "models/players/lots/";
    for (const char* part : {"lower", "upper", "head"})
        zip.AddFile(d + part + ".md3", Part({{"l_s", {"x"}}}, {"tag_torso", "tag_head"}));
    zip.AddFile(d + "lower_" + std::string(100, 'k') + ".skin", std::string("l_s,long\n"));
    for (int i = 10; i < 79; i++)
        zip.AddFile(d + "lower_" + std::to_string(i) + ".skin",
                    "l_s," + (i > 10 ? "y" + std::to_string(i) : std::string(200, 'u')) + "\n");
    Mount(zip);
    cModelQ3 p;
    KnownShadersDrawer rec;
    rec.known = {"legs_def", "red_legs", "xa", "mv", "xhead", "torso_def", "vest_def", "blue_head"};
    rec.Install();
    std::string drawn;
    for (bool gameLook : {false, true})
        for (uint32_t skin = 0; skin < 3; skin++)
        {
            ScopedGameLook look(gameLook);
            SetFakeClock(4000000.0);
            ASSERT_TRUE(p.Load("models/players/tst"));
            p.SelectSkin(skin);
            rec.draws.clear();
            p.Render();
            SetFakeClock(4000000.0625);
            p.Render();
            drawn += rec.Drawn().substr(0, rec.Drawn().size() / 2) + "\n";
        }
    EXPECT_TRUE(p.lowerState.nextFrame == 2 && std::fabs(p.upperState.fraction - 0.5f) < 0.01f)
        << p.lowerState.nextFrame << " " << p.upperState.fraction;
    EXPECT_EQ(drawn, "l_legs=legs_def u_torso=torso_def u_vest=mv h_head=null h_hat=hat_def\n"
                     "l_legs=red_legs u_torso=gone u_vest=vest_def h_head=null h_hat=hat_def\n"
                     "l_legs=legs_def u_torso=nodraw u_vest=vest_def h_head=blue_head h_hat=hat_def\n"
                     "l_legs=legs_def u_torso=xa u_vest=mv h_head=xhead h_hat=hat_def\n"
                     "l_legs=red_legs u_torso=torso_def h_hat=hat_def\n"
                     "l_legs=legs_def u_vest=vest_def h_head=blue_head h_hat=hat_def\n");

    // Without default skin files, 70 skins, one with a long name, one naming a long shader name. The
    // plain rules keep 8 skins and start on "default"; the game look keeps up to 64, filling the fixed
    // slots, and starts on the first skin.
    for (bool gameLook : {false, true})
    {
        ScopedGameLook look(gameLook);
        gRessMgr.Reset();
        cModelQ3 lots;
        ASSERT_TRUE(lots.Load("models/players/lots"));
        std::string skins = std::to_string(lots.currentSkin) + ":" + lots.skinNames[0] + " " +
                            lots.skinNames[1] + " " + lots.skinNames[lots.skinCount - 1] + " " +
                            std::to_string(lots.skinCount);
        for (uint32_t k : {0u, 2u, 62u, 63u})
            skins += " " + std::string(lots.lower->surfaces[0].Slot(k) ? lots.lower->surfaces[0].Slot(k)->name
                                                                       : "-");
        EXPECT_EQ(skins, (gameLook ? "1:default " : "0:default ") + std::string(63, 'k') +
                             (gameLook ? " 71 64" : " 15 8") + " m " + std::string(63, 'u') +
                             (gameLook ? " y70 y71" : " - -"));
    }
    EXPECT_NE(log.Debug().find("cModelQ3:: models/players/lots : more than 8 skins, 16 left out"),
              std::string::npos);
    EXPECT_NE(log.Debug().find("cModelQ3:: models/players/lots : more than 64 skins, 72 left out"),
              std::string::npos);
}

// Running out of memory at any one allocation of a player's or a weapon's load fails that load
// alone: nothing of it is kept, and the next load works.
TEST_F(PlayerTest, RunningOutOfMemoryAnywhereFailsOnlyThatLoad)
{
    zip.AddFile("models/weapons2/gun/gun.md3", Part({{"g", {"g.tga"}}}, {"tag_barrel", "tag_flash"}));
    zip.AddFile("models/weapons2/gun/gun_barrel.md3", Part({{"b", {"b.tga"}}}, {}));
    Mount(zip);
    cModelQ3 p;
    cWeaponQ3 w;
    for (bool weapon : {false, true})
    {
        p.Unload();
        for (long n = 0; n == 0 || gAllocationFailed; n++)
        {
            gAllocationFailed = false;
            const size_t logMark = log.Debug().size();
            gAllocationsBeforeFailure = n;
            const bool loaded = weapon ? w.Load("models/weapons2/gun") : p.Load("models/players/tst");
            gAllocationsBeforeFailure = -1;
            EXPECT_EQ(loaded, weapon ? w.IsLoaded() : p.IsLoaded()) << n;
            // The file layer answers a read it has no memory for as a file it cannot read.
            if (log.Debug().find("out of memory reading", logMark) != std::string::npos)
                continue;
            EXPECT_TRUE(weapon ? !loaded || w.barrel : true) << n;
            EXPECT_TRUE(loaded ||
                        (gAllocationFailed && (weapon ? w.loadError : p.loadError) == MD3_OUT_OF_MEMORY &&
                         gRessMgr.Cache().empty() && !p.lower && !p.upper && !p.head && !w.main))
                << n;
        }
    }
    EXPECT_TRUE(w.main->links == (std::vector<cMd3*>{w.barrel, nullptr}) && w.main->refCount == 1);
    EXPECT_NE(log.Debug().find("cModelQ3:: models/players/tst : out of memory"), std::string::npos);
    EXPECT_NE(log.Debug().find("cWeaponQ3:: models/weapons2/gun : out of memory"), std::string::npos);
}
