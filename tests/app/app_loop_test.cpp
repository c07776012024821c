// The frame loop and the event pump, driven with events pushed through SDL.
#include "apptest.h"

namespace
{
int fired[3]; // presses of the actions bound to MOUSE1, MOUSE2 and slot 0

class AppLoopTest : public AppTest
{
  protected:
    // Starts with the mouse bindings and handles the resize posted by video set-up.
    void StartWithBindings()
    {
        fired[0] = fired[1] = fired[2] = 0;
        gConsole.RegisterAction("m1", [] { ++fired[0]; });
        gConsole.RegisterAction("m2", [] { ++fired[1]; });
        gConsole.RegisterAction("slot0", [] { ++fired[2]; });
        Start("", "bind MOUSE1 m1\nbind MOUSE2 m2\nbind nosuchkey slot0\n");
        ASSERT_TRUE(app->PumpEvents());
        app->calls.clear();
    }
};
} // namespace

TEST_F(AppLoopTest, FrameHooksRunInOrderAndKeyStateStopsWhileConsoleIsOpen)
{
    Start();
    app->quitAfterFrames = 2;
    app->onHook = [](const std::string& hook)
    {
        if (hook == "Render2D" && !gConsole.IsOpen())
            gConsole.Toggle();
    };
    app->Run();
    EXPECT_EQ("OnInit, OnResize, PreFrame, Update, OnKeyState, Render, Render2D, PreFrame, Update, Render, "
              "Render2D, OnQuit",
              app->calls);
}

TEST_F(AppLoopTest, QuitInTheFirstPumpDrawsNoFrameAndShutdownStillRuns)
{
    Start();
    Push(SDL_QUIT);
    app->Run();
    EXPECT_EQ("OnInit, OnResize, OnQuit", app->calls);
    app->Shutdown();
    EXPECT_FALSE(app->IsActive());
    EXPECT_EQ(0u, SDL_WasInit(SDL_INIT_VIDEO));
}

TEST_F(AppLoopTest, OpenConsoleTakesKeyPressesWhileMouseStillWorks)
{
    StartWithBindings();
    gConsole.Toggle();
    Push(SDL_KEYDOWN, 'x');
    Push(SDL_KEYUP, 'x');
    Push(SDL_KEYDOWN, SDLK_ESCAPE);
    Push(SDL_KEYDOWN, 'a');
    Push(SDL_MOUSEMOTION, 10, 20, 3, -4);
    Push(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
    // Escape ends the loop, but only after the events behind it are handled.
    EXPECT_FALSE(app->PumpEvents());
    EXPECT_STREQ("x\x1b"
                 "a",
                 gConsole.Input());
    EXPECT_EQ("MouseMove 10 20 320 240, MouseDelta 3 -4, MouseDown 1 10 20", app->calls);
    EXPECT_EQ(1, fired[0]);
    EXPECT_EQ(INPUT_BUTTON_LEFT, app->Input().buttons);
}

TEST_F(AppLoopTest, ClosedConsoleLetsHooksSeeKeysAndButtonsPressBindingsUnlessInactive)
{
    StartWithBindings();
    Push(SDL_KEYDOWN, 'a');
    Push(SDL_KEYUP, 'a');
    Push(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 6);
    Push(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 5, 6);
    Push(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELUP, 7, 8); // no bit; presses slot 0
    Push(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 7, 8);     // releases fire nothing
    Push(SDL_MOUSEMOTION, 100, 50, 0, 0);
    Push(SDL_MOUSEMOTION, 110, 45, 10, -5);
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_EQ("KeyDown 97, KeyUp 97, MouseDown 3 5 6, MouseDown 2 5 6, MouseDown 4 7 8, MouseUp 3 7 8, "
              "MouseMove 100 50 320 240, MouseDelta 0 0, MouseMove 110 45 320 240, MouseDelta 10 -5",
              app->calls);
    EXPECT_EQ(0, fired[0]);
    EXPECT_EQ(1, fired[1]); // the right button is bound as MOUSE2
    EXPECT_EQ(1, fired[2]);
    const InputState& in = app->Input();
    EXPECT_EQ(INPUT_BUTTON_MIDDLE, in.buttons);
    EXPECT_EQ((std::vector<int>{110, 45, 100, 50}),
              (std::vector<int>{in.mouseX, in.mouseY, in.prevMouseX, in.prevMouseY}));

    // An inactive window drops input but sees resizes, activity and quit.
    app->calls.clear();
    Push(SDL_ACTIVEEVENT, 0);
    Push(SDL_KEYDOWN, 'q');
    Push(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 1);
    Push(SDL_VIDEORESIZE, 400, 300);
    Push(SDL_ACTIVEEVENT, 1);
    Push(SDL_KEYDOWN, 'w');
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_EQ("OnResize, KeyDown 119", app->calls);
    EXPECT_EQ(0, fired[0]);

    Push(SDL_ACTIVEEVENT, 0);
    Push(SDL_QUIT);
    EXPECT_FALSE(app->PumpEvents());
}

// The frame factor counts frames of the target length; seconds count from the loop's start.
TEST_F(AppLoopTest, FrameFactorAndSecondsFollowTheClock)
{
    SetFakeClock(100.0);
    Start("targetfps=64");
    const double frame = 1.0 / 64; // exact in binary, like the times below
    // Readings for frames 1 to 5: one frame, a clock standing still, one going back, two frames,
    // half a frame.
    const double times[] = {100 + frame, 100 + frame, 99.5, 99.5 + 2 * frame, 99.5 + 2.5 * frame};
    app->quitAfterFrames = 5;
    TestApp* a = app.get();
    app->onHook = [a, times](const std::string& hook)
    {
        if (hook == "PreFrame")
            SetFakeClock(times[a->frames - 1]);
    };
    app->Run();
    ASSERT_EQ(5u, app->factors.size());
    EXPECT_EQ(std::vector<float>(app->factors.begin(), app->factors.begin() + 4),
              (std::vector<float>{1, 1, 1, 2}));
    EXPECT_NEAR(0.5f, app->factors[4], 1e-3);
    EXPECT_NEAR(frame, app->seconds[0], 1e-6);
    EXPECT_NEAR(2 * frame, app->seconds[3], 1e-6);
}
