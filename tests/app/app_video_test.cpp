// Video set-up, resizing, the view variables, clearing, the log files and the swap interval.
#include "apptest.h"
#include "support/glcontext.h"

#include <GL/gl.h>
#include <GL/glx.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <cstdlib>

namespace
{
void ProjectionMatrix(float m[16]) { glGetFloatv(GL_PROJECTION_MATRIX, m); }

// An uncompressed 32-bit TGA of one colour, for the font.
std::vector<unsigned char> SolidTga(int size, unsigned char grey)
{
    std::vector<unsigned char> tga(18, 0);
    tga[2] = 2;
    tga[12] = static_cast<unsigned char>(size & 0xff);
    tga[13] = static_cast<unsigned char>(size >> 8);
    tga[14] = tga[12];
    tga[15] = tga[13];
    tga[16] = 32;
    tga[17] = 8;
    for (int i = 0; i < size * size; ++i)
        tga.insert(tga.end(), {grey, grey, grey, 255});
    return tga;
}

struct sRgb
{
    int r, g, b;
};

sRgb Pixel(int x, int y)
{
    unsigned char rgba[4] = {7, 7, 7, 7};
    ReadTestPixel(x, y, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}
} // namespace

class AppVideoTest : public AppTest
{
};

TEST_F(AppVideoTest, ResizeToHeightZeroGivesOnePixelHighViewport)
{
    Start();
    PushResize(320, 0);
    ASSERT_TRUE(app->PumpEvents());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(0, viewport[0]);
    EXPECT_EQ(320, viewport[2]);
    EXPECT_EQ(1, viewport[3]);
    EXPECT_EQ(320, app->Settings().width);
    EXPECT_EQ(1, app->Settings().height);
    float m[16];
    ProjectionMatrix(m);
    EXPECT_NEAR(320.0f, m[5] / m[0], 1e-2); // aspect ratio width / 1
    EXPECT_EQ("OnResize", app->calls.back());
}

TEST_F(AppVideoTest, ViewVariablesOutOfRangeAreRefusedAndGoodOnesApplyAtOnce)
{
    Start();
    ASSERT_TRUE(app->PumpEvents());
    float before[16], after[16];
    ProjectionMatrix(before);

    EXPECT_TRUE(gConsole.Execute("fov 200"));
    ProjectionMatrix(after);
    EXPECT_EQ(0, memcmp(before, after, sizeof before));
    EXPECT_FLOAT_EQ(60.0f, app->Settings().fov.Float());

    EXPECT_TRUE(gConsole.Execute("fov 90"));
    ProjectionMatrix(after);
    EXPECT_NEAR(1.0f, after[5], 1e-5); // 1 / tan(45 degrees)
    EXPECT_NEAR(480.0f / 640.0f, after[0], 1e-5);
    EXPECT_FLOAT_EQ(90.0f, app->Settings().fov.Float());

    EXPECT_TRUE(gConsole.Execute("near 0"));
    EXPECT_FLOAT_EQ(0.0f, app->Settings().near.Float());
    EXPECT_TRUE(gConsole.Execute("near 2"));
    EXPECT_TRUE(gConsole.Execute("far 1"));
    EXPECT_FLOAT_EQ(10000.0f, app->Settings().far.Float());
    EXPECT_TRUE(gConsole.Execute("far 2"));
    EXPECT_FLOAT_EQ(2.0f, app->Settings().far.Float());
    EXPECT_TRUE(gConsole.Execute("fov nan"));
    EXPECT_FLOAT_EQ(90.0f, app->Settings().fov.Float());
}

// Each case: the lines of app.cfg, then whether the frame clears colour and depth.
struct sClearCase
{
    const char* cfg;
    bool clearsColor;
    bool clearsDepth;
};

class AppClearTest : public AppTest, public ::testing::WithParamInterface<sClearCase>
{
};

TEST_P(AppClearTest, FrameClearsTheBuffersNamedInSettings)
{
    Start(GetParam().cfg);
    // Fill the back buffer with marks that only the frame's own clear can remove.
    glClearColor(1, 0, 0, 1);
    glClearDepth(0.25);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 1, 1);
    glClearDepth(1.0);

