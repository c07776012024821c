// The model cache, players and weapons from archives written by the test: parts, tags, skins,
// animations, load errors and running out of memory.
#include "fs/filemgr.h"
#include "model/md3.h"
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

// The filled shader slots of every surface of a player's parts, "surface:slot=name" apart by blanks.
std::string Slots(const cModelQ3& p)
{
    std::string out;
    for (const cMd3* part : {p.lower, p.upper, p.head})
        for (const sMd3Surface& s : part->surfaces)
            for (uint32_t k = 0; k < MD3_MAX_SKIN_SLOTS; k++)
                if (s.Slot(k) && s.Slot(k)->name[0])
                    out += " " + std::string(s.name) + ":" + std::to_string(k) + "=" + s.Slot(k)->name;
    return out;
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
        zip.AddFile(d + "upper.md3", Part({{"u_torso", {"xa.tga", "xb.tga"}}}, {"tag_head", "tag_weapon"}));
        zip.AddFile(d + "head.md3", Part({{"h_head", {"xhead.tga"}}}, {"tag_head"}, 1));
        zip.AddFile(d + "animation.cfg",
                    std::string("0 4 0 8 // BOTH_DEATH1\n1 3 0 8 // TORSO_GESTURE\n2 2 0 8 // "
                                "TORSO_STAND\n1 3 0 8 // LEGS_WALKCR\n2 2 0 8 // LEGS_IDLE\n"));
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
    void Mount(const ZipBuilder& z, const char* name = "test.pk3")
    {
        ASSERT_TRUE(z.Write(dir.File(name)));
        ASSERT_TRUE(gFileMgr.MountZip(dir.File(name).c_str()));
    }

    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    LogCapture log;
    ZipBuilder zip;
};
} // namespace

// Parts hang at their tags and start on their stand animations; skins are listed in listing
// order (the default file is none of them) and skin k fills slot k while the count stays the
// file's; selecting a skin sets every part (out of range: ignored). A second player of the folder
// shares the parts, puts the same skins in the same slots and shows its own animation state until
// it lets go.
TEST_F(PlayerTest, LoadsPartsTagsAnimationsAndSkins)
{
    Mount(zip);
    cModelQ3 p;
    ASSERT_TRUE(p.Load("models/players/tst"));
    EXPECT_TRUE(p.IsLoaded() && p.lower->links[0] == p.upper);
    EXPECT_EQ(p.upper->links, (std::vector<cMd3*>{p.head, nullptr}));
    EXPECT_TRUE(p.lowerState.animation == &p.animations[22] && p.upperState.animation == &p.animations[11]);
    EXPECT_EQ(std::string(p.skinNames[0]) + " " + p.skinNames[1] + " " + p.skinNames[2] + " " +
                  std::to_string(p.skinCount) + " " + std::to_string(p.lower->surfaces[0].numShaders),
              "default red blue 3 1");
    const std::string slots =
        " l_legs:0=mlegs.tga l_legs:1=red_legs.tga l_legs:2=blue_legs.tga u_torso:0=ma.tga "
        "u_torso:1=red_torso.tga u_torso:2=blue_torso.tga h_head:0=mhead.tga h_head:2=blue_head.tga";
    EXPECT_EQ(Slots(p), slots);
    p.SelectSkin(2);
    p.SelectSkin(3);
    EXPECT_TRUE(p.currentSkin == 2 && p.lower->skinIndex == 2 && p.upper->skinIndex == 2 &&
                p.head->skinIndex == 2);
    {
        cModelQ3 b;
        ASSERT_TRUE(b.Load("models/players/tst"));
        EXPECT_TRUE(p.lower == b.lower && p.lower->refCount == 2 && p.lower->animState == &b.lowerState);
        EXPECT_EQ(Slots(p), slots);
        b.Unload();
        EXPECT_TRUE(p.lower->animState == nullptr && !b.IsLoaded());
    }
    p.Unload();
    EXPECT_TRUE(gRessMgr.Cache().empty());
}

