// Video set-up, resizing, the view variables, clearing and the log files.
#include "apptest.h"
#include "support/glcontext.h"

#include <GL/gl.h>

#include <cstring>
#include <fstream>

namespace
{
std::vector<int> Pixel(int x, int y)
{
    unsigned char rgba[4] = {7, 7, 7, 7};
    ReadTestPixel(x, y, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

using AppVideoTest = AppTest;
} // namespace

TEST_F(AppVideoTest, ResizeToHeightZeroAndTheViewVariables)
{
    Start();
    Push(SDL_VIDEORESIZE, 320, 0);
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_EQ("OnInit, OnResize, OnResize", app->calls);
    EXPECT_EQ(1, app->Settings().height);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(320, viewport[2]);
    EXPECT_EQ(1, viewport[3]);

    // Out of range values are refused; good ones apply at once.
    float before[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    gConsole.Execute("fov 200");
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_EQ(0, memcmp(before, after, sizeof before));
    EXPECT_FLOAT_EQ(60.0f, app->Settings().fov.Float());
    gConsole.Execute("fov 90");
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_NEAR(1.0f, after[5], 1e-5);       // 1 / tan(45 degrees)
    EXPECT_NEAR(1.0f / 320, after[0], 1e-7); // aspect ratio width / 1

    gConsole.Execute("near 2");
    gConsole.Execute("far 1"); // nearer than near
    EXPECT_FLOAT_EQ(10000.0f, app->Settings().far.Float());
    gConsole.Execute("far 2");
    EXPECT_FLOAT_EQ(2.0f, app->Settings().far.Float());
    gConsole.Execute("fov nan");
    EXPECT_FLOAT_EQ(90.0f, app->Settings().fov.Float());
}

TEST_F(AppVideoTest, FrameClearsTheBuffersNamedInSettings)
{
    // Lines of app.cfg, then whether the frame clears colour and depth.
    const struct
    {
        const char* cfg;
        bool color, depth;
    } cases[] = {{"clear_color=1\nclear_depth=1", true, true},
                 {"", false, false},
                 {"clear_color=2\nclear_depth=1", false, true},
                 {"clear_color=1", true, false}};
    for (const auto& c : cases)
    {
        app.reset(new TestApp);
        Start(c.cfg);
        // Marks in the back buffer that only the frame's own clear can remove.
        glClearColor(1, 0, 0, 1);
        glClearDepth(0.25);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0, 0, 1, 1);
        glClearDepth(1.0);
        std::vector<int> color;
        float depth = 0;
        app->quitAfterFrames = 1;
        app->onHook = [&](const std::string& hook)
        {
            if (hook == "PreFrame")
                color = Pixel(5, 5), glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        };
        app->Run();
        EXPECT_EQ(c.color ? 0 : 255, color.at(0)) << c.cfg;
        EXPECT_NEAR(c.depth ? 1.0f : 0.25f, depth, 1e-3) << c.cfg;
        gTextureMgr.Destroy();
        app->Shutdown();
        ResetGlobals();
    }
}

TEST_F(AppVideoTest, WindowResizedTo800x600IsDrawnWhole)
{
    // A white font image: 18-byte header of an uncompressed 32-bit picture, then the pixels.
    std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 128, 0, 128, 0, 32, 8};
    tga.resize(tga.size() + 128 * 128 * 4, 255);
    WriteFileBytes(dir.File("font.tga"), tga);
    Start("clear_color=1\nfontfile=font.tga");
    ASSERT_NE(0u, app->Font().texture);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    Push(SDL_VIDEORESIZE, 800, 600);

    // Software OpenGL takes up the new drawable size at the next buffer swap, so the second
    // frame is the one checked.
    std::vector<int> corners[4], text;
    app->quitAfterFrames = 2;
    TestApp* a = app.get();
    app->onHook = [&](const std::string& hook)
    {
        if (a->frames == 2 && hook == "Render")
        {
            corners[0] = Pixel(0, 0), corners[1] = Pixel(799, 0);
            corners[2] = Pixel(0, 599), corners[3] = Pixel(799, 599);
        }
        if (a->frames == 2 && hook == "Render2D")
        {
            a->Font().PrintAt(0, 0, "M");
            text = Pixel(3, 596);
        }
    };
    app->Run();
    EXPECT_EQ(800, app->Surface()->w);
    for (const std::vector<int>& c : corners)
        EXPECT_EQ(c, (std::vector<int>{51, 102, 153}));
    EXPECT_EQ(text, (std::vector<int>{255, 255, 255}));
    // Setting the mode again keeps the context and the textures made in it.
    EXPECT_TRUE(glIsTexture(app->Font().texture));
}

TEST_F(AppVideoTest, DebugFileGrowsAcrossRunsAndLogFileStartsAfresh)
{
    const std::string debug = dir.File("dbg.txt"), log = dir.File("run.txt");
    for (int run = 1; run <= 2; ++run)
    {
        app.reset(new TestApp);
        Start("debugfile=dbg.txt\nlogfile=run.txt");
        EXPECT_FALSE(DebugLog("failure %d", run));
        Log("progress %d", run);
        // Each message is on disk before the files are closed.
        EXPECT_NE(ReadFileText(debug).find("failure " + std::to_string(run)), std::string::npos);
        EXPECT_NE(ReadFileText(log).find("progress " + std::to_string(run)), std::string::npos);
        gTextureMgr.Destroy();
        app->Shutdown();
        // The console still points at the variables of the application about to be destroyed.
        ResetGlobals();
    }
    EXPECT_EQ("failure 1 \nfailure 2 \n", ReadFileText(debug));
    EXPECT_EQ("progress 2\n", ReadFileText(log));
}

// A video driver that cannot give an OpenGL window, and the message that follows.
class AppVideoFailTest : public AppTest,
                         public ::testing::WithParamInterface<std::pair<const char*, const char*>>
{
};

TEST_P(AppVideoFailTest, FailedSetUpPrintsItsMessageAndEndsWithNonZeroStatus)
{
    WriteFileText(dir.File("app.cfg"), "width=320\nheight=200\nfontwidth=0\n");
    setenv("SDL_VIDEODRIVER", GetParam().first, 1);
    testing::internal::CaptureStdout();
    int status = AppMain(*app, "app.cfg");
    std::string out = testing::internal::GetCapturedStdout();
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_NE(0, status);
    EXPECT_EQ(0u, out.find(GetParam().second)) << out;
    EXPECT_TRUE(app->calls.empty());
    // The debug file, opened before the window, holds the refused setting and the failure.
    std::string debug = ReadFileText(dir.File("kelDebug.txt"));
    EXPECT_EQ(0u, debug.find("AppSettings:: fontwidth = 0 is out of range (1..256), 14 kept \n")) << debug;
    EXPECT_NE(std::string::npos, debug.find("App:: " + std::string(GetParam().second))) << debug;
}

TEST_F(AppVideoTest, WindowTooLargeForXIsRefusedBeforeTheModeIsSet)
{
    AppSettings huge;
    huge.width = 65536;
    huge.height = 1;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(app->SetupVideo(huge));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Set Video Mode failed: window size 65536 x 1 out of range (1..16384)\n");
}

INSTANTIATE_TEST_SUITE_P(Drivers, AppVideoFailTest,
                         ::testing::Values(std::make_pair("nosuchdriver", "Video initialization failed: "),
                                           std::make_pair("dummy", "Set Video Mode failed: ")));
