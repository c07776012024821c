// A recording application for the frame-loop and video tests, and a fixture that runs it in a
// temporary working folder with every global manager emptied before and after.
#pragma once

#include "app/app.h"
#include "platform/log.h"
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
#include <memory>
#include <string>
#include <vector>

// Pushes one SDL event; the meaning of a to d follows the type (key symbol; button, x, y;
// x, y, dx, dy; width, height; gain).
inline void Push(Uint8 type, int a = 0, int b = 0, int c = 0, int d = 0)
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
    void OnKeyDown(uint32_t sym, uint32_t) override { Note("KeyDown " + std::to_string(sym)); }
    void OnKeyUp(uint32_t sym, uint32_t) override { Note("KeyUp " + std::to_string(sym)); }
    void OnMouseDown(int b, int x, int y) override { Note(Join("MouseDown", {b, x, y})); }
    void OnMouseUp(int b, int x, int y) override { Note(Join("MouseUp", {b, x, y})); }
    void OnMouseMove(int x, int y, int hw, int hh) override { Note(Join("MouseMove", {x, y, hw, hh})); }
    void OnMouseDelta(int dx, int dy) override { Note(Join("MouseDelta", {dx, dy})); }

  private:
    void Note(const std::string& call)
    {
        calls += (calls.empty() ? "" : ", ") + call;
        if (onHook)
            onHook(call);
    }
    static std::string Join(std::string name, std::initializer_list<int> values)
    {
        for (int v : values)
            name += " " + std::to_string(v);
        return name;
    }
};

inline void ResetGlobals()
{
    CloseLogFiles();
    gConsole.Reset();
    gShaderMgr.Reset();
    gTextureMgr.Destroy();
    gFileMgr.Reset();
    gTess.Reset();
    ClearFakeClock();
}

class AppTest : public ::testing::Test
{
  protected:
    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    std::unique_ptr<TestApp> app{new TestApp};

    void SetUp() override { ResetGlobals(); }
    void TearDown() override
    {
        gTextureMgr.Destroy();
        app->Shutdown();
        ResetGlobals();
    }
    // Writes app.cfg (the test's lines first: the first occurrence of a key wins) and, when
    // given, convars.cfg, then starts the application.
    void Start(const std::string& appCfg = "", const std::string& convarsCfg = "")
    {
        WriteFileText(dir.File("app.cfg"), appCfg + "\nwidth=640\nheight=480\nvsync=0\n");
        if (!convarsCfg.empty())
            WriteFileText(dir.File("convars.cfg"), convarsCfg);
        ASSERT_TRUE(app->Init("app.cfg"));
    }
};