// The cache shares a model by reference count and reloads it after the last release; a destroyed
// model no longer hangs below others; failures are not cached (the file may come with an archive
// mounted later); keys are exact, though archives ignore case.
TEST_F(PlayerTest, CacheSharesByReferenceCountAndKeepsNoFailure)
{
    zip.AddFile("models/c.md3", Part({{"s", {}}}, {"tag_x"}));
    std::vector<unsigned char> broken = Part({{"s", {}}}, {"tag_x"});
    broken[0] = 'J';
    zip.AddFile("models/broken.md3", broken);
    Mount(zip);
    const char* lower = "models/players/tst/lower.md3";
    cMd3* a = gRessMgr.Load(lower);
    ASSERT_TRUE(a && gRessMgr.Load(lower) == a && a->name == lower && a->refCount == 2);
    gRessMgr.Release(a);
    cMd3 stranger;
    gRessMgr.Release(&stranger); // not cached: ignored
    gRessMgr.Remove("models/unknown.md3");
    EXPECT_TRUE(a->refCount == 1 && gRessMgr.Cache().size() == 1);
    cMd3* child = gRessMgr.Load("models/c.md3");
    a->AttachToTag("tag_torso", child);
    gRessMgr.Release(child);
    EXPECT_EQ(a->links[0], nullptr);
    gRessMgr.Release(a);
    EXPECT_TRUE(gRessMgr.Cache().empty());
    a = gRessMgr.Load(lower);
    ASSERT_TRUE(a && a->refCount == 1);

    EXPECT_EQ(gRessMgr.Load("models/broken.md3"), nullptr);
    EXPECT_EQ(gRessMgr.Load("models/late.md3"), nullptr);
    EXPECT_EQ(gRessMgr.Cache().size(), 1u);
    ZipBuilder late;
    late.AddFile("models/late.md3", Part({{"s", {}}}, {"tag_x"}), true);
    Mount(late, "late.pk3");
    cMd3* found = gRessMgr.Load("models/late.md3");
    cMd3* upper = gRessMgr.Load("Models/late.md3");
    ASSERT_TRUE(found && upper && found != upper && found->refCount == 1);
    EXPECT_EQ(upper->name, "Models/late.md3");
}

TEST_F(PlayerTest, LoadErrorsSayWhatWentWrong)
{
    zip.AddFile("models/players/grism/lower.md3", Part({{"l", {}}}, {"tag_torso"}));
    std::vector<unsigned char> upper = Part({{"u", {}}}, {"tag_head"});
    upper.resize(upper.size() - 8);
    zip.AddFile("models/players/cut/lower.md3", Part({{"l", {}}}, {"tag_torso"}));
    zip.AddFile("models/players/cut/upper.md3", upper);
    std::vector<unsigned char> gun = Part({{"g", {}}}, {"tag_flash"});
    gun[0] = 'X';
    zip.AddFile("models/weapons2/gun/gun.md3", gun);
    zip.AddFile("models/weapons2/ok/ok.md3", Part({{"g", {}}}, {"tag_flash"}));
    Mount(zip);
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
    // Parts loaded before a failure stay held until the next load or destruction.
    EXPECT_TRUE(!p.IsLoaded() && p.lower);
    cModelQ3 fresh;
    fresh.LoadSkins();
    EXPECT_EQ(fresh.skinCount, 0u);
    for (const char* line :
         {"CRessMgr:: models/players/grism/upper.md3 ressource loading failed!",
          "cModelQ3:: folder path too long", "cModelQ3:: can`t load skins (modeldir not specified!)"})
        EXPECT_NE(log.Debug().find(line), std::string::npos) << line;
}

