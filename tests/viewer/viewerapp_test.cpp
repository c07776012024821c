// The viewer's start-up, model lists, selection, keys, display variables (in the pixels of
// real frames) and status line on archives built by the tests.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "fs/filemgr.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "platform/clock.h"
#include "platform/gamelook.h"
#include "platform/log.h"
#include "shader/shadermgr.h"
#include "support/gamepak.h"
#include "support/glcontext.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
const int W = 640, H = 480;

cMd3* LinkAt(cMd3* part, const char* tag)
{
    for (uint32_t t = 0; t < part->numTags; ++t)
        if (std::string(part->frames[0].tags[t].name) == tag)
            return part->links[t];
    return nullptr;
}

std::string Text(const char* text) { return text ? text : "-"; }

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
    void TearDown() override { viewer.reset(), Restart(); }
    void Restart()
    {
        viewer = std::make_unique<ViewerApp>();
        gGameLook = false;
        ClearFakeClock();
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

    bool Start(const std::string& settings)
    {
        WriteGame(BuildGamePak(), settings);
        return viewer->OnInit();
    }
    // Pixels in the colour range (r, g, b bounds) in the bottom rows of the second of two frames.
    int Pixels(const int range[6], int rows = H)
    {
        for (int i = 0; i < 2; i++)
        {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            viewer->Update(0.0f, 1.0f);
            viewer->Render();
        }
        std::vector<unsigned char> rgb(W * rows * 3);
        glReadPixels(0, 0, W, rows, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        int n = 0;
        for (size_t p = 0; p < rgb.size(); p += 3)
            n += rgb[p] >= range[0] && rgb[p] <= range[1] && rgb[p + 1] >= range[2] &&
                 rgb[p + 1] <= range[3] && rgb[p + 2] >= range[4] && rgb[p + 2] <= range[5];
        return n;
    }

    TempDir dir;
    ScopedWorkDir workDir{dir.Path()};
    LogCapture logs;
    std::unique_ptr<ViewerApp> viewer;
};

// Selection, step by step on an archive whose first player and weapon folders hold no model:
// the start skips them, a failed entry is tried once per selection, a weapon that fails empties
// the hand, and the overlay and the lists name failed entries (game look).
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
    ASSERT_TRUE(viewer->OnInit() && gGameLook);
    const std::vector<std::string> empty = {"models/players/empty failed:", "  no lower.md3 in any archive"},
                                   shells = {"models/weapons2/shells failed:",
                                             "  no shells.md3 in any archive"},
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
        {"", 1, 1, 1, 1, 1, {}},          // start
        {"/", 1, 0, NONE, 1, 2, shells},  // a weapon that fails
        {"rr", 1, 0, NONE, 1, 2, shells}, // frames try nothing
        {"-", 0, 0, ANY, 2, 2, both},     // a player that fails
        {"+", 1, 0, NONE, 2, 2, shells},  // back to a player
        {"*+", 2, 1, 1, 2, 2, {}},        // a weapon that loads, next player
        {"-<+", 2, 1, NONE, 2, 2, {}},    // gun off, player with the gun off
        {"<", 2, 1, 1, 2, 2, {}},         // gun on
        {"+", 0, 1, ANY, 3, 2, empty},    // players wrap forward
        {"//", 0, 2, ANY, 3, 3, empty},   // weapons wrap back
        {"-", 2, 2, 2, 3, 3, {}},         // players wrap back
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
        EXPECT_TRUE(step.held == ANY || LinkAt(viewer->CurrentModel()->upper, "tag_weapon") ==
                                            (step.held == NONE ? nullptr : viewer->weapons[step.held]->main));
        EXPECT_EQ(Count(logs.Debug(), "empty/lower.md3 ressource loading failed!"), step.emptyTries);
        EXPECT_EQ(Count(logs.Debug(), "shells/shells.md3 ressource loading failed!"), step.shellsTries);
        EXPECT_EQ(viewer->FailureLines(), step.failures);
    }

    EXPECT_EQ(viewer->ListLine(*viewer->players[0], false, true).text, "models/players/empty (failed)");
    // Names from an archive reach the screen with their control characters escaped.
    viewer->players[0]->name = "models/players/\x1b[2Jem\tpty\n";
    EXPECT_EQ(viewer->ListLine(*viewer->players[0], false, true).text,
              "models/players/\\x1b[2Jem\\tpty\\n (failed)");
    viewer->players[0]->name = "models/players/empty";
}

