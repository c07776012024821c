// The application object driven with events pushed through SDL: the order of its hooks, the
// event pump, frame timing, video set-up and resizing, and clearing.
#include "app/app.h"
#include "console/console.h"
#include "fs/filemgr.h"
#include "image/texturemgr.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/glcontext.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

namespace
{
// Pushes one SDL event; the meaning of a to d follows the type (key symbol; button, x, y;
// x, y, dx, dy; width, height; gain).
void Push(Uint8 type, int a = 0, int b = 0, int c = 0, int d = 0)
{
    SDL_Event e = {};
    e.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP)
        e.key.keysym.sym = static_cast<SDLKey>(a);
    else if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP)
        e.button.button = a, e.button.x = b, e.button.y = c;
    else if (type == SDL_MOUSEMOTION)
        e.motion.x = a, e.motion.y = b, e.motion.xrel = c, e.motion.yrel = d;
    else if (type == SDL_VIDEORESIZE)
        e.resize.w = a, e.resize.h = b;
    else if (type == SDL_ACTIVEEVENT)
        e.active.gain = a, e.active.state = SDL_APPACTIVE;
    SDL_PushEvent(&e);
}

// Writes down every hook call as text; a quit event can be pushed during a chosen frame.
class TestApp : public App
{
  public:
    std::string calls; // every hook call so far, joined by ", "
    std::vector<float> seconds, factors;
    int frames = 0;
    int quitAfterFrames = -1;
    std::function<void(const std::string& hook)> onHook; // runs inside each hook

    bool OnInit() override { return Note("OnInit"), true; }
    bool OnQuit() override { return Note("OnQuit"), true; }
    void OnResize() override { Note("OnResize"); }
    void PreFrame() override
    {
        if (++frames == quitAfterFrames)
            Push(SDL_QUIT);
        Note("PreFrame");
    }
    void Update(float s, float factor) override
    {
        seconds.push_back(s);
        factors.push_back(factor);
        Note("Update");
    }
    void OnKeyState(InputState*) override { Note("OnKeyState"); }
    void Render() override { Note("Render"); }
    void Render2D() override { Note("Render2D"); }
    void OnKeyDown(uint32_t sym, uint32_t) override { Note("KeyDown", {(int)sym}); }
    void OnKeyUp(uint32_t sym, uint32_t) override { Note("KeyUp", {(int)sym}); }
    void OnMouseDown(int b, int x, int y) override { Note("MouseDown", {b, x, y}); }
    void OnMouseUp(int b, int x, int y) override { Note("MouseUp", {b, x, y}); }
    void OnMouseMove(int x, int y, int hw, int hh) override { Note("MouseMove", {x, y, hw, hh}); }
    void OnMouseDelta(int dx, int dy) override { Note("MouseDelta", {dx, dy}); }

  private:
    void Note(std::string call, std::initializer_list<int> values = {})
    {
        for (int v : values)
            call += " " + std::to_string(v);
        calls += (calls.empty() ? "" : ", ") + call;
        if (onHook)
            onHook(call);
    }
};

int fired[3]; // presses of the actions bound to MOUSE1, MOUSE2 and slot 0

class AppTest : public ::testing::Test
{
  protected:
    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    std::unique_ptr<TestApp> app{new TestApp};

    static void ResetGlobals()
    {
        CloseLogFiles();
        gConsole.Reset();
        gShaderMgr.Reset();
        gTextureMgr.Destroy();
        gFileMgr.Reset();
        gTess.Reset();
        ClearFakeClock();
    }
    void SetUp() override { ResetGlobals(); }
    void TearDown() override { Stop(); }
    void Stop()
    {
        gTextureMgr.Destroy();
        app->Shutdown();
        ResetGlobals(); // the console still points at the variables of the application
    }
    // Writes app.cfg (the test's lines first: the first occurrence of a key wins) and
    // convars.cfg with the mouse bindings, then starts a new application.
    void Start(const std::string& appCfg = "")
    {
        app.reset(new TestApp);
        fired[0] = fired[1] = fired[2] = 0;
        gConsole.RegisterAction("m1", [] { ++fired[0]; });
        gConsole.RegisterAction("m2", [] { ++fired[1]; });
        gConsole.RegisterAction("slot0", [] { ++fired[2]; });
        WriteFileText(dir.File("app.cfg"), appCfg + "\nwidth=640\nheight=480\nvsync=0\n");
        WriteFileText(dir.File("convars.cfg"), "bind MOUSE1 m1\nbind MOUSE2 m2\nbind nosuchkey slot0\n");
        ASSERT_TRUE(app->Init("app.cfg"));
    }
    // The colour of a pixel of the back buffer, bottom-left origin.
    static std::vector<int> Pixel(int x, int y)
    {
        unsigned char rgba[4] = {7, 7, 7, 7};
        ReadTestPixel(x, y, rgba);
        return {rgba[0], rgba[1], rgba[2]};
    }
};
} // namespace

