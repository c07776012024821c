// The viewer's start-up, model lists, selection, keys and frame-rate counter on archives built
// by the tests.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "fs/filemgr.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "support/gamepak.h"
#include "support/testutil.h"

#include <SDL.h>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace
{
template <class T> std::string Names(const std::vector<std::unique_ptr<T>>& list)
{
    std::string names;
    for (auto& entry : list)
        names += entry->name + " ";
    return names;
}

// What the part holds at the tag (the first of that name).
cMd3* LinkAt(cMd3* part, const char* tag)
{
    for (uint32_t t = 0; t < part->numTags; ++t)
        if (std::string(part->frames[0].tags[t].name) == tag)
            return part->links[t];
    return nullptr;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

class ViewerTest : public ::testing::Test
{
  protected:
    void SetUp() override { Restart(); }
    void TearDown() override
    {
        viewer.reset();
        Restart();
        gGameLook = false;
    }
    // A new viewer with nothing loaded or mounted.
    void Restart()
    {
        viewer = std::make_unique<ViewerApp>();
        gRessMgr.Reset();
        gFileMgr.Reset();
        gShaderMgr.Reset();
        gConsole.Reset();
        gConsole.Init();
    }
    // Writes the archive as <temp>/game/baseq3/pak0.pk3 and an app.cfg naming that folder.
    void WriteGame(const std::vector<unsigned char>& pak, const std::string& settings = "")
    {
        mkdir(dir.File("game").c_str(), 0755);
        mkdir(dir.File("game/baseq3").c_str(), 0755);
        ASSERT_TRUE(WriteFileBytes(dir.File("game/baseq3/pak0.pk3"), pak));
        ASSERT_TRUE(WriteFileText(dir.File("app.cfg"),
                                  "width = 640\nq3apath = " + dir.File("game") + "\n" + settings));
    }

    TempDir dir;
    ScopedWorkDir workDir{dir.Path()};
    LogCapture logs;
    std::unique_ptr<ViewerApp> viewer;
};

// Selection rules, step by step on an archive whose first player folder and first weapon
// folder hold no model: the start skips them, a failed entry is tried once per selection (one
// debug line each), a weapon that fails empties the hand, a player chosen with the gun off
// holds nothing, and the overlay names failed entries and why (game look).
TEST_F(ViewerTest, SelectionLoadsInOnePlaceAndMarksFailures)
{
    ZipBuilder zip;
    zip.AddDir("models/players/empty/");
    zip.AddFile("models/players/empty/skin.tga", SolidTga({128, 128, 128}), true);
    AddGamePlayer(zip, "alpha", {0, 0, 255});
    AddGamePlayer(zip, "beta", {255, 0, 255});
    zip.AddDir("models/weapons2/shells/");
    zip.AddFile("models/weapons2/shells/s.md3", std::string("not a model"));
    AddGameWeapon(zip, "gunA", {0, 255, 255});
    AddGameWeapon(zip, "gunB", {255, 255, 0});
    WriteGame(zip.Build(), "gamelook = 1\n");
    ASSERT_TRUE(viewer->OnInit());
    ASSERT_TRUE(gGameLook);
    const std::string emptyFails = "models/players/empty/lower.md3 ressource loading failed!";
    const std::string shellsFails = "models/weapons2/shells/shells.md3 ressource loading failed!";
    const std::vector<std::string> empty = {"models/players/empty failed:", "  no lower.md3 in any archive"},
                                   shells = {"models/weapons2/shells failed:", "  no shells.md3 in any archive"},
                                   both = {empty[0], empty[1], shells[0], shells[1]};

    const int NONE = -1, ANY = -2; // held: no weapon; not checked (the player has no parts)
    // Keys released as in the viewer's help: keypad + - players, * / weapons, < the gun; r draws.
    const struct
    {
        const char* keys;
        int player, weapon, held;
        size_t emptyTries, shellsTries;
        std::vector<std::string> failures;
    } steps[] = {
        {"", 1, 1, 1, 1, 1, {}},              // start
        {"/", 1, 0, NONE, 1, 2, shells},      // a weapon that fails
        {"rr", 1, 0, NONE, 1, 2, shells},     // frames try nothing
        {"-", 0, 0, ANY, 2, 2, both},         // a player that fails
        {"+", 1, 0, NONE, 2, 2, shells},      // back to a player
        {"*+", 2, 1, 1, 2, 2, {}},            // a weapon that loads, next player
        {"-<+", 2, 1, NONE, 2, 2, {}},        // gun off, player with the gun off
        {"<", 2, 1, 1, 2, 2, {}},             // gun on
        {"+", 0, 1, ANY, 3, 2, empty},        // players wrap forward
        {"//", 0, 2, ANY, 3, 3, empty},       // weapons wrap back
        {"-", 2, 2, 2, 3, 3, {}},             // players wrap back
    };
    for (const auto& step : steps)
    {
        SCOPED_TRACE(&step - steps);
        for (const char* k = step.keys; *k; ++k)
            if (*k == 'r')
                viewer->Render();
            else
                viewer->OnKeyUp(*k == '<' ? uint32_t(SDLK_LESS)
                                          : uint32_t(SDLK_KP_DIVIDE + (strchr("/*-+", *k) - "/*-+")),
                                0);
        EXPECT_EQ(viewer->currentPlayer, step.player);
        EXPECT_EQ(viewer->currentWeapon, step.weapon);
        if (step.held != ANY)
        {
            EXPECT_EQ(LinkAt(viewer->CurrentModel()->upper, "tag_weapon"),
                      step.held == NONE ? nullptr : viewer->weapons[step.held]->main);
        }
        EXPECT_EQ(Count(logs.Debug(), emptyFails), step.emptyTries);
        EXPECT_EQ(Count(logs.Debug(), shellsFails), step.shellsTries);
        EXPECT_EQ(viewer->FailureLines(), step.failures);
    }

    // Failed entries are marked in the lists; without the game look they are plain grey names.
    EXPECT_EQ(viewer->ListLine(*viewer->players[0], false, true).text, "models/players/empty (failed)");
    gGameLook = false;
    sListLine failed = viewer->ListLine(*viewer->players[0], false, true);
    EXPECT_EQ(failed.text, "models/players/empty");
    EXPECT_FLOAT_EQ(failed.color[0], 0.7f);
    EXPECT_TRUE(viewer->FailureLines().empty());

}

// The skin keys beside the digits, the skin actions and the animation keys act on the current
// player; the flash variable takes every loaded weapon's muzzle flash off and on, also a weapon
// loaded while it is off.
TEST_F(ViewerTest, KeysActionsAndFlashVariable)
{
    ZipBuilder zip;
    AddGamePlayer(zip, "alpha", {0, 0, 255}, {{"red", {255, 0, 0}}, {"green", {0, 255, 0}}});
    AddGameWeapon(zip, "gunA", {0, 255, 255});
    AddGameWeapon(zip, "gunB", {255, 255, 0});
    WriteGame(zip.Build());
    ASSERT_TRUE(viewer->OnInit());
    cModelQ3* alpha = viewer->CurrentModel();
    ASSERT_TRUE(gConsole.Execute("bind n nextskin") && gConsole.Execute("bind p prevskin"));
    const int BOUND = 1 << 30, IDLE = ANIM_LEGS_IDLE; // a bound key is pressed, a viewer key released
    const struct
    {
        int key;
        uint32_t skin;
        int legsAnim;
    } inputs[] = {{SDLK_RIGHTBRACKET, 1, IDLE}, {SDLK_RIGHTBRACKET, 2, IDLE}, {SDLK_RIGHTBRACKET, 0, IDLE},
                  {SDLK_LEFTBRACKET, 2, IDLE},  {BOUND | 'p', 1, IDLE},       {BOUND | 'n', 2, IDLE},
                  {SDLK_2, 1, IDLE},            {SDLK_4, 1, IDLE},            {SDLK_PAGEDOWN, 1, IDLE - 1},
                  {SDLK_1, 0, IDLE - 1}};
    for (const auto& input : inputs)
    {
        if (input.key & BOUND)
            gConsole.KeyPressed(input.key & ~BOUND);
        else
            viewer->OnKeyUp(input.key, 0);
        EXPECT_EQ(alpha->currentSkin, input.skin) << "key " << input.key;
        EXPECT_EQ(alpha->legsAnim, input.legsAnim) << "key " << input.key;
    }
    viewer->OnKeyUp(SDLK_q, 0);
    EXPECT_FALSE(viewer->showText);

    auto flashOf = [](cWeaponQ3* weapon) { return LinkAt(weapon->main, "tag_flash"); };
    cWeaponQ3* gunA = viewer->weapons[0].get();
    EXPECT_EQ(flashOf(gunA), gunA->flash);
    ASSERT_TRUE(gConsole.Execute("flash 0"));
    EXPECT_EQ(flashOf(gunA), nullptr);
    viewer->NextWeapon();
    cWeaponQ3* gunB = viewer->weapons[1].get();
    ASSERT_TRUE(gunB->IsLoaded() && gunB->flash);
    EXPECT_EQ(flashOf(gunB), nullptr);
    ASSERT_TRUE(gConsole.Execute("flash"));
    EXPECT_FALSE(viewer->flash.Bool()); // no value: shown, not changed
    ASSERT_TRUE(gConsole.Execute("flash 1"));
    EXPECT_EQ(flashOf(gunA), gunA->flash);
    EXPECT_EQ(flashOf(gunB), gunB->flash);
}

// Without settings, without a game path (blank or too long) or without players the lists stay
// empty, and the keys that step through them do nothing.
TEST_F(ViewerTest, NothingToListLeavesListsEmpty)
{
    EXPECT_FALSE(viewer->OnInit());
    for (const std::string& path : {std::string("  "), std::string(300, 'x')})
    {
        gFileMgr.Reset();
        ASSERT_TRUE(WriteFileText(dir.File("app.cfg"), "width = 640\nq3apath = " + path + "\n"));
        EXPECT_FALSE(viewer->OnInit());
    }
    EXPECT_EQ(Count(logs.Debug(), "App:: where is the app.cfg??"), 1u);
    EXPECT_EQ(Count(logs.Debug(), "App:: Q3A Path not specified in app.cfg!"), 2u);
    EXPECT_TRUE(gFileMgr.Zips().empty());

    ZipBuilder zip;
    zip.AddDir("models/players/");
    Restart();
    WriteGame(zip.Build());
    ASSERT_TRUE(viewer->OnInit());
    EXPECT_TRUE(viewer->players.empty());
    for (uint32_t key : {SDLK_KP_PLUS, SDLK_KP_MULTIPLY, SDLK_2, SDLK_KP_MINUS})
        viewer->OnKeyUp(key, 0);
    EXPECT_EQ(viewer->currentPlayer * 10 + viewer->currentWeapon, 0);
    viewer->PrevModel();
    EXPECT_EQ(viewer->currentPlayer, -1);
    EXPECT_EQ(viewer->CurrentModel(), nullptr);
    viewer->Render();
}

// Without mountall only pak0.pk3 of the game folder and its models.shader are read; with it
// every archive of the folder (one made without folder records), and under the game look every
// script; the lists hold each name once, sorted.
TEST_F(ViewerTest, MountAllListsEveryFolderOnceSorted)
{
    ZipBuilder pak0;
    AddGamePlayer(pak0, "sarge", {0, 0, 255});
    AddGameWeapon(pak0, "rail", {0, 255, 255});

    ZipBuilder players;
    AddGamePlayer(players, "Beret", {255, 0, 0});
    AddGamePlayer(players, "sarge", {0, 255, 0});
    players.AddFile("scripts/extra.shader", std::string("extra/glow\n{\n\t{\n\t\tmap $whiteimage\n\t}\n}\n"));
    ZipBuilder user;
    AddGamePlayer(user, "angel", {255, 255, 0});
    AddGameWeapon(user, "RAIL", {255, 0, 255});
    for (auto it = user.members.begin(); it != user.members.end();)
        it = it->name.back() == '/' ? user.members.erase(it) : it + 1;
    mkdir(dir.File("game").c_str(), 0755);
    mkdir(dir.File("game/baseoa").c_str(), 0755);
    ASSERT_TRUE(pak0.Write(dir.File("game/baseoa/pak0.pk3")) &&
                players.Write(dir.File("game/baseoa/pak2-players.pk3")) &&
                user.Write(dir.File("game/baseoa/zz-user.PK3")));
    for (const bool all : {false, true})
    {
        SCOPED_TRACE(all);
        Restart();
        ASSERT_TRUE(WriteFileText(dir.File("app.cfg"), "q3apath = " + dir.File("game") +
                                                           "\nq3game = baseoa\nmountall = " + (all ? "1\ngamelook = 1" : "0")));
        ASSERT_TRUE(viewer->OnInit());
        EXPECT_EQ(gFileMgr.Zips().size(), all ? 3u : 1u);
        EXPECT_EQ(gFileMgr.UniqueListing(), all); // skin lists too hold each name once
        EXPECT_EQ(gShaderMgr.Find("extra/glow") >= 0, all);
        EXPECT_EQ(Names(viewer->players), all ? "models/players/angel models/players/Beret models/players/sarge "
                                              : "models/players/sarge ");
        EXPECT_EQ(Names(viewer->weapons), all ? "models/weapons2/RAIL " : "models/weapons2/rail ");
    }
    viewer->currentPlayer = 0;
    ASSERT_TRUE(viewer->CurrentModel() && viewer->CurrentModel()->IsLoaded());
}

// Start options on the end-to-end archive: player, skin, animation and frame chosen, framing
// from app.cfg (the figure's box, 47 high and centred at 1.5, fills two thirds of the view
// height at fov 60), resetcam back to it, a weapon part alone, and choices the game lacks.
TEST_F(ViewerTest, StartOptionsFramingAndOneModelAlone)
{
    WriteGame(BuildGamePak(), "framing = 1\n");
    const char* argv[] = {"viewer", "--player", "BETA",    "--skin", "default",
                          "--anim", "legs_run", "--frame", "1"};
    sViewerOptions chosen;
    std::ostringstream out;
    ASSERT_EQ(ParseViewerOptions(9, argv, chosen, out, out), -1);
    viewer->options = chosen;
    ASSERT_TRUE(viewer->OnInit());
    ASSERT_EQ(viewer->startError, "");
    cModelQ3* beta = viewer->CurrentModel();
    EXPECT_EQ(beta->name, "models/players/beta");
    EXPECT_EQ(beta->legsAnim, 15);
    EXPECT_TRUE(beta->IsPaused());
    EXPECT_EQ(beta->lowerState.currentFrame, 1u);
    const float distance = 23.5f / (2.0f / 3.0f * std::tan(3.14159265f / 6));
    auto expectView = [this](float x, float y, float z)
    {
        EXPECT_NEAR(viewer->camera.x, x, 1e-3);
        EXPECT_NEAR(viewer->camera.y, y, 1e-3);
        EXPECT_NEAR(viewer->camera.z, z, 1e-2);
        EXPECT_EQ(viewer->camera.yaw, 0.0f);
    };
    expectView(0, 1.5f, distance);
    viewer->camera.x = 3.0f;
    viewer->camera.yaw = 40.0f;
    ASSERT_TRUE(gConsole.Execute("bind x resetcam"));
    gConsole.KeyPressed('x');
    expectView(0, 1.5f, distance);

    ASSERT_TRUE(gConsole.Execute("model models/weapons2/gunb/gunb.md3"));
    ASSERT_NE(viewer->SoloRoot(), nullptr);
    expectView(9.0f, 0.0f, distance * 11.0f / 23.5f * 0.75f); // 22 long: its width sets it at 4:3
    // The console types "-" for "_": the command takes it so.
    ASSERT_TRUE(gConsole.Execute("model models/weapons2/gunb/gunb-flash.md3"));
    EXPECT_EQ(viewer->soloPath, "models/weapons2/gunB/gunB_flash.md3");
    ASSERT_TRUE(gConsole.Execute("model") && gConsole.Execute("anim torso-attack"));
    EXPECT_EQ(viewer->SoloRoot(), nullptr);
    expectView(0, 1.5f, distance);
    EXPECT_EQ(beta->torsoAnim, 7);

    const struct
    {
        const char *player, *skin, *weapon, *model, *error;
    } lacking[] = {{"gamma", "", "", "", "no player gamma in the game (players: empty, alpha, beta)"},
                   {"empty", "", "", "", "player empty did not load: no lower.md3 in any archive"},
                   {"", "blue", "", "", "no skin blue for models/players/alpha (skins: default, red)"},
                   {"", "", "gunC", "", "no weapon gunC in the game (weapons: gunA, gunB)"},
                   {"", "", "", "models/x.md3", "model models/x.md3 did not load"}};
    for (const auto& c : lacking)
    {
        Restart();
        viewer->options = chosen;
        viewer->options.player = c.player, viewer->options.skin = c.skin;
        viewer->options.weapon = c.weapon, viewer->options.model = c.model;
        viewer->OnInit();
        EXPECT_EQ(viewer->startError.substr(0, strlen(c.error)), c.error);
    }
}

TEST(FrameRateTest, ShowsAverageOfLastIntervalOverASecond)
{
    sFrameRate rate;
    rate.Count(5000); // the first call already renews: 1 frame over 5 s
    EXPECT_EQ(rate.perSecond, 0);
    for (uint32_t i = 1; i <= 60; ++i)
        rate.Count(5000 + i * 16);
    EXPECT_EQ(rate.perSecond, 0); // 960 ms: not yet
    rate.Count(6016);             // 61 frames over 1016 ms
    EXPECT_EQ(rate.perSecond, 60);
    rate.Count(7016); // exactly 1000 ms later: kept
    EXPECT_EQ(rate.perSecond, 60);
}
} // namespace
