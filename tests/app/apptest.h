// A recording application for the frame-loop and video tests, and a fixture that runs it in a
// temporary working folder with every global manager emptied before and after.
#pragma once

#include "app/app.h"
#include "app/log.h"
#include "console/console.h"
#include "fs/filemgr.h"
#include "image/texturemgr.h"
#include "platform/clock.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/testutil.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Every hook call is written down as text; frames can be ended after a set count.
class TestApp : public App
{
  public:
    std::vector<std::string> calls;
    std::vector<float> seconds;
    std::vector<float> factors;
    int frames = 0;
    int quitAfterFrames = -1;                     // push a quit event during this frame
    std::function<void(const char* hook)> onHook; // runs inside each frame hook

    // The hooks of the frame itself, without the input ones.
    std::vector<std::string> FrameCalls() const
    {
        std::vector<std::string> out;
        for (const std::string& c : calls)
            if (c == "PreFrame" || c == "Update" || c == "OnKeyState" || c == "Render" || c == "Render2D")
                out.push_back(c);
        return out;
    }
    bool Called(const std::string& call) const
    {
        for (const std::string& c : calls)
            if (c == call)
                return true;
        return false;
    }

    bool OnInit() override { return Record("OnInit"), true; }
    bool OnQuit() override { return Record("OnQuit"), true; }
    void OnResize() override { Record("OnResize"); }
    void PreFrame() override
    {
        ++frames;
        if (frames == quitAfterFrames)
        {
            SDL_Event quit = {};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        Record("PreFrame");
    }
    void Update(float s, float factor) override
    {
        seconds.push_back(s);
        factors.push_back(factor);
        Record("Update");
    }
    void OnKeyState(InputState*) override { Record("OnKeyState"); }
    void Render() override { Record("Render"); }
    void Render2D() override { Record("Render2D"); }
    void OnKeyDown(uint32_t sym, uint32_t) override { Record("OnKeyDown " + std::to_string(sym)); }
    void OnKeyUp(uint32_t sym, uint32_t) override { Record("OnKeyUp " + std::to_string(sym)); }
    void OnMouseDown(int b, int x, int y) override { Record(Format("OnMouseDown", b, x, y)); }
    void OnMouseUp(int b, int x, int y) override { Record(Format("OnMouseUp", b, x, y)); }
    void OnMouseMove(int x, int y, int hw, int hh) override
    {
        Record(Format("OnMouseMove", x, y, hw) + " " + std::to_string(hh));
    }
    void OnMouseDelta(int dx, int dy) override
    {
        Record("OnMouseDelta " + std::to_string(dx) + " " + std::to_string(dy));
    }

  private:
    void Record(const std::string& call)
    {
        calls.push_back(call);
        if (onHook)
            onHook(call.c_str());
    }
    static std::string Format(const char* name, int a, int b, int c)
    {
        return std::string(name) + " " + std::to_string(a) + " " + std::to_string(b) + " " +
               std::to_string(c);
    }
};

inline void PushKey(Uint8 type, int sym)
{
    SDL_Event e = {};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = static_cast<SDLKey>(sym);
    SDL_PushEvent(&e);
}

inline void PushButton(Uint8 type, int button, int x, int y)
{
    SDL_Event e = {};
    e.type = type;
    e.button.type = type;
    e.button.button = static_cast<Uint8>(button);
    e.button.x = static_cast<Uint16>(x);
    e.button.y = static_cast<Uint16>(y);
    SDL_PushEvent(&e);
}

inline void PushMotion(int x, int y, int dx, int dy)
{
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = static_cast<Uint16>(x);
    e.motion.y = static_cast<Uint16>(y);
    e.motion.xrel = static_cast<Sint16>(dx);
    e.motion.yrel = static_cast<Sint16>(dy);
    SDL_PushEvent(&e);
}

inline void PushResize(int w, int h)
{
    SDL_Event e = {};
    e.type = SDL_VIDEORESIZE;
    e.resize.w = w;
    e.resize.h = h;
    SDL_PushEvent(&e);
}

inline void PushActive(int gain)
{
    SDL_Event e = {};
    e.type = SDL_ACTIVEEVENT;
    e.active.gain = static_cast<Uint8>(gain);
    e.active.state = SDL_APPACTIVE;
    SDL_PushEvent(&e);
}

inline void ResetGlobals()
{
    CloseLogFiles();
    gConsole.Reset();
    gShaderMgr.Reset();
    gTextureMgr.Destroy();
    gFileMgr.Reset();
    gTess.Reset();
    ClearFakeClock();
    SetPerformanceCounterAvailable(true);
}

// Runs each test in a fresh working folder; app.cfg and convars.cfg are written there before
// the application starts.
class AppTest : public ::testing::Test
{
  protected:
    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    std::unique_ptr<TestApp> app;

    void SetUp() override { ResetGlobals(); }
    void TearDown() override
    {
        gTextureMgr.Destroy();
        if (app)
            app->Shutdown();
        ResetGlobals();
    }

    // Writes the settings (with a small window unless given) and starts a new application.
    void Start(const std::string& appCfg = "", const std::string& convarsCfg = "")
    {
        // The first occurrence of a key wins, so the test's own lines go first.
        WriteFileText(dir.File("app.cfg"), appCfg + "\nwidth=640\nheight=480\nvsync=0\n");
        if (!convarsCfg.empty())
            WriteFileText(dir.File("convars.cfg"), convarsCfg);
        if (!app)
            app.reset(new TestApp);
        ASSERT_TRUE(app->Init("app.cfg"));
    }
};