// Nine skins beside default, one with a long name, and no default skin files; the legs' file
// names fill the fixed slots. The plain rules keep 8 skins; the game look keeps every one listed
// (a second folder lists 70: up to 64) and starts a player without default skin files on its
// first listed skin. Skins from several archives: each lists its own files; the unique listing
// keeps one of each name.
TEST_F(PlayerTest, SkinListsKeepToTheirBounds)
{
    const std::string d = "models/players/many/", lots = "models/players/lots/";
    zip.AddFile(d + "lower.md3", Part({{"l_legs", {"a", "b", "c", "d", "e", "f", "g", "h"}}}, {"tag_torso"}));
    zip.AddFile(d + "upper.md3", Part({{"u_torso", {"u"}}}, {"tag_head"}));
    zip.AddFile(d + "head.md3", Part({{"h_head", {"h"}}}, {}));
    zip.AddFile(d + "lower_" + std::string(100, 'k') + ".skin", std::string("l_legs,long.tga\n"));
    for (int i = 1; i <= 8; i++)
    {
        zip.AddFile(d + "lower_s" + std::to_string(i) + ".skin", "l_legs,legs" + std::to_string(i) + "\n");
        zip.AddFile(d + "upper_s" + std::to_string(i) + ".skin",
                    "u_torso," + std::string(i > 1 ? 2 : 200, 'u') + "\n");
    }
    for (const char* part : {"lower", "upper", "head"})
        zip.AddFile(lots + part + ".md3", Part({{"l_s", {"x"}}}, {"tag_torso", "tag_head"}));
    for (int i = 0; i < 70; i++)
        zip.AddFile(lots + "lower_" + std::to_string(i) + ".skin", std::string("l_s,y\n"));
    Mount(zip);
    ZipBuilder patch;
    patch.AddFile("models/players/tst/lower_RED.skin", std::string("l_legs,patch_red.tga\n"));
    patch.AddFile("models/players/tst/lower_green.skin", std::string("l_legs,green.tga\n"));
    Mount(patch, "patch.pk3");
    for (bool gameLook : {false, true})
    {
        ScopedGameLook look(gameLook);
        gFileMgr.SetUniqueListing(gameLook);
        gRessMgr.Reset();
        cModelQ3 p, many, tst;
        ASSERT_TRUE(p.Load("models/players/many") && many.Load("models/players/lots") &&
                    tst.Load("models/players/tst"));
        std::string skins = std::to_string(p.currentSkin) + ":";
        for (const cModelQ3* m : {&p, &tst})
            for (uint32_t k = 0; k < m->skinCount; k++)
                skins += std::string(" ") + m->skinNames[k];
        EXPECT_EQ(skins, gameLook ? "1: default " + std::string(63, 'k') +
                                        " s1 s2 s3 s4 s5 s6 s7 s8 default red blue green"
                                  : "0: default " + std::string(63, 'k') +
                                        " s1 s2 s3 s4 s5 s6 default red blue RED green");
        EXPECT_EQ(Slots(p),
                  " l_legs:0=m l_legs:2=legs1 l_legs:3=legs2 l_legs:4=legs3 l_legs:5=legs4 l_legs:6=legs5 "
                  "l_legs:7=legs6" +
                      std::string(gameLook ? " l_legs:8=legs7 l_legs:9=legs8" : "") +
                      " u_torso:0=m u_torso:2=" + std::string(63, 'u') +
                      " u_torso:3=uu u_torso:4=uu u_torso:5=uu "
                      "u_torso:6=uu u_torso:7=uu" +
                      (gameLook ? " u_torso:8=uu u_torso:9=uu" : "") + " h_head:0=m");
        EXPECT_STREQ(tst.lower->surfaces[0].shaders[1].name, "red_legs.tga");
        EXPECT_EQ(many.skinCount, gameLook ? 64u : 8u);
        EXPECT_EQ(many.lower->surfaces[0].Slot(63) != nullptr, gameLook);
        p.SelectSkin(p.skinCount - 1);
        EXPECT_EQ(p.upper->skinIndex, gameLook ? 9u : 7u);
    }
    gFileMgr.SetUniqueListing(false);
    EXPECT_NE(log.Debug().find("cModelQ3:: models/players/many : more than 8 skins, s7 left out"),
              std::string::npos);
    EXPECT_NE(log.Debug().find("cModelQ3:: models/players/lots : more than 64 skins, 69 left out"),
              std::string::npos);
}

