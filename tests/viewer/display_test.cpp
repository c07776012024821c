// Display variables seen in the pixels of real frames of the test archive, and the messages a
// user sees: debug-file lines on the status line and in the console, and the settings that
// switch this and the console key on.
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
        ClearFakeClock();
    }
    // The test archive as the game, with these settings.
    bool Start(const std::string& settings)
    {
        mkdir(dir.File("game").c_str(), 0755);
        mkdir(dir.File("game/baseq3").c_str(), 0755);
        return WriteFileBytes(dir.File("game/baseq3/pak0.pk3"), BuildGamePak()) &&
               WriteFileText(dir.File("app.cfg"), "q3apath = " + dir.File("game") + "\n" + settings) &&
               viewer->OnInit();
    }
    // Two frames (the clear colour set in one shows in the next); the second one's pixels.
    std::vector<unsigned char> Frame()
    {
        for (int i = 0; i < 2; i++)
        {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            viewer->Update(0.0f, 1.0f);
            viewer->Render();
        }
        std::vector<unsigned char> rgb(W * H * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }

    TempDir dir;
    ScopedWorkDir workDir{dir.Path()};
    LogCapture logs;
    std::unique_ptr<ViewerApp> viewer = std::make_unique<ViewerApp>();
};

// Pixels of the frame inside the colour range; the first rows (from the bottom) only when
// rows is given.
int Count(const std::vector<unsigned char>& rgb, const int range[6], int rows = H)
{
    int n = 0;
    for (size_t p = 0; p < static_cast<size_t>(W * rows) * 3; p += 3)
    {
        bool in = true;
        for (int k = 0; k < 3; k++)
            in = in && rgb[p + k] >= range[k * 2] && rgb[p + k] <= range[k * 2 + 1];
        n += in;
    }
    return n;
}

// Under the game look the player (in its orange skin) and the cyan weapon are lit, so no model
// pixel has the pure colours of the helper lines. Each line is typed into the console on top of
// the defaults, and its colour must appear (or, for the wireframe, the model must thin out).
TEST_F(DisplayTest, EachVariableDrawsItsSignature)
{
    ASSERT_TRUE(OpenTestGLContext(W, H)) << "no GL context: run under a display (xvfb-run)";
    viewer->InitGL();
    gShaderMgr.Init();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    viewer->Resize(W, H);
    ASSERT_TRUE(Start("gamelook = 1\n"));
    viewer->OnKeyUp(SDLK_2, 0);
    viewer->camera.yaw = 330.0f; // turned, so that no tag axis points at the eye
    viewer->camera.pitch = -25.0f;

    const int anyLit[6] = {1, 255, 0, 255, 0, 255}, orange[6] = {100, 255, 40, 140, 0, 10};
    const struct
    {
        const char* line;
        int range[6];
        int rows, least; // the colour is absent by default and then shows more than least times
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
    const char* defaults[] = {"r_background 0 0 0", "r_bounds 0",   "r_tags 0",     "r_normals 0",
                              "r_grid 0",           "r_lighting 1", "r_wireframe 0"};
    const std::vector<unsigned char> plain = Frame();
    const int filled = Count(plain, anyLit);
    ASSERT_GT(filled, 5000);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Count(plain, c.range, c.rows), 0);
        ASSERT_TRUE(gConsole.Execute(c.line));
        EXPECT_GT(Count(Frame(), c.range, c.rows), c.least);
        for (const char* line : defaults)
            gConsole.Execute(line);
    }
    // As lines the polygons leave the model's inside clear: the background shows through.
    ASSERT_TRUE(gConsole.Execute("toggle r_wireframe"));
    const std::vector<unsigned char> lines = Frame();
    EXPECT_LT(Count(lines, anyLit), filled / 3);
    EXPECT_GT(Count(lines, orange), 100);

    // The actions flip the variables (the wireframe off, the helpers on); the GL state is the
    // same after a frame with helper lines as after a plain one.
    auto state = []
    {
        GLint mode[2];
        GLfloat color[4];
        glGetIntegerv(GL_POLYGON_MODE, mode);
        glGetFloatv(GL_CURRENT_COLOR, color);
        return std::vector<float>{float(mode[0]),
                                  color[0],
                                  color[1],
                                  color[2],
                                  float(glIsEnabled(GL_TEXTURE_2D)),
                                  float(glIsEnabled(GL_LIGHTING)),
                                  float(glIsEnabled(GL_CULL_FACE))};
    };
    gConsole.Execute("toggle r_wireframe");
    Frame();
    const std::vector<float> plainState = state();
    for (const char* action : {"wireframe", "wireframe", "bounds", "tags", "normals", "grid"})
    {
        ASSERT_TRUE(gConsole.Execute((std::string("bind F9 ") + action).c_str()));
        gConsole.KeyPressed(KEY_F1 + 8);
    }
    EXPECT_GT(Count(Frame(), anyLit), filled);
    EXPECT_EQ(state(), plainState);
    glClearColor(0, 0, 0, 0);
}

// Debug-file lines reach the status line (for five seconds, cut to the room there is) and the
// console only with statusline = 1; contoggleclose and dragrepeat likewise change nothing when
// absent. Once-per-cause messages come again after another player or weapon is chosen.
TEST_F(DisplayTest, StatusLineConsoleEchoAndTheirSettings)
{
    const std::string failed = "CRessMgr:: models/players/empty/lower.md3 ressource loading failed!";
    for (const bool on : {false, true})
    {
        SCOPED_TRACE(on);
        SetFakeClock(100.0);
        ASSERT_TRUE(Start(on ? "statusline = 1\ncontoggleclose = 1\ndragrepeat = 0\n" : ""));
        EXPECT_EQ(viewer->camera.dragRepeat, !on);
        const char* shown = viewer->statusLine.Visible(104999, 200);
        EXPECT_EQ(shown ? std::string(shown) : "", on ? failed : "");
        bool echoed = false;
        for (const std::string& line : gConsole.Lines())
            echoed = echoed || line == failed;
        EXPECT_EQ(echoed, on);
        gConsole.Execute("bind ` contoggle");
        gConsole.KeyPressed('`');
        gConsole.KeyInput('`', 0);
        EXPECT_EQ(gConsole.IsOpen(), !on);
        viewer = std::make_unique<ViewerApp>();
        ResetAll();
        gConsole.Init();
    }
    EXPECT_EQ(viewer->statusLine.Visible(0, 200), nullptr);
    ASSERT_TRUE(Start("statusline = 1\n"));
    viewer->statusLine.Show("0123456789", 1000);
    EXPECT_STREQ(viewer->statusLine.Visible(5999, 10), "0123456789");
    EXPECT_STREQ(viewer->statusLine.Visible(5999, 9), "012345...");
    EXPECT_STREQ(viewer->statusLine.Visible(1000, 2), "01");
    EXPECT_EQ(viewer->statusLine.Visible(6000, 10), nullptr);

    for (int i = 0; i < 2; i++)
        DebugLogOnce("test cause", "Test:: once");
    viewer->NextWeapon();
    DebugLogOnce("test cause", "Test:: once");
    EXPECT_EQ(std::count(gConsole.Lines().begin(), gConsole.Lines().end(), "Test:: once"), 2);
    // Gone with the viewer: later lines reach neither.
    viewer.reset();
    DebugLog("Test:: after");
    EXPECT_EQ(std::count(gConsole.Lines().begin(), gConsole.Lines().end(), "Test:: after"), 0);
}
} // namespace
