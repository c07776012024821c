// The application object driven with events pushed through SDL: the order of its hooks, frame
// timing, the event pump, resizing and failed video set-up.
#include "app/app.h"
#include "console/console.h"
#include "fs/filemgr.h"
#include "image/texturemgr.h"
#include "platform/clock.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>

namespace
{
// Pushes SDL events, separated by commas: "key s" and "keyup s" (symbols), "down b x y" and
// "up b x y" (mouse buttons), "move x y dx dy", "resize w h", "active gain" and "quit".
void Push(const std::string& script)
{
    std::istringstream events(script);
    for (std::string event; std::getline(events, event, ',');)
    {
        std::istringstream in(event);
        std::string kind;
        int v[4] = {};
        in >> kind >> v[0] >> v[1] >> v[2] >> v[3];
        SDL_Event e = {};
        if (kind == "key" || kind == "keyup")
            e.type = kind == "key" ? SDL_KEYDOWN : SDL_KEYUP, e.key.keysym.sym = static_cast<SDLKey>(v[0]);
        else if (kind == "down" || kind == "up")
            e.type = kind == "up" ? SDL_MOUSEBUTTONUP : SDL_MOUSEBUTTONDOWN, e.button.button = v[0],
            e.button.x = v[1], e.button.y = v[2];
        else if (kind == "move")
            e.type = SDL_MOUSEMOTION, e.motion.x = v[0], e.motion.y = v[1], e.motion.xrel = v[2],
            e.motion.yrel = v[3];
        else if (kind == "resize")
            e.type = SDL_VIDEORESIZE, e.resize.w = v[0], e.resize.h = v[1];
        else if (kind == "active")
            e.type = SDL_ACTIVEEVENT, e.active.gain = v[0], e.active.state = SDL_APPACTIVE;
        else
            e.type = SDL_QUIT;
        SDL_PushEvent(&e);
    }
}

// Writes down every hook call, Update with the frame factor in thousandths.
class TestApp : public App
{
  public:
    std::string calls;
    int frames = 0;
    std::vector<float> seconds;
    std::function<void(const std::string& hook)> onHook; // runs inside each hook

    bool OnInit() override { return Note("OnInit"), true; }
    bool OnQuit() override { return Note("OnQuit"), true; }
    void OnResize() override { Note("OnResize"); }
    void PreFrame() override { ++frames, Note("PreFrame"); }
    void Update(float s, float f) override { seconds.push_back(s), Note("Update", {(int)lround(f * 1e3)}); }
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

// Shuts the application and the globals it set up: the console points at its variables.
void Stop(TestApp& app)
{
    gTextureMgr.Destroy();
    app.Shutdown();
    gConsole.Reset(), gShaderMgr.Reset(), gFileMgr.Reset(), gTess.Reset(), ClearFakeClock();
}
} // namespace

// Two starts that fail, then one session. A video driver that cannot give an OpenGL window, then
// one that cannot set the mode: the message on standard output, non-zero status, no hook called;
// the debug file, opened first, holds the refused setting too and keeps the lines of the run
// before. In the session, after a resize to 800 x 600: hooks in order, no key state with the
// console open, the frame factor in frames of the target length (one if the clock stood or went
// back); the second frame, as software OpenGL takes up the size at the next swap, cleared whole
// with the overlay at the top and textures kept. A height of zero counts as one; view values out
// of range are refused.
TEST(AppTest, FailedStartsThenOneSessionOfFramesEventsAndResizes)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    TestApp app;
    WriteFileText("app.cfg",
                  "fontwidth=0\nwidth=640\nheight=480\nvsync=0\ntargetfps=64\nclear_color=1\nfontfile=f.tga");
    std::string out;
    for (const char* driver : {"nosuchdriver", "dummy"})
    {
        setenv("SDL_VIDEODRIVER", driver, 1);
        testing::internal::CaptureStdout();
        EXPECT_NE(AppMain(app, "app.cfg"), 0);
        out += testing::internal::GetCapturedStdout();
        unsetenv("SDL_VIDEODRIVER");
        Stop(app);
    }
    const std::string debug = ReadFileText("kelDebug.txt");
    const std::string refused = "AppSettings:: fontwidth = 0 is out of range (1..256), 14 kept \nApp:: ";
    EXPECT_TRUE(out.find("Video initialization failed: ") == 0 &&
                out.find("\nSet Video Mode failed: ") != std::string::npos &&
                debug.find(refused + "Video initialization failed: ") == 0 &&
                debug.find(refused + "Set Video Mode failed: ") != std::string::npos)
        << out << debug;