// Skin and animation keys and actions act on the current player; the flash variable takes every
// loaded weapon's muzzle flash off and on, also one loaded while it is off.
TEST_F(ViewerTest, KeysActionsAndFlashVariable)
{
    ASSERT_TRUE(Start(""));
    cModelQ3* alpha = viewer->CurrentModel();
    ASSERT_TRUE(gConsole.Execute("bind n nextskin") && gConsole.Execute("bind p prevskin"));
    // P and N are pressed as bound keys; the others are released as viewer keys.
    const int BOUND = 1 << 30, P = BOUND | 'p', N = BOUND | 'n';
    const int keys[] = {
        SDLK_RIGHTBRACKET, SDLK_RIGHTBRACKET, SDLK_LEFTBRACKET, P, N, SDLK_2, SDLK_3, SDLK_PAGEDOWN, SDLK_1};
    const std::string skins = "101011110", legs = "000000011";
    for (size_t i = 0; i < skins.size(); ++i)
    {
        const int k = keys[i];
        if (k & BOUND)
            gConsole.KeyPressed(k & ~BOUND);
        else
            viewer->OnKeyUp(k, 0);
        EXPECT_EQ(std::to_string(alpha->currentSkin) + std::to_string(ANIM_LEGS_IDLE - alpha->legsAnim),
                  std::string(1, skins[i]) + legs[i])
            << "key " << k;
    }
    // Per weapon: - not loaded, 1 its flash hangs at the tag, 0 not.
    auto flashes = [this]
    {
        std::string shown;
        for (auto& w : viewer->weapons)
            shown += !w->IsLoaded() || !w->flash ? '-' : LinkAt(w->main, "tag_flash") == w->flash ? '1' : '0';
        return shown;
    };
    EXPECT_EQ(flashes(), "1-");
    ASSERT_TRUE(gConsole.Execute("flash 0"));
    viewer->NextWeapon();
    EXPECT_EQ(flashes(), "00");
    ASSERT_TRUE(gConsole.Execute("flash 1"));
    EXPECT_EQ(flashes(), "11");
}

// With the game look a player no longer shown gives back its vertex frames and drawing it again
// reads them back; a file that no longer gives them leaves it undrawn, said once.
TEST_F(ViewerTest, PlayerNotShownGivesBackItsFrames)
{
    ASSERT_TRUE(Start("gamelook = 1\n"));
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

// Without settings, a game path (blank or too long) or players the lists stay empty.
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
    // Keys step nothing in empty lists; PrevModel steps to nothing.
    Restart();
    WriteGame(ZipBuilder().Build());
    ASSERT_TRUE(viewer->OnInit() && viewer->players.empty());
    for (uint32_t key : {SDLK_KP_PLUS, SDLK_KP_MULTIPLY, SDLK_2, SDLK_KP_MINUS})
        viewer->OnKeyUp(key, 0);
    viewer->PrevModel();
    EXPECT_TRUE(viewer->currentPlayer == -1 && viewer->CurrentModel() == nullptr);
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
    ZipBuilder user;
    for (const char* name : {"sarge", "angel", "Beret"})
        AddGamePlayer(user, name, {255, 0, 0});
    AddGameWeapon(user, "RAIL", {255, 0, 255});
    user.AddFile("scripts/extra.shader", std::string("extra/glow\n{\n\t{\n\t\tmap $whiteimage\n\t}\n}\n"));
    for (auto it = user.members.begin(); it != user.members.end();)
        it = it->name.back() == '/' ? user.members.erase(it) : it + 1;
    mkdir(dir.File("game").c_str(), 0755);
    mkdir(dir.File("game/baseoa").c_str(), 0755);
    ASSERT_TRUE(pak0.Write(dir.File("game/baseoa/pak0.pk3")) &&
                user.Write(dir.File("game/baseoa/zz-user.PK3")));
    auto names = [](const auto& list)
    {
        std::string all;
        for (auto& entry : list)
            all += entry->name + " ";
        return all;
    };
    for (const bool all : {false, true})
    {
        Restart();
        ASSERT_TRUE(WriteFileText(dir.File("app.cfg"),
                                  "q3apath = " + dir.File("game") +
                                      "\nq3game = baseoa\nmountall = " + (all ? "1\ngamelook = 1" : "0")));
        ASSERT_TRUE(viewer->OnInit());
        EXPECT_EQ(gFileMgr.Zips().size(), all ? 2u : 1u);
        EXPECT_EQ(gFileMgr.UniqueListing(), all); // skin lists too hold each name once
        EXPECT_EQ(gShaderMgr.Find("extra/glow") >= 0, all);
        EXPECT_EQ(names(viewer->players),
                  all ? "models/players/angel models/players/Beret models/players/sarge "
                      : "models/players/sarge ");
        EXPECT_EQ(names(viewer->weapons), all ? "models/weapons2/RAIL " : "models/weapons2/rail ");
    }
    viewer->currentPlayer = 0;
    ASSERT_TRUE(viewer->CurrentModel() && viewer->CurrentModel()->IsLoaded());
}

