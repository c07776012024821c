// The frame loop and the event pump, driven with events pushed through SDL.
#include "apptest.h"

#include <GL/gl.h>

namespace
{
int mouse1Fired = 0;
int mouse2Fired = 0;
int slot0Fired = 0;
int keyAFired = 0;

void Mouse1Action() { ++mouse1Fired; }
void Mouse2Action() { ++mouse2Fired; }
void Slot0Action() { ++slot0Fired; }
void KeyAAction() { ++keyAFired; }

// Registers its actions during start-up, so that the bindings of convars.cfg find them.
class BindingApp : public TestApp
{
  public:
    bool OnInit() override
    {
        gConsole.RegisterAction("m1", Mouse1Action);
        gConsole.RegisterAction("m2", Mouse2Action);
        gConsole.RegisterAction("slot0", Slot0Action);
        gConsole.RegisterAction("keya", KeyAAction);
        return TestApp::OnInit();
    }
};

const char* BINDINGS = "bind MOUSE1 m1\nbind MOUSE2 m2\nbind nosuchkey slot0\nbind a keya\n";

class AppLoopTest : public AppTest
{
  protected:
    void StartWithBindings()
    {
        mouse1Fired = mouse2Fired = slot0Fired = keyAFired = 0;
        app.reset(new BindingApp);
        Start("", BINDINGS);
    }
};
} // namespace

TEST_F(AppLoopTest, FrameHooksRunInOrderAndKeyStateStopsWhileConsoleIsOpen)
{
    Start();
    app->quitAfterFrames = 2;
    app->onHook = [](const char* hook)
    {
        if (std::string(hook) == "Render2D" && !gConsole.IsOpen())
            gConsole.Toggle();
    };
    app->Run();

    // The resize posted by video set-up is applied by the first pump, before any frame.
    ASSERT_GE(app->calls.size(), 3u);
    EXPECT_EQ("OnInit", app->calls[0]);
    EXPECT_EQ("OnResize", app->calls[1]);
    std::vector<std::string> expected = {"PreFrame", "Update", "OnKeyState", "Render",  "Render2D",
                                         "PreFrame", "Update", "Render",     "Render2D"};
    EXPECT_EQ(expected, app->FrameCalls());
    EXPECT_EQ("OnQuit", app->calls.back());
    EXPECT_TRUE(app->IsActive());
}

TEST_F(AppLoopTest, QuitInTheFirstPumpDrawsNoFrameAndShutdownStillRuns)
{
    Start();
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    app->Run();
    EXPECT_TRUE(app->FrameCalls().empty());
    EXPECT_TRUE(app->Called("OnQuit"));
    app->Shutdown();
    EXPECT_FALSE(app->IsActive());
    EXPECT_EQ(0u, SDL_WasInit(SDL_INIT_VIDEO));
}

TEST_F(AppLoopTest, KeysGoToHooksAndBindingsWhileConsoleIsClosed)
{
    StartWithBindings();
    PushKey(SDL_KEYDOWN, 'a');
    PushKey(SDL_KEYUP, 'a');
    EXPECT_TRUE(app->PumpEvents());
    EXPECT_TRUE(app->Called("OnKeyDown 97"));
    EXPECT_TRUE(app->Called("OnKeyUp 97"));
    EXPECT_EQ(1, keyAFired);

    // Escape goes the usual way too, and the events behind it in the same pump are handled.
    PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    PushKey(SDL_KEYDOWN, 'a');
    EXPECT_FALSE(app->PumpEvents());
    EXPECT_TRUE(app->Called("OnKeyDown 27"));
    EXPECT_EQ(2, keyAFired);
}

TEST_F(AppLoopTest, OpenConsoleTakesKeyPressesButMouseStillWorks)
{
    StartWithBindings();
    ASSERT_TRUE(app->PumpEvents()); // the posted resize
    gConsole.Toggle();
    ASSERT_TRUE(gConsole.IsOpen());
    app->calls.clear();

    PushKey(SDL_KEYDOWN, 'x');
    PushKey(SDL_KEYUP, 'x');
    PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    PushKey(SDL_KEYDOWN, 'a');
    PushMotion(10, 20, 3, -4);
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
    EXPECT_FALSE(app->PumpEvents());

    EXPECT_STREQ("x\x1b"
                 "a",
                 gConsole.Input());
    EXPECT_EQ(0, keyAFired);
    std::vector<std::string> expected = {"OnMouseMove 10 20 320 240", "OnMouseDelta 3 -4",
                                         "OnMouseDown 1 10 20"};
    EXPECT_EQ(expected, app->calls);
    EXPECT_EQ(1, mouse1Fired);
    EXPECT_EQ(INPUT_BUTTON_LEFT, app->Input().buttons);
}