    for (const char* name : {"m1", "m2", "slot0"}) // their names join the hook calls
        gConsole.RegisterAction(name, [&app, name] { app.calls += std::string(", ") + name; });
    WriteFileText("convars.cfg", "bind MOUSE1 m1\nbind MOUSE2 m2\nbind nosuchkey slot0\n");
    WriteFileBytes("f.tga", BuildTga(2, 32, 128, 128, 8, Bytes(128 * 128 * 4, 255))); // white glyphs
    SetFakeClock(100.0);
    ASSERT_TRUE(app.Init("app.cfg"));
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    Push("resize 800 600");
    const double frame = 1.0 / 64; // exact in binary, like the times below
    const double times[] = {100 + frame, 100 + frame, 99.5, 99.5 + 2 * frame, 99.5 + 2.5 * frame};
    auto red = [&app](int x, int y) // the pixel's red level joins the hook calls
    {
        unsigned char rgba[4] = {7, 7, 7, 7};
        ReadTestPixel(x, y, rgba);
        app.calls += " " + std::to_string(rgba[0]);
    };
    app.onHook = [&](const std::string& hook)
    {
        if (hook == "PreFrame")
            SetFakeClock(times[app.frames - 1]);
        if (hook == "PreFrame" && app.frames == 5)
            Push("quit");
        if (hook == "Render2D" && !gConsole.IsOpen())
            gConsole.Toggle();
        if (app.frames == 2 && hook == "Render")
            red(0, 0), red(799, 0), red(0, 599), red(799, 599);
        if (app.frames == 2 && hook == "Render2D")
            app.Font().PrintAt(0, 0, "M"), red(3, 596);
    };
    app.Run();
    EXPECT_NEAR(app.seconds.at(3), 2 * frame, 1e-6);
    EXPECT_TRUE(app.Surface()->w == 800 && glIsTexture(app.Font().texture));

    Push("resize 320 0");
    ASSERT_TRUE(app.PumpEvents());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::vector<float> values = {(float)app.Settings().height, (float)viewport[3]}; // then fov, far
    for (const char* line : {"far inf", "far 0.1", "fov 90"})                       // far nearer than near
        gConsole.Execute(line), values.push_back(app.Settings().fov.Float()),
            values.push_back(app.Settings().far.Float());
    EXPECT_EQ(values, (std::vector<float>{1, 1, 60, 10000, 60, 10000, 90, 10000}));
    float projection[16]; // for fov 90 and the aspect ratio width / 1
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_TRUE(std::fabs(projection[5] - 1) < 1e-5 && std::fabs(projection[0] - 1.0f / 320) < 1e-7);

    // The console takes the keys, Escape too, which ends the loop after the events behind it.
    Push("key 120, keyup 120, key 27, key 97, move 10 20 3 -4, down 1 10 20"); // x, Escape, a
    EXPECT_FALSE(app.PumpEvents());
    EXPECT_EQ(std::string(gConsole.Input()) + std::to_string(app.Input().buttons),
              "x\x1b" + std::string("a") + std::to_string(INPUT_BUTTON_LEFT));
    // Closed, presses fire bindings: the right button as MOUSE2, further buttons in slot 0. An
    // inactive window drops input, not the quit.
    gConsole.Toggle();
    Push("up 1 0 0, key 97, keyup 97, down 3 5 6, down 2 5 6, down 4 5 6, up 3 7 8, move 110 45 10 -5");
    ASSERT_TRUE(app.PumpEvents());
    EXPECT_EQ(app.Input().buttons, (uint32_t)INPUT_BUTTON_MIDDLE);
    Push("active 0, key 113, quit");
    EXPECT_FALSE(app.PumpEvents());
    EXPECT_EQ(app.calls, "OnInit, OnResize, OnResize, PreFrame, Update 1000, OnKeyState, Render, Render2D, "
                         "PreFrame, Update 1000, Render 51 51 51 51, Render2D 255, PreFrame, Update 1000, "
                         "Render, Render2D, PreFrame, Update 2000, Render, Render2D, PreFrame, Update 500, "
                         "Render, Render2D, OnQuit, OnResize, MouseMove 10 20 160 0, MouseDelta 3 -4, "
                         "MouseDown 1 10 20, m1, MouseUp 1 0 0, KeyDown 97, KeyUp 97, MouseDown 3 5 6, m2, "
                         "MouseDown 2 5 6, MouseDown 4 5 6, slot0, MouseUp 3 7 8, MouseMove 110 45 160 0, "
                         "MouseDelta 10 -5, OnQuit");
    app.Shutdown();
    EXPECT_TRUE(!app.IsActive() && SDL_WasInit(SDL_INIT_VIDEO) == 0);
    Stop(app);
}