// The hooks of a frame in order, the key state not taken once the console is open. The frame
// factor counts frames of the target length, a clock standing still or going back counting one;
// seconds count from the loop's start. At the end SDL is shut; a quit in the first pump draws no
// frame.
TEST_F(AppTest, FrameHooksRunInOrderAndTheFrameFactorFollowsTheClock)
{
    SetFakeClock(100.0);
    Start("targetfps=64");
    const double frame = 1.0 / 64; // exact in binary, like the times below
    const double times[] = {100 + frame, 100 + frame, 99.5, 99.5 + 2 * frame, 99.5 + 2.5 * frame};
    app->quitAfterFrames = 5;
    TestApp* a = app.get();
    app->onHook = [a, times](const std::string& hook)
    {
        if (hook == "PreFrame")
            SetFakeClock(times[a->frames - 1]);
        if (hook == "Render2D" && !gConsole.IsOpen())
            gConsole.Toggle();
    };
    app->Run();
    std::string expected = "OnInit, OnResize, PreFrame, Update, OnKeyState, Render, Render2D, ";
    for (int i = 0; i < 4; i++)
        expected += "PreFrame, Update, Render, Render2D, ";
    EXPECT_EQ(app->calls, expected + "OnQuit");
    std::vector<long> milli;
    for (float f : app->factors)
        milli.push_back(std::lround(f * 1000));
    EXPECT_EQ(milli, (std::vector<long>{1000, 1000, 1000, 2000, 500}));
    ASSERT_EQ(app->seconds.size(), 5u);
    EXPECT_NEAR(app->seconds[0], frame, 1e-6);
    EXPECT_NEAR(app->seconds[3], 2 * frame, 1e-6);
    app->Shutdown();
    EXPECT_TRUE(!app->IsActive() && SDL_WasInit(SDL_INIT_VIDEO) == 0);
    Stop();
    Start();
    Push(SDL_QUIT);
    app->Run();
    EXPECT_EQ(app->calls, "OnInit, OnResize, OnQuit");
}

// With the console open, keys go to its line; Escape ends the loop after the events behind it.
// Closed, the hooks see keys and buttons, presses (not releases) fire bindings, the right button
// as MOUSE2 and further buttons in slot 0. An inactive window drops input, not resizes or quit.
TEST_F(AppTest, EventsReachTheConsoleTheHooksAndTheBindings)
{
    Start();
    ASSERT_TRUE(app->PumpEvents()); // the resize posted by video set-up
    gConsole.Toggle();
    for (int key : std::initializer_list<int>{'x', 0, SDLK_ESCAPE, 'a'})
        key ? Push(SDL_KEYDOWN, key) : Push(SDL_KEYUP, 'x');
    Push(SDL_MOUSEMOTION, 10, 20, 3, -4);
    Push(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
    EXPECT_FALSE(app->PumpEvents());
    EXPECT_STREQ(gConsole.Input(), "x\x1b"
                                   "a");
    EXPECT_EQ(app->Input().buttons, INPUT_BUTTON_LEFT);

    gConsole.Toggle();
    Push(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 0, 0);
    Push(SDL_KEYDOWN, 'a');
    Push(SDL_KEYUP, 'a');
    for (int button : {SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_WHEELUP})
        Push(SDL_MOUSEBUTTONDOWN, button, 5, 6);
    Push(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 7, 8);
    Push(SDL_MOUSEMOTION, 110, 45, 10, -5);
    Push(SDL_ACTIVEEVENT, 0);
    Push(SDL_KEYDOWN, 'q');
    Push(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 1);
    Push(SDL_VIDEORESIZE, 400, 300);
    Push(SDL_ACTIVEEVENT, 1);
    Push(SDL_KEYDOWN, 'w');
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_EQ(app->calls,
              "OnInit, OnResize, MouseMove 10 20 320 240, MouseDelta 3 -4, MouseDown 1 10 20, "
              "MouseUp 1 0 0, KeyDown 97, KeyUp 97, MouseDown 3 5 6, MouseDown 2 5 6, MouseDown 4 5 6, "
              "MouseUp 3 7 8, MouseMove 110 45 320 240, MouseDelta 10 -5, OnResize, KeyDown 119");
    const InputState& in = app->Input();
    EXPECT_EQ((std::vector<int>{fired[0], fired[1], fired[2], (int)in.buttons, in.mouseX, in.mouseY,
                                in.prevMouseX, in.prevMouseY}),
              (std::vector<int>{1, 1, 1, (int)INPUT_BUTTON_MIDDLE, 110, 45, 10, 20}));
    Push(SDL_ACTIVEEVENT, 0);
    Push(SDL_QUIT);
    EXPECT_FALSE(app->PumpEvents());
}

// A height of zero counts as one; out of range view values are refused, good ones apply at once.
TEST_F(AppTest, ResizeToHeightZeroAndTheViewVariables)
{
    Start();
    Push(SDL_VIDEORESIZE, 320, 0);
    ASSERT_TRUE(app->PumpEvents());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ((std::vector<int>{app->Settings().height, viewport[2], viewport[3]}),
              (std::vector<int>{1, 320, 1}));
    float before[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    gConsole.Execute("fov 200");
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_TRUE(memcmp(before, after, sizeof before) == 0 && app->Settings().fov.Float() == 60.0f);
    gConsole.Execute("fov 90");
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_NEAR(after[5], 1.0f, 1e-5);       // 1 / tan(45 degrees)
    EXPECT_NEAR(after[0], 1.0f / 320, 1e-7); // aspect ratio width / 1
    std::vector<float> values;
    for (const char* line : {"near 2", "far 1", "far 2", "fov nan"}) // far nearer than near, then not
        gConsole.Execute(line), values.push_back(app->Settings().far.Float());
    EXPECT_EQ(values, (std::vector<float>{10000, 10000, 2, 2}));
    EXPECT_EQ(app->Settings().fov.Float(), 90.0f);
}

// Each frame clears the buffers the settings name; marks that only the frame's own clear can
// remove are read in the next frame's first hook.
TEST_F(AppTest, FrameClearsTheBuffersNamedInSettings)
{
    const std::pair<const char*, std::vector<int>> cases[] = {{"clear_color=1\nclear_depth=1", {0, 1000}},
                                                              {"", {255, 250}},
                                                              {"clear_color=2\nclear_depth=1", {255, 1000}},
                                                              {"clear_color=1", {0, 250}}};
    for (const auto& [cfg, expected] : cases)
    {
        Start(cfg);
        glClearColor(1, 0, 0, 1);
        glClearDepth(0.25);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0, 0, 1, 1);
        glClearDepth(1.0);
        std::vector<int> seen;
        app->quitAfterFrames = 1;
        app->onHook = [&](const std::string& hook)
        {
            float depth = 0;
            if (hook == "PreFrame")
                glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth),
                    seen = {Pixel(5, 5)[0], (int)(depth * 1000 + 0.5f)};
        };
        app->Run();
        EXPECT_EQ(seen, expected) << cfg;
        Stop();
    }
}