TEST_F(AppLoopTest, MouseButtonsPressTheirBindingsAndTrackHeldBits)
{
    StartWithBindings();
    ASSERT_TRUE(app->PumpEvents());
    app->calls.clear();

    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 6);
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 5, 6);
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_EQ(INPUT_BUTTON_RIGHT | INPUT_BUTTON_MIDDLE, app->Input().buttons);
    EXPECT_EQ(1, mouse2Fired); // the right button is bound as MOUSE2
    EXPECT_EQ(0, mouse1Fired);

    // A wheel step presses slot 0 and holds no bit; releases fire nothing.
    PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELUP, 7, 8);
    PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 7, 8);
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_EQ(1, slot0Fired);
    EXPECT_EQ(1, mouse2Fired);
    EXPECT_EQ(INPUT_BUTTON_MIDDLE, app->Input().buttons);
    EXPECT_TRUE(app->Called("OnMouseDown 4 7 8"));
    EXPECT_TRUE(app->Called("OnMouseUp 3 7 8"));

    // Two motions: the older position moves to prevMouse.
    PushMotion(100, 50, 0, 0);
    PushMotion(110, 45, 10, -5);
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_EQ(110, app->Input().mouseX);
    EXPECT_EQ(45, app->Input().mouseY);
    EXPECT_EQ(100, app->Input().prevMouseX);
    EXPECT_EQ(50, app->Input().prevMouseY);
}

TEST_F(AppLoopTest, InactiveWindowDropsInputButSeesResizeAndQuit)
{
    Start();
    ASSERT_TRUE(app->PumpEvents());
    app->calls.clear();

    PushActive(0);
    PushKey(SDL_KEYDOWN, 'q');
    PushMotion(1, 1, 1, 1);
    PushResize(400, 300);
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_FALSE(app->IsActive());
    std::vector<std::string> expected = {"OnResize"};
    EXPECT_EQ(expected, app->calls);
    EXPECT_EQ(400, app->Settings().width);

    PushActive(1);
    PushKey(SDL_KEYDOWN, 'q');
    ASSERT_TRUE(app->PumpEvents());
    EXPECT_TRUE(app->IsActive());
    EXPECT_TRUE(app->Called("OnKeyDown 113"));

    PushActive(0);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_FALSE(app->PumpEvents());
}

// The frame factor counts frames of the target length; seconds count from the loop's start.
TEST_F(AppLoopTest, FrameFactorAndSecondsFollowTheClock)
{
    SetFakeClock(100.0);
    Start("targetfps=64");
    // Clock readings set at the start of frames 1 to 5 (the factor is measured after PreFrame).
    const double frame = 1.0 / 64; // exact in binary, like every time below
    const double times[] = {100 + frame, 100 + frame, 99.5, 99.5 + 2 * frame, 99.5 + 2.5 * frame};
    app->quitAfterFrames = 5;
    TestApp* a = app.get();
    app->onHook = [a, times](const char* hook)
    {
        if (std::string(hook) == "PreFrame")
            SetFakeClock(times[a->frames - 1]);
    };
    app->Run();

    ASSERT_EQ(5u, app->factors.size());
    EXPECT_FLOAT_EQ(1.0f, app->factors[0]); // exactly one target frame
    EXPECT_FLOAT_EQ(1.0f, app->factors[1]); // a clock that stood still
    EXPECT_FLOAT_EQ(1.0f, app->factors[2]); // a clock that went back
    EXPECT_FLOAT_EQ(2.0f, app->factors[3]);
    EXPECT_NEAR(0.5f, app->factors[4], 1e-3);
    EXPECT_NEAR(frame, app->seconds[0], 1e-6);
    EXPECT_NEAR(0.0, app->seconds[1], 1e-6);
    EXPECT_NEAR(2 * frame, app->seconds[3], 1e-6);
}

TEST_F(AppLoopTest, WithoutCounterFactorIsOneAndSecondsComeFromMilliseconds)
{
    SetPerformanceCounterAvailable(false);
    SetFakeClock(50.0);
    app.reset(new TestApp); // the timer asks for the counter when the application is made
    Start();
    app->quitAfterFrames = 2;
    TestApp* a = app.get();
    app->onHook = [a](const char* hook)
    {
        if (std::string(hook) == "PreFrame")
            SetFakeClock(50.0 + 0.25 * a->frames);
    };
    app->Run();
    ASSERT_EQ(2u, app->factors.size());
    EXPECT_FLOAT_EQ(1.0f, app->factors[0]);
    EXPECT_FLOAT_EQ(1.0f, app->factors[1]);
    EXPECT_NEAR(0.25, app->seconds[0], 1e-4);
    EXPECT_NEAR(0.25, app->seconds[1], 1e-4);
}
