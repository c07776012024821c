// The viewer's start-up, model lists, selection, keys and frame-rate counter on archives built
// by the tests.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "fs/filemgr.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "support/gamepak.h"
#include "support/glcontext.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <SDL.h>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace
{
// Exposes the frame factor that the frame loop would measure.
class TestViewer : public ViewerApp
{
  public:
    void SetFrameFactor(float f) { frameFactor = f; }
};

template <class T> std::vector<std::string> Names(const std::vector<std::unique_ptr<T>>& list)
{
    std::vector<std::string> names;
    for (auto& entry : list)
        names.push_back(entry->name);
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

cMd3* HeldWeapon(cModelQ3* player) { return LinkAt(player->upper, "tag_weapon"); }

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
    static void ResetAll()
    {
        gRessMgr.Reset();
        gFileMgr.Reset();
        gShaderMgr.Reset();
        gConsole.Reset();
    }
    void SetUp() override
    {
        ResetAll();
        gConsole.Init();
    }
    void TearDown() override
    {
        viewer.reset();
        ResetAll();
        gGameLook = false;
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
    // Starts the viewer on the end-to-end tests' archive: alpha (second entry) and gunA current.
    bool StartGamePak()
    {
        WriteGame(BuildGamePak());
        return viewer->OnInit();
    }

    TempDir dir;
    ScopedWorkDir workDir{dir.Path()};
    LogCapture logs;
    std::unique_ptr<TestViewer> viewer = std::make_unique<TestViewer>();
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
    EXPECT_EQ(
        Names(viewer->players),
        (std::vector<std::string>{"models/players/empty", "models/players/alpha", "models/players/beta"}));
    EXPECT_FLOAT_EQ(viewer->camera.z, 75.0f);
    EXPECT_EQ(viewer->camera.mode, CAMERA_EXAMINE);
    const std::string emptyFails = "models/players/empty/lower.md3 ressource loading failed!";
    const std::string shellsFails = "models/weapons2/shells/shells.md3 ressource loading failed!";
    const std::string emptyLine = "models/players/empty failed:", emptyWhy = "  no lower.md3 in any archive";
    const std::string shellsLine = "models/weapons2/shells failed:",
                      shellsWhy = "  no shells.md3 in any archive";

    const int NONE = -1, ANY = -2; // held: no weapon; not checked (the player has no parts)
    // Keys released as in the viewer's help: keypad + - players, * / weapons, < the gun; r draws.
    const struct sStep
    {
        const char* what;
        const char* keys;
        int player, weapon, held;
        size_t emptyTries, shellsTries;
        std::vector<std::string> failures;
    } steps[] = {
        {"start", "", 1, 1, 1, 1, 1, {}},
        {"weapon that fails", "/", 1, 0, NONE, 1, 2, {shellsLine, shellsWhy}},
        {"frames try nothing", "rr", 1, 0, NONE, 1, 2, {shellsLine, shellsWhy}},
        {"player that fails", "-", 0, 0, ANY, 2, 2, {emptyLine, emptyWhy, shellsLine, shellsWhy}},
        {"back to a player", "+", 1, 0, NONE, 2, 2, {shellsLine, shellsWhy}},
        {"weapon that loads", "*", 1, 1, 1, 2, 2, {}},
        {"next player", "+", 2, 1, 1, 2, 2, {}},
        {"gun off", "-<", 1, 1, NONE, 2, 2, {}},
        {"player with the gun off", "+", 2, 1, NONE, 2, 2, {}},
        {"gun on", "<", 2, 1, 1, 2, 2, {}},
        {"players wrap forward", "+", 0, 1, ANY, 3, 2, {emptyLine, emptyWhy}},
        {"weapons wrap back", "//", 0, 2, ANY, 3, 3, {emptyLine, emptyWhy}},
        {"players wrap back", "-", 2, 2, 2, 3, 3, {}},
    };
    for (const sStep& step : steps)
    {
        SCOPED_TRACE(step.what);
        for (const char* k = step.keys; *k; ++k)
            if (*k == 'r')
                viewer->Render();
            else
                viewer->OnKeyUp(*k == '<' ? uint32_t(SDLK_LESS)
                                          : uint32_t(SDLK_KP_DIVIDE + (strchr("/*-+", *k) - "/*-+")),
                                0);
        EXPECT_EQ(viewer->currentPlayer, step.player);
        EXPECT_EQ(viewer->currentWeapon, step.weapon);
        cModelQ3* player = viewer->CurrentModel();
        if (step.held != ANY)
        {
            EXPECT_EQ(HeldWeapon(player), step.held == NONE ? nullptr : viewer->weapons[step.held]->main);
        }
        EXPECT_EQ(Count(logs.Debug(), emptyFails), step.emptyTries);
        EXPECT_EQ(Count(logs.Debug(), shellsFails), step.shellsTries);
        EXPECT_EQ(viewer->FailureLines(), step.failures);
    }

    // Failed entries are marked in the lists; without the game look they are plain grey names.
    sListLine failed = viewer->ListLine(*viewer->players[0], false, viewer->playerFailed[0]);
    EXPECT_EQ(failed.text, "models/players/empty (failed)");
    EXPECT_EQ(viewer->ListLine(*viewer->players[1], false, false).text, "models/players/alpha");
    gGameLook = false;
    failed = viewer->ListLine(*viewer->players[0], false, true);
    EXPECT_EQ(failed.text, "models/players/empty");
    EXPECT_FLOAT_EQ(failed.color[0], 0.7f);
    EXPECT_TRUE(viewer->FailureLines().empty());
    // Names from an archive reach the screen with their control characters escaped.
    viewer->players[0]->name = "models/players/\x1b[2Jem\tpty\n";
    EXPECT_EQ(viewer->ListLine(*viewer->players[0], false, true).text, "models/players/\\x1b[2Jem\\tpty\\n");
    viewer->players[0]->name = "models/players/empty";

    // Reading the selection loads nothing; selecting does.
    viewer->players.emplace_back(new cModelQ3());
    viewer->players.back()->name = "models/players/beta";
    viewer->playerFailed.push_back(false);
    viewer->currentPlayer = 3;
    viewer->Render();
    ASSERT_NE(viewer->CurrentModel(), nullptr);
    EXPECT_FALSE(viewer->CurrentModel()->IsLoaded());
    viewer->SelectModel(3);
    EXPECT_TRUE(viewer->CurrentModel()->IsLoaded());
}

// The skin keys beside the digits and the skin actions wrap round the player's skins; the
// flash variable takes every loaded weapon's muzzle flash off and on, also a weapon loaded
// while it is off.
TEST_F(ViewerTest, SkinKeysActionsAndFlashVariable)
{
    ZipBuilder zip;
    AddGamePlayer(zip, "alpha", {0, 0, 255}, {{"red", {255, 0, 0}}, {"green", {0, 255, 0}}});
    AddGameWeapon(zip, "gunA", {0, 255, 255});
    AddGameWeapon(zip, "gunB", {255, 255, 0});
    WriteGame(zip.Build());
    ASSERT_TRUE(viewer->OnInit());
    cModelQ3* alpha = viewer->CurrentModel();
    ASSERT_EQ(alpha->skinCount, 3u);
    ASSERT_TRUE(gConsole.Execute("bind n nextskin") && gConsole.Execute("bind p prevskin"));
    const struct
    {
        int key;
        bool released; // a viewer key (released) or a bound key (pressed)
        uint32_t skin;
    } inputs[] = {{SDLK_RIGHTBRACKET, true, 1},
                  {SDLK_RIGHTBRACKET, true, 2},
                  {SDLK_RIGHTBRACKET, true, 0},
                  {SDLK_LEFTBRACKET, true, 2},
                  {'p', false, 1},
                  {'n', false, 2},
                  {SDLK_2, true, 1},
                  {SDLK_1, true, 0}};
    for (const auto& input : inputs)
    {
        if (input.released)
            viewer->OnKeyUp(input.key, 0);
        else
            gConsole.KeyPressed(input.key);
        EXPECT_EQ(alpha->currentSkin, input.skin) << "key " << input.key;
    }

    auto flashOf = [](cWeaponQ3* weapon) { return LinkAt(weapon->main, "tag_flash"); };
    cWeaponQ3* gunA = viewer->weapons[0].get();
    EXPECT_EQ(flashOf(gunA), gunA->flash);
    ASSERT_TRUE(gConsole.Execute("flash 0"));
    EXPECT_FALSE(viewer->flash.Bool());
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

// With the game look a player no longer shown gives back its vertex frames and drawing it again
// reads them back; a file that no longer gives them leaves it undrawn, said once.
TEST_F(ViewerTest, PlayerNotShownGivesBackItsFrames)
{
    WriteGame(BuildGamePak(), "gamelook = 1\n");
    ASSERT_TRUE(viewer->OnInit());
    cMd3* lower = viewer->CurrentModel()->lower;
    const std::vector<int16_t> frames = lower->surfaces[0].xyz.coords;
    ASSERT_FALSE(frames.empty());
    viewer->NextModel();
    EXPECT_TRUE(lower->framesReleased);
    EXPECT_TRUE(lower->surfaces[0].xyz.coords.empty());
    EXPECT_FALSE(viewer->CurrentModel()->lower->framesReleased);
    viewer->PrevModel();
    viewer->Render();
    EXPECT_FALSE(lower->framesReleased);
    EXPECT_EQ(lower->surfaces[0].xyz.coords, frames);

    viewer->NextModel();
    viewer->PrevModel();
    lower->name = "models/players/alpha/gone.md3";
    viewer->Render();
    viewer->Render();
    EXPECT_TRUE(lower->framesLost);
    EXPECT_EQ(Count(logs.Debug(), "gone.md3 : can`t read the vertex frames again"), 1u);
}

TEST_F(ViewerTest, EmptyListsIgnoreKeysAndStepToNothing)
{
    ZipBuilder zip;
    zip.AddDir("models/players/");
    WriteGame(zip.Build());
    ASSERT_TRUE(viewer->OnInit());
    EXPECT_TRUE(viewer->players.empty());
    for (uint32_t key : {SDLK_KP_PLUS, SDLK_KP_MULTIPLY, SDLK_q, SDLK_LESS, SDLK_2})
        viewer->OnKeyUp(key, 0);
    EXPECT_EQ(viewer->currentPlayer, 0);
    EXPECT_EQ(viewer->currentWeapon, 0);
    EXPECT_TRUE(viewer->showText);
    EXPECT_TRUE(viewer->gunOn);

    viewer->NextModel();
    EXPECT_EQ(viewer->currentPlayer, 0);
    viewer->PrevModel();
    EXPECT_EQ(viewer->currentPlayer, -1);
    EXPECT_EQ(viewer->CurrentModel(), nullptr);
    viewer->Render();
}

TEST_F(ViewerTest, KeysActOnTheCurrentPlayer)
{
    ASSERT_TRUE(StartGamePak());
    cModelQ3* alpha = viewer->CurrentModel();
    viewer->OnKeyUp(SDLK_3, 0); // no third skin
    EXPECT_EQ(alpha->currentSkin, 0u);
    viewer->OnKeyUp(SDLK_PAGEDOWN, 0);
    EXPECT_EQ(alpha->legsAnim, ANIM_LEGS_IDLE - 1);
    viewer->OnKeyUp(SDLK_q, 0);
    EXPECT_FALSE(viewer->showText);

    // Keys on a player that failed to load change nothing and do not crash.
    viewer->PrevModel();
    for (uint32_t key : {SDLK_2, SDLK_PERIOD, SDLK_INSERT, SDLK_HOME, SDLK_PAGEUP, SDLK_RIGHTBRACKET})
        viewer->OnKeyUp(key, 0);
    EXPECT_EQ(viewer->currentPlayer, 0);
}

TEST_F(ViewerTest, MissingSettingsOrGamePathLeaveListsEmpty)
{
    EXPECT_FALSE(viewer->OnInit());
    EXPECT_NE(logs.Debug().find("App:: where is the app.cfg??"), std::string::npos);
    gFileMgr.Reset();
    ASSERT_TRUE(WriteFileText(dir.File("app.cfg"), "width = 640\nq3apath =   \n"));
    EXPECT_FALSE(viewer->OnInit());
    gFileMgr.Reset();
    ASSERT_TRUE(WriteFileText(dir.File("app.cfg"), "q3apath = " + std::string(300, 'x') + "\n"));
    EXPECT_FALSE(viewer->OnInit());
    EXPECT_EQ(Count(logs.Debug(), "App:: Q3A Path not specified in app.cfg!"), 2u);
    EXPECT_TRUE(viewer->players.empty());
    EXPECT_TRUE(gFileMgr.Zips().empty());
}

TEST_F(ViewerTest, FolderInTwoArchivesGivesTwoEntriesWithoutMountAll)
{
    ZipBuilder zip;
    AddGamePlayer(zip, "alpha", {0, 0, 255});
    for (const char* name : {"a.pk3", "b.pk3"})
    {
        ASSERT_TRUE(zip.Write(dir.File(name)));
        ASSERT_TRUE(gFileMgr.MountZip(dir.File(name).c_str()));
    }
    viewer->BuildModelLists();
    EXPECT_EQ(Names(viewer->players),
              (std::vector<std::string>{"models/players/alpha", "models/players/alpha"}));
}

// A game folder of another name with several archives, one made without folder records.
TEST_F(ViewerTest, MountAllListsEveryFolderOnceSorted)
{
    mkdir(dir.File("game").c_str(), 0755);
    mkdir(dir.File("game/baseoa").c_str(), 0755);
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
    ASSERT_TRUE(pak0.Write(dir.File("game/baseoa/pak0.pk3")) &&
                players.Write(dir.File("game/baseoa/pak2-players.pk3")) &&
                user.Write(dir.File("game/baseoa/zz-user.PK3")));
    const std::string cfg = "q3apath = " + dir.File("game") + "\nq3game = baseoa\nmountall = ";

    // mountall 0: pak0.pk3 of the named game folder only, as always.
    ASSERT_TRUE(WriteFileText(dir.File("app.cfg"), cfg + "0\n"));
    ASSERT_TRUE(viewer->OnInit());
    EXPECT_EQ(gFileMgr.Zips().size(), 1u);
    EXPECT_FALSE(gFileMgr.UniqueListing());
    EXPECT_EQ(Names(viewer->players), (std::vector<std::string>{"models/players/sarge"}));

    EXPECT_FALSE(gGameLook);
    EXPECT_LT(gShaderMgr.Find("extra/glow"), 0); // only scripts/models.shader is read

    viewer = std::make_unique<TestViewer>();
    ResetAll();
    gConsole.Init();
    ASSERT_TRUE(WriteFileText(dir.File("app.cfg"), cfg + "1\ngamelook = 1\n"));
    ASSERT_TRUE(viewer->OnInit());
    EXPECT_TRUE(gGameLook);
    EXPECT_GE(gShaderMgr.Find("extra/glow"), 0); // every script of every archive
    EXPECT_EQ(gFileMgr.Zips().size(), 3u);
    EXPECT_TRUE(gFileMgr.UniqueListing()); // skin lists too hold each name once
    EXPECT_EQ(
        Names(viewer->players),
        (std::vector<std::string>{"models/players/angel", "models/players/Beret", "models/players/sarge"}));
    EXPECT_EQ(Names(viewer->weapons), (std::vector<std::string>{"models/weapons2/RAIL"}));
    viewer->currentPlayer = 0;
    ASSERT_TRUE(viewer->CurrentModel() && viewer->CurrentModel()->IsLoaded());
}

TEST_F(ViewerTest, KeyStateMovesCameraByFrameFactorAndUpdateAppliesIt)
{
    ASSERT_TRUE(OpenTestGLContext(640, 480));
    viewer->camera.SetMode(CAMERA_EXAMINE);
    viewer->camera.z = 75.0f;
    viewer->camera.yaw = 90.0f; // so that the eye view would give another matrix
    viewer->SetFrameFactor(2.0f);
    InputState input;
    input.keys[SDLK_w] = 1;
    viewer->OnKeyState(&input);
    EXPECT_FLOAT_EQ(viewer->camera.speed, 2.4f);
    EXPECT_FLOAT_EQ(viewer->camera.z, 72.6f);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    viewer->Update(0.016f, 2.0f);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[14], -72.6f, 1e-4);
    glLoadIdentity();
}

// Start options on the end-to-end archive: player, skin, animation and frame chosen, framing
// from app.cfg (the figure's box, 47 high and centred at 1.5, fills two thirds of the view
// height at fov 60), resetcam back to it, a weapon part alone through the console with its
// completion, and choices the game lacks.
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
    ASSERT_TRUE(gConsole.Execute("bind x resetcam") && gConsole.Execute("bind p pause"));
    gConsole.KeyPressed('x');
    expectView(0, 1.5f, distance);
    gConsole.KeyPressed('p');
    EXPECT_FALSE(beta->IsPaused());

    // Typed in the console: "m" completes to the command; three parts begin with the path,
    // one once a dot follows, which completes the line; the line runs.
    gConsole.Toggle();
    for (const char* c = "m models/weapons2/gunb/gunb"; *c; ++c)
        gConsole.KeyInput(*c, 0);
    EXPECT_EQ(gConsole.Completions().size(), 3u);
    gConsole.KeyInput('.', 0);
    EXPECT_STREQ(gConsole.Input(), "model models/weapons2/gunB/gunB.md3");
    gConsole.KeyInput(KEY_RETURN, 0);
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
        viewer = std::make_unique<TestViewer>();
        ResetAll();
        gConsole.Init();
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
