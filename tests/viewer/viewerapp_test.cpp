// The viewer's start-up, model lists, selection, keys and frame-rate counter on archives built
// by the tests.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "fs/filemgr.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "shader/shadermgr.h"
#include "support/gamepak.h"
#include "support/glcontext.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <memory>
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

// What the player's upper part holds at its weapon tag.
cMd3* HeldWeapon(cModelQ3* player)
{
    for (uint32_t t = 0; t < player->upper->numTags; ++t)
        if (std::string(player->upper->frames[0].tags[t].name) == "tag_weapon")
            return player->upper->links[t];
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
    }

    // Writes the archive as <temp>/game/baseq3/pak0.pk3 and an app.cfg naming that folder.
    void WriteGame(const std::vector<unsigned char>& pak)
    {
        mkdir(dir.File("game").c_str(), 0755);
        mkdir(dir.File("game/baseq3").c_str(), 0755);
        ASSERT_TRUE(WriteFileBytes(dir.File("game/baseq3/pak0.pk3"), pak));
        ASSERT_TRUE(WriteFileText(dir.File("app.cfg"), "width = 640\nq3apath = " + dir.File("game") + "\n"));
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
    const std::string failure = "models/players/empty/lower.md3 ressource loading failed!";
};

TEST_F(ViewerTest, StartsOnFirstLoadableEntryAndRetriesFailuresOnlyWhenReselected)
{
    ASSERT_TRUE(StartGamePak());
    // The file directly in models/players is no entry; the folder of textures is, but does not load.
    EXPECT_EQ(
        Names(viewer->players),
        (std::vector<std::string>{"models/players/empty", "models/players/alpha", "models/players/beta"}));
    EXPECT_EQ(Names(viewer->weapons),
              (std::vector<std::string>{"models/weapons2/gunA", "models/weapons2/gunB"}));
    EXPECT_EQ(viewer->currentPlayer, 1);
    EXPECT_EQ(viewer->currentWeapon, 0);
    cModelQ3* alpha = viewer->CurrentModel();
    ASSERT_TRUE(alpha && alpha->IsLoaded());
    EXPECT_FALSE(viewer->players[2]->IsLoaded()); // others wait until they are chosen
    EXPECT_EQ(HeldWeapon(alpha), viewer->weapons[0]->main);
    EXPECT_FLOAT_EQ(viewer->camera.z, 75.0f);
    EXPECT_EQ(viewer->camera.mode, CAMERA_EXAMINE);
    EXPECT_EQ(Count(logs.Debug(), failure), 1u);

    // Back on the failed entry: tried once more when selected, not in every frame after.
    viewer->PrevModel();
    EXPECT_EQ(Count(logs.Debug(), failure), 2u);
    for (int frame = 0; frame < 5; ++frame)
        viewer->Render();
    ASSERT_NE(viewer->CurrentModel(), nullptr); // returned, unloaded
    EXPECT_FALSE(viewer->CurrentModel()->IsLoaded());
    EXPECT_EQ(Count(logs.Debug(), failure), 2u);
    viewer->NextModel();
    viewer->PrevModel();
    EXPECT_EQ(Count(logs.Debug(), failure), 3u);
}

TEST_F(ViewerTest, StartSkipsWeaponThatDoesNotLoad)
{
    ZipBuilder zip;
    AddGamePlayer(zip, "solo", {0, 0, 255});
    zip.AddDir("models/weapons2/shells/");
    zip.AddFile("models/weapons2/shells/s.md3", std::string("not a model"));
    AddGameWeapon(zip, "gun", {0, 255, 255});
    WriteGame(zip.Build());
    ASSERT_TRUE(viewer->OnInit());
    EXPECT_EQ(viewer->currentPlayer, 0);
    EXPECT_EQ(viewer->currentWeapon, 1);
    EXPECT_EQ(HeldWeapon(viewer->CurrentModel()), viewer->weapons[1]->main);
}

TEST_F(ViewerTest, SteppingWrapsBothWays)
{
    ASSERT_TRUE(StartGamePak());
    viewer->NextModel();
    EXPECT_EQ(viewer->currentPlayer, 2);
    viewer->NextModel();
    EXPECT_EQ(viewer->currentPlayer, 0);
    viewer->PrevModel();
    EXPECT_EQ(viewer->currentPlayer, 2);
    viewer->PrevWeapon();
    EXPECT_EQ(viewer->currentWeapon, 1);
    viewer->NextWeapon();
    EXPECT_EQ(viewer->currentWeapon, 0);
    // The actions reach the viewer through key bindings.
    ASSERT_TRUE(gConsole.Execute("bind RIGHT nextmodel"));
    gConsole.KeyPressed(SDLK_RIGHT);
    EXPECT_EQ(viewer->currentPlayer, 0);
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

TEST_F(ViewerTest, KeysActOnTheCurrentPlayerAndItsGun)
{
    ASSERT_TRUE(StartGamePak());
    cModelQ3* alpha = viewer->CurrentModel();
    ASSERT_EQ(alpha->skinCount, 2u);
    viewer->OnKeyUp(SDLK_2, 0);
    EXPECT_EQ(alpha->currentSkin, 1u);
    viewer->OnKeyUp(SDLK_3, 0); // no third skin
    EXPECT_EQ(alpha->currentSkin, 1u);
    viewer->OnKeyUp(SDLK_PAGEDOWN, 0);
    EXPECT_EQ(alpha->legsAnim, ANIM_LEGS_IDLE - 1);
    viewer->OnKeyUp(SDLK_q, 0);
    EXPECT_FALSE(viewer->showText);

    // With the gun off no weapon hangs, whatever is chosen; switched on, the current one does.
    viewer->OnKeyUp(SDLK_LESS, 0);
    EXPECT_FALSE(viewer->gunOn);
    EXPECT_EQ(HeldWeapon(alpha), nullptr);
    viewer->OnKeyUp(SDLK_KP_MULTIPLY, 0);
    EXPECT_EQ(viewer->currentWeapon, 1);
    EXPECT_EQ(HeldWeapon(alpha), nullptr);
    viewer->ToggleGun();
    EXPECT_EQ(HeldWeapon(alpha), viewer->weapons[1]->main);
    // A player chosen while the gun is on gets the current weapon at once.
    viewer->OnKeyUp(SDLK_KP_PLUS, 0);
    EXPECT_EQ(HeldWeapon(viewer->CurrentModel()), viewer->weapons[1]->main);
    viewer->OnKeyUp(SDLK_KP_MINUS, 0);
    viewer->OnKeyUp(SDLK_KP_DIVIDE, 0);
    EXPECT_EQ(viewer->currentPlayer, 1);
    EXPECT_EQ(HeldWeapon(alpha), viewer->weapons[0]->main);

    // Keys on a player that failed to load change nothing and do not crash.
    viewer->PrevModel();
    for (uint32_t key : {SDLK_2, SDLK_PERIOD, SDLK_INSERT, SDLK_HOME, SDLK_PAGEUP})
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

    viewer = std::make_unique<TestViewer>();
    gRessMgr.Reset();
    gFileMgr.Reset();
    ASSERT_TRUE(WriteFileText(dir.File("app.cfg"), cfg + "1\n"));
    ASSERT_TRUE(viewer->OnInit());
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