// Start options on the end-to-end archive: player, skin, animation and frame chosen, framing
// from app.cfg (the figure's box, 47 high and centred at 1.5, fills two thirds of the view
// height at fov 60), a weapon part alone, and choices the game lacks.
TEST_F(ViewerTest, StartOptionsFramingAndOneModelAlone)
{
    sViewerOptions chosen;
    chosen.player = "BETA", chosen.skin = "default", chosen.anims = {"legs_run"}, chosen.frame = 1;
    viewer->options = chosen;
    ASSERT_TRUE(Start("framing = 1\n"));
    cModelQ3* beta = viewer->CurrentModel();
    EXPECT_EQ(viewer->startError + beta->name + " " + std::to_string(beta->legsAnim) +
                  (beta->IsPaused() ? " paused at " : " at ") + std::to_string(beta->lowerState.currentFrame),
              "models/players/beta 15 paused at 1");
    EXPECT_NEAR(viewer->camera.z, 23.5f / (2.0f / 3.0f * std::tan(3.14159265f / 6)), 1e-2);
    EXPECT_NEAR(viewer->camera.y, 1.5f, 1e-3);
    // The console types "-" for "_": the command takes it so.
    ASSERT_TRUE(gConsole.Execute("model models/weapons2/gunb/gunb-flash.md3"));
    EXPECT_EQ(viewer->soloPath, "models/weapons2/gunB/gunB_flash.md3");
    std::vector<std::string> offered; // completion: archive paths that begin with what was typed
    viewer->CompleteModelPath("models/weapons2/guna/guna-", 8, offered);
    EXPECT_EQ(offered, (std::vector<std::string>{"model models/weapons2/gunA/gunA_barrel.md3",
                                                 "model models/weapons2/gunA/gunA_flash.md3"}));
    EXPECT_NE(viewer->SoloRoot(), nullptr);
    ASSERT_TRUE(gConsole.Execute("model") && gConsole.Execute("anim torso-attack"));
    EXPECT_EQ(viewer->SoloRoot(), nullptr);
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
        viewer->options.player = c.player, viewer->options.skin = c.skin;
        viewer->options.weapon = c.weapon, viewer->options.model = c.model;
        viewer->OnInit();
        EXPECT_EQ(viewer->startError.substr(0, strlen(c.error)), c.error);
    }
}

