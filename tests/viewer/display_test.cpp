// Display variables seen in the pixels of real frames of the test archive, and the messages a
// user sees: debug-file lines on the status line and in the console, with their settings.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "fs/filemgr.h"
#include "model/ressmgr.h"
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
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
const int W = 640, H = 480;

class DisplayTest : public ::testing::Test
{
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override
    {
        viewer.reset();
        Reset();
    }
    static void Reset()
    {
        gGameLook = false;
        ClearFakeClock();
        gRessMgr.Reset();
        gFileMgr.Reset();
        gShaderMgr.Reset();
        gConsole.Reset();
        gConsole.Init();
    }
    // A new viewer on the test archive with these settings.
    bool Start(const std::string& settings)
    {
        viewer = std::make_unique<ViewerApp>();
        mkdir(dir.File("game").c_str(), 0755);
        mkdir(dir.File("game/baseq3").c_str(), 0755);
        return WriteFileBytes(dir.File("game/baseq3/pak0.pk3"), BuildGamePak()) &&
               WriteFileText(dir.File("app.cfg"), "q3apath = " + dir.File("game") + "\n" + settings) &&
               viewer->OnInit();
    }
    // Pixels in the colour range (r, g, b bounds) in the first rows from the bottom of the
    // second of two frames (a clear colour set in one frame shows in the next).
    int Count(const int range[6], int rows = H)
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

// Under the game look the player (in its orange skin) and the cyan weapon are lit, turned so
// that no tag axis points at the eye: no model pixel has a pure colour of the helper lines.
// Each line is typed on top of the defaults; its colour must be absent before and show after.
TEST_F(DisplayTest, EachVariableDrawsItsSignature)
{
    ASSERT_TRUE(OpenTestGLContext(W, H)) << "no GL context: run under a display (xvfb-run)";
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
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
        {"r_background \"1 1 1\"", {255, 255, 255, 255, 255, 255}, 1, W - 1},
        {"r_bounds 1", {250, 255, 250, 255, 0, 5}, H, 100},
        {"r_tags 1", {255, 255, 0, 0, 0, 0}, H, 3},
        {"r_tags 1", {0, 0, 255, 255, 0, 0}, H, 3},
        {"r_tags 1", {0, 0, 0, 0, 255, 255}, H, 3},
        {"r_normals 1", {255, 255, 255, 255, 255, 255}, H, 20},
        {"r_grid 1", {120, 135, 120, 135, 120, 135}, H / 3, 200},
        {"r_lighting 0", {255, 255, 128, 128, 0, 0}, H, 2000},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Count(c.range, c.rows), 0);
        ASSERT_TRUE(gConsole.Execute(c.line));
        EXPECT_GT(Count(c.range, c.rows), c.least);
        for (const char* line :
             {"r_background 0", "r_bounds 0", "r_tags 0", "r_normals 0", "r_grid 0", "r_lighting 1"})
            gConsole.Execute(line);
    }
    // As lines the polygons leave the model's inside clear, but its edges are drawn.
    const int anyLit[6] = {1, 255, 0, 255, 0, 255}, orange[6] = {100, 255, 40, 140, 0, 10};
    const int filled = Count(anyLit);
    gConsole.Execute("toggle r_wireframe");
    EXPECT_LT(Count(anyLit), filled / 3);
    EXPECT_GT(Count(orange), 100);

    // The actions flip the variables (the wireframe off, the helpers on); after the helper lines
    // polygons fill and textures draw again.
    for (const char* action : {"wireframe", "bounds", "tags", "normals", "grid"})
    {
        gConsole.Execute((std::string("bind F9 ") + action).c_str());
        gConsole.KeyPressed(KEY_F1 + 8);
    }
    EXPECT_GT(Count(anyLit), filled);
    GLint mode[2];
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_FILL);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glClearColor(0, 0, 0, 0);
}

// Debug-file lines reach the status line (for five seconds, cut to the room there is) and the
// console only with statusline = 1; contoggleclose and dragrepeat change nothing when absent.
// Once-per-cause messages come again after another weapon is chosen.
TEST_F(DisplayTest, StatusLineConsoleEchoAndTheirSettings)
{
    const std::string failed = "CRessMgr:: models/players/empty/lower.md3 ressource loading failed!";
    for (const bool on : {false, true})
    {
        SCOPED_TRACE(on);
        viewer.reset();
        Reset();
        SetFakeClock(100.0);
        ASSERT_TRUE(Start(on ? "statusline = 1\ncontoggleclose = 1\ndragrepeat = 0\n" : ""));
        EXPECT_EQ(viewer->camera.dragRepeat, !on);
        const char* shown = viewer->statusLine.Visible(104999, 200);
        EXPECT_EQ(shown ? shown : "", on ? failed : "");
        EXPECT_EQ(std::count(gConsole.Lines().begin(), gConsole.Lines().end(), failed), on ? 1 : 0);
        gConsole.Execute("bind ` contoggle");
        gConsole.KeyPressed('`');
        gConsole.KeyInput('`', 0);
        EXPECT_EQ(gConsole.IsOpen(), !on);
    }
    cStatusLine& status = viewer->statusLine;
    status.Show("0123456789", 1000);
    EXPECT_STREQ(status.Visible(5999, 10), "0123456789");
    EXPECT_STREQ(status.Visible(5999, 9), "012345...");
    EXPECT_STREQ(status.Visible(1000, 2), "01");
    EXPECT_EQ(status.Visible(6000, 10), nullptr);

    for (int i = 0; i < 2; i++)
        DebugLogOnce("test cause", "Test:: once");
    viewer->NextWeapon();
    DebugLogOnce("test cause", "Test:: once");
    EXPECT_EQ(std::count(gConsole.Lines().begin(), gConsole.Lines().end(), "Test:: once"), 2);
    viewer.reset(); // the listener goes with the viewer
    DebugLog("Test:: after");
    EXPECT_EQ(std::count(gConsole.Lines().begin(), gConsole.Lines().end(), "Test:: after"), 0);
}
} // namespace