    sRgb color = {};
    float depth = 0;
    app->quitAfterFrames = 1;
    app->onHook = [&](const char* hook)
    {
        if (std::string(hook) == "PreFrame")
        {
            color = Pixel(5, 5);
            glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        }
    };
    app->Run();
    EXPECT_EQ(GetParam().clearsColor ? 0 : 255, color.r);
    EXPECT_EQ(GetParam().clearsColor ? 255 : 0, color.b);
    EXPECT_NEAR(GetParam().clearsDepth ? 1.0f : 0.25f, depth, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(ClearKeys, AppClearTest,
                         ::testing::Values(sClearCase{"clear_color=1\nclear_depth=1", true, true},
                                           sClearCase{"", false, false},
                                           sClearCase{"clear_color=2\nclear_depth=1", false, true}));

TEST_F(AppVideoTest, WindowResizedTo800x600IsDrawnWhole)
{
    WriteFileBytes(dir.File("font.tga"), SolidTga(128, 255));
    Start("clear_color=1\nclear_depth=1\nfontfile=font.tga");
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    GLuint fontTexture = app->Font().texture;
    PushResize(800, 600);

    // Software OpenGL picks up the new drawable size at the next buffer swap, so the frame after
    // the first one is checked.
    sRgb corners[4] = {};
    sRgb text = {};
    app->quitAfterFrames = 2;
    TestApp* a = app.get();
    app->onHook = [&](const char* hook)
    {
        std::string h = hook;
        if (a->frames != 2)
            return;
        if (h == "Render")
        {
            corners[0] = Pixel(0, 0);
            corners[1] = Pixel(799, 0);
            corners[2] = Pixel(0, 599);
            corners[3] = Pixel(799, 599);
        }
        else if (h == "Render2D")
        {
            app->Font().PrintAt(0, 0, "M");
            glFinish();
            text = Pixel(3, 596);
        }
    };
    app->Run();

    ASSERT_NE(nullptr, app->Surface());
    EXPECT_EQ(800, app->Surface()->w);
    EXPECT_EQ(600, app->Surface()->h);
    for (const sRgb& c : corners)
    {
        EXPECT_NEAR(51, c.r, 1);
        EXPECT_NEAR(102, c.g, 1);
        EXPECT_NEAR(153, c.b, 1);
    }
    EXPECT_GE(text.r, 250);
    EXPECT_GE(text.g, 250);
    EXPECT_GE(text.b, 250);
    // Setting the mode again keeps the context, so textures made before stay valid.
    if (fontTexture)
    {
        EXPECT_TRUE(glIsTexture(fontTexture));
    }
}

TEST_F(AppVideoTest, DebugFileGrowsAcrossRunsAndLogFileStartsAfresh)
{
    const std::string cfg = "debugfile=dbg.txt\nlogfile=run.txt";
    for (int run = 1; run <= 2; ++run)
    {
        app.reset(new TestApp);
        Start(cfg);
        DebugLog("failure %d", run);
        Log("progress %d", run);
        app->Shutdown();
        DebugLog("after shutdown");
    }
    EXPECT_EQ("failure 1 \nfailure 2 \n", ReadFileText(dir.File("dbg.txt")));
    EXPECT_EQ("progress 2\n", ReadFileText(dir.File("run.txt")));
}

// Each case: a video driver that cannot give an OpenGL window, and the message it leads to.
struct sFailCase
{
    const char* driver;
    const char* message;
};

class AppVideoFailTest : public AppTest, public ::testing::WithParamInterface<sFailCase>
{
};

TEST_P(AppVideoFailTest, FailedSetUpPrintsItsMessageAndEndsWithNonZeroStatus)
{
    WriteFileText(dir.File("app.cfg"), "width=320\nheight=200\n");
    const char* old = getenv("SDL_VIDEODRIVER");
    std::string saved = old ? old : "";
    setenv("SDL_VIDEODRIVER", GetParam().driver, 1);
    app.reset(new TestApp);
    testing::internal::CaptureStdout();
    int status = AppMain(*app, "app.cfg");
    std::string out = testing::internal::GetCapturedStdout();
    if (old)
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_VIDEODRIVER");

    EXPECT_NE(0, status);
    EXPECT_EQ(0u, out.find(GetParam().message)) << out;
    EXPECT_FALSE(app->Called("OnInit"));
    EXPECT_FALSE(app->Called("PreFrame"));
    // The log files are open already when video fails.
    EXPECT_TRUE(std::ifstream(dir.File("kelDebug.txt")).good());
}

INSTANTIATE_TEST_SUITE_P(Drivers, AppVideoFailTest,
                         ::testing::Values(sFailCase{"nosuchdriver", "Video initialization failed: "},
                                           sFailCase{"dummy", "Set Video Mode failed: "}));

TEST_F(AppVideoTest, SwapIntervalNeedsAContextAndFollowsVsync)
{
    // Without a context there is nothing to look up and nothing happens.
    App idle;
    idle.SetSwapInterval(1);

    Start("vsync=0");
    Display* display = glXGetCurrentDisplay();
    ASSERT_NE(nullptr, display);
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (!extensions || !strstr(extensions, "GLX_EXT_swap_control"))
        return; // the driver has no way to read the interval back
    unsigned int interval = 99;
    glXQueryDrawable(display, glXGetCurrentDrawable(), GLX_SWAP_INTERVAL_EXT, &interval);
    EXPECT_EQ(0u, interval);
    app->SetSwapInterval(2);
    glXQueryDrawable(display, glXGetCurrentDrawable(), GLX_SWAP_INTERVAL_EXT, &interval);
    EXPECT_EQ(2u, interval);
}