// Which shader each surface is drawn with in each skin. Skin k draws slot k, an empty slot the
// default skin's entry. The game look tries the stored file name, the plain name and the default
// entry for one that leads somewhere, leaves out a surface whose skin names it with no shader,
// "null" or "nodraw", and one whose choice leads nowhere and is such a word.
TEST_F(PlayerTest, SkinsDrawTheirSlotOrTheDefaultEntry)
{
    const std::string d = "models/players/fb/";
    zip.AddFile(d + "lower.md3", Part({{"l_legs", {"xlegs.tga"}}}, {"tag_torso"}));
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
    Mount(zip);
    cModelQ3 p;
    ASSERT_TRUE(p.Load("models/players/fb"));
    KnownShadersDrawer rec;
    rec.known = {"legs_def", "red_legs", "xa", "mv", "xhead", "torso_def", "vest_def", "blue_head"};
    rec.Install();
    std::string drawn;
    for (uint32_t skin = 0; skin < 3; skin++)
        for (bool gameLook : {false, true})
        {
            ScopedGameLook look(gameLook);
            p.SelectSkin(skin);
            rec.draws.clear();
            p.Render();
            drawn += rec.Drawn() + "\n";
        }
    EXPECT_EQ(drawn, "l_legs=legs_def u_torso=torso_def u_vest=mv h_head=null h_hat=hat_def\n"
                     "l_legs=legs_def u_torso=xa u_vest=mv h_head=xhead h_hat=hat_def\n"
                     "l_legs=red_legs u_torso=gone u_vest=vest_def h_head=null h_hat=hat_def\n"
                     "l_legs=red_legs u_torso=torso_def h_hat=hat_def\n"
                     "l_legs=legs_def u_torso=nodraw u_vest=vest_def h_head=blue_head h_hat=hat_def\n"
                     "l_legs=legs_def u_vest=vest_def h_head=blue_head h_hat=hat_def\n");
}

// The figure stands up (model z becomes view y); legs count from the torso start and idle's end
// frame, equal to lower's 4 frames, is cut; the clock counts whole milliseconds. The game look
// counts from the load, so a clock that has run for weeks still tells milliseconds apart.
TEST_F(PlayerTest, RenderAdvancesTheClock)
{
    Mount(zip);
    cModelQ3 p, unloaded;
    ASSERT_TRUE(p.Load("models/players/tst"));
    RecordingDrawer rec;
    rec.Install();
    SetFakeClock(100.0);
    p.Render();
    ASSERT_EQ(rec.draws.size(), 3u);
    EXPECT_EQ(rec.draws[2].surface, &p.head->surfaces[0]);
    const float up[3] = {0, 0, 1};
    const auto y = RecordingDrawer::Apply(rec.draws[0].transform, up);
    EXPECT_TRUE(std::fabs(y[0]) < 1e-6 && std::fabs(y[1] - 1) < 1e-6 && std::fabs(y[2]) < 1e-6);
    EXPECT_EQ(p.lowerState.nextFrame, 2u);
    SetFakeClock(100.0625);
    p.Render();
    EXPECT_NEAR(p.upperState.fraction, 0.5f, 0.01f);
    ScopedGameLook look(true);
    SetFakeClock(4000000.0);
    ASSERT_TRUE(p.Load("models/players/tst"));
    p.Render();
    SetFakeClock(4000000.0625);
    p.Render();
    EXPECT_NEAR(p.upperState.fraction, 0.5f, 0.01f);
    unloaded.Render();
    EXPECT_EQ(rec.draws.size(), 12u);
}

// Running out of memory at any one allocation of a player's or a weapon's load (the cache, the
// file layer, the model files, skins, animation.cfg) fails that load alone: nothing of it is
// kept, and the next load works.
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