// Software OpenGL takes up a new drawable size at the next buffer swap, so the second frame
// after the resize is checked; setting the mode again keeps the context and its textures.
TEST_F(AppTest, WindowResizedTo800x600IsDrawnWhole)
{
    std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 128, 0, 128, 0, 32, 8}; // white
    tga.resize(tga.size() + 128 * 128 * 4, 255);
    WriteFileBytes(dir.File("font.tga"), tga);
    Start("clear_color=1\nfontfile=font.tga");
    ASSERT_NE(app->Font().texture, 0u);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    Push(SDL_VIDEORESIZE, 800, 600);
    std::vector<int> seen;
    app->quitAfterFrames = 2;
    TestApp* a = app.get();
    app->onHook = [&](const std::string& hook)
    {
        if (a->frames == 2 && hook == "Render")
            for (const std::vector<int>& p : {Pixel(0, 0), Pixel(799, 0), Pixel(0, 599), Pixel(799, 599)})
                seen.insert(seen.end(), p.begin(), p.end());
        if (a->frames == 2 && hook == "Render2D")
            a->Font().PrintAt(0, 0, "M"), seen.push_back(Pixel(3, 596)[0]);
    };
    app->Run();
    EXPECT_EQ(app->Surface()->w, 800);
    EXPECT_EQ(seen, (std::vector<int>{51, 102, 153, 51, 102, 153, 51, 102, 153, 51, 102, 153, 255}));
    EXPECT_TRUE(glIsTexture(app->Font().texture));
}

// A video driver that cannot give an OpenGL window, or a window too large for X: the message on
// standard output, non-zero status; the debug file, opened first, holds the refused setting too.
TEST_F(AppTest, FailedVideoSetUpSaysWhyAndEndsWithNonZeroStatus)
{
    for (const char* driver : {"nosuchdriver", "dummy"})
    {
        const std::string why =
            driver[0] == 'n' ? "Video initialization failed: " : "Set Video Mode failed: ";
        WriteFileText(dir.File("app.cfg"), "width=320\nheight=200\nfontwidth=0\n");
        setenv("SDL_VIDEODRIVER", driver, 1);
        testing::internal::CaptureStdout();
        const int status = AppMain(*app, "app.cfg");
        const std::string out = testing::internal::GetCapturedStdout();
        unsetenv("SDL_VIDEODRIVER");
        EXPECT_TRUE(status != 0 && out.find(why) == 0 && app->calls.empty()) << out;
        const std::string debug = ReadFileText(dir.File("kelDebug.txt"));
        EXPECT_EQ(debug.find("AppSettings:: fontwidth = 0 is out of range (1..256), 14 kept \nApp:: " + why),
                  0u)
            << debug;
        std::remove(dir.File("kelDebug.txt").c_str());
        Stop();
    }
    AppSettings huge;
    huge.width = 65536;
    huge.height = 1;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(app->SetupVideo(huge));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Set Video Mode failed: window size 65536 x 1 out of range (1..16384)\n");
}