// Under the game look the orange player and cyan weapon are lit and turned so that no model
// pixel has a pure colour of the helper lines; each line's colour is absent before, shown after.
TEST_F(ViewerTest, EachVariableDrawsItsSignature)
{
    ASSERT_TRUE(OpenTestGLContext(W, H)) << "no GL context: run under a display (xvfb-run)";
    glEnableClientState(GL_VERTEX_ARRAY); // as the frame loop leaves them
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    gShaderMgr.Init();
    ASSERT_TRUE(Start("gamelook = 1\n"));
    viewer->InitGL();
    viewer->Resize(W, H);
    viewer->OnKeyUp(SDLK_2, 0);
    viewer->camera.yaw = 330.0f;
    viewer->camera.pitch = -25.0f;

    const struct
    {
        const char* line;
        int range[6];
        int rows, least;
    } cases[] = {
        {"r_background 0.2 0.4 0.6", {50, 52, 101, 103, 152, 154}, 1, W - 1},
        {"r_bounds 1", {250, 255, 250, 255, 0, 5}, H, 100},
        {"r_tags 1", {255, 255, 0, 0, 0, 0}, H, 3},
        {"r_normals 1", {255, 255, 255, 255, 255, 255}, H, 20},
        {"r_grid 1", {120, 135, 120, 135, 120, 135}, H / 3, 200},
        {"r_lighting 0", {255, 255, 128, 128, 0, 0}, H, 2000},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Pixels(c.range, c.rows), 0);
        ASSERT_TRUE(gConsole.Execute(c.line));
        EXPECT_GT(Pixels(c.range, c.rows), c.least);
        for (const char* line :
             {"r_background 0", "r_bounds 0", "r_tags 0", "r_normals 0", "r_grid 0", "r_lighting 1"})
            gConsole.Execute(line);
    }
    // The clear colour is set when its variable changes, not in every frame.
    glClearColor(1, 0, 0, 1);
    const int red[6] = {255, 255, 0, 0, 0, 0};
    EXPECT_GT(Pixels(red, 1), W - 1);
    glClearColor(0, 0, 0, 0);
    // As lines the polygons leave the model's inside clear. The actions flip the variables (the
    // wireframe back off); after the helper lines polygons fill and textures draw.
    const int anyLit[6] = {1, 255, 0, 255, 0, 255};
    const int filled = Pixels(anyLit);
    gConsole.Execute("toggle r_wireframe");
    EXPECT_LT(Pixels(anyLit), filled / 3);
    for (const char* action : {"wireframe", "bounds", "tags", "normals", "grid"})
    {
        gConsole.Execute((std::string("bind F9 ") + action).c_str());
        gConsole.KeyPressed(KEY_F1 + 8);
    }
    EXPECT_GT(Pixels(anyLit), filled);
    GLint mode[2];
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_FILL);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

// Debug-file lines reach the status line (for five seconds, cut to the room there is) and the
// console. Once-per-cause messages come again after another weapon is chosen; the console hears
// no more once the viewer is gone.
TEST_F(ViewerTest, StatusLineAndConsoleEcho)
{
    SetFakeClock(100.0);
    ASSERT_TRUE(Start("statusline = 1\ndragrepeat = 0\n"));
    EXPECT_FALSE(viewer->camera.dragRepeat);
    auto at = [this](uint32_t ms, int room) { return Text(viewer->statusLine.Visible(ms, room)); };
    EXPECT_EQ(at(104999, 200), "CRessMgr:: models/players/empty/lower.md3 ressource loading failed!");
    viewer->statusLine.Show("0123456789", 1000);
    EXPECT_EQ(at(5999, 10) + " " + at(5999, 9) + " " + at(1000, 2) + " " + at(6000, 10),
              "0123456789 012345... 01 -");

    for (int i = 0; i < 2; i++)
        DebugLogOnce("test cause", "Test:: once");
    viewer->NextWeapon();
    DebugLogOnce("test cause", "Test:: once");
    EXPECT_EQ(std::count(gConsole.Lines().begin(), gConsole.Lines().end(), "Test:: once"), 2);
    viewer.reset();
    DebugLog("Test:: after");
    EXPECT_EQ(std::count(gConsole.Lines().begin(), gConsole.Lines().end(), "Test:: after"), 0);
}
} // namespace
