// The application object: start-up, the frame loop with its timing, and the end of the program.
#include "app/app.h"

#include "platform/log.h"
#include "console/console.h"
#include "platform/clock.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// While the window is iconified the loop draws nothing and waits this long between looks at
// the event queue.
const Uint32 INACTIVE_WAIT_MS = 10;
} // namespace

FrameTimer::FrameTimer()
{
    int64_t frequency = 0;
    hasCounter = QueryPerformanceFrequency(&frequency) && frequency > 0;
    if (hasCounter)
        secondsPerTick = 1.0 / static_cast<double>(frequency);
}

void FrameTimer::Start()
{
    if (hasCounter)
        QueryPerformanceCounter(&startCounter);
    else
        msStamp = timeGetTime();
}

float FrameTimer::Elapsed()
{
    if (hasCounter)
    {
        QueryPerformanceCounter(&currentCounter);
        double seconds = static_cast<double>(currentCounter - startCounter) * secondsPerTick;
        startCounter = currentCounter;
        return static_cast<float>(seconds);
    }
    uint32_t now = timeGetTime();
    float seconds = static_cast<float>(now - msStamp) * 0.001f; // unsigned: survives the wrap
    msStamp = now;
    return seconds;
}

App::App() {}

App::~App() {}

bool App::Init(const char* settingsFile)
{
    settings.Load(settingsFile);
    return SetupVideo(settings);
}

void App::Run()
{
    timer.Start();
    timer.Elapsed();
    if (!PumpEvents())
        return;
    do
    {
        if (active)
            DrawFrame();
        else
            IdleFrame();
    } while (PumpEvents());
}

// Frame factor and seconds of this frame, steps that every drawn frame takes in this order.
void App::MeasureFrame(float* seconds)
{
    QueryPerformanceCounter(&frameNow);
    double frameTicks = static_cast<double>(counterFrequency) / targetFps;
    double factor = static_cast<double>(frameNow - framePrev) / frameTicks;
    // A clock that stood still or went back, or no counter at all, counts as one target frame.
    if (!(factor > 0.0) || !std::isfinite(factor))
        factor = 1.0;
    framePrev = frameNow;
    frameFactor = static_cast<float>(factor);
    *seconds = timer.Elapsed();
}

void App::DrawFrame()
{
    glDepthMask(GL_TRUE);
    glClear(settings.clearMask);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    PreFrame();
    float seconds = 0.0f;
    MeasureFrame(&seconds);
    Update(seconds, frameFactor);

    // While the console is open the keys keep the snapshot taken before it opened.
    if (!gConsole.IsOpen())
    {
        int count = 0;
        const Uint8* state = SDL_GetKeyState(&count);
        if (state)
            memcpy(input.keys, state, std::min(std::max(count, 0), INPUT_KEYS_COPIED));
        OnKeyState(&input);
    }

    Render();

    // The overlay works in window pixels with the origin at the bottom left.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);

    Render2D();
    if (gConsole.IsOpen())
        DrawConsole();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);

    SDL_GL_SwapBuffers();
}

// A turn of the loop while iconified: nothing is drawn, but the clocks move on so that the
// first frame after it does not count the whole pause.
void App::IdleFrame()
{
    SDL_Delay(INACTIVE_WAIT_MS);
    QueryPerformanceCounter(&framePrev);
    timer.Elapsed();
}

// The console background: a half-window rectangle that slides down with the console text.
void App::DrawConsole()
{
    gTess.Reset();
    int index = gShaderMgr.Find("console");
    if (index < 0 || index >= static_cast<int>(gShaderMgr.shaders.size()) ||
        !(gShaderMgr.shaders[index].flags & SHADER_LOADED))
        index = gShaderMgr.Load("console");
    if (index >= 0 && index < static_cast<int>(gShaderMgr.shaders.size()))
    {
        gTess.Begin(&gShaderMgr.shaders[index]);
        gTess.AddQuad(0, gConsole.SlideOffset(), static_cast<float>(settings.width),
                      static_cast<float>(settings.height / 2));
        gTess.Flush();
        if (gTess.pending != TESS_EMPTY)
            gTess.Flush();
    }
    gConsole.Draw(font, settings.width, settings.height);
}

void App::Shutdown()
{
    // Whatever listened to the log goes with the files.
    SetLogListener(nullptr, nullptr);
    CloseLogFiles();
    SDL_Quit();
    active = false;
}

int AppMain(App& app, const char* settingsFile)
{
    // SDL itself is brought up by video set-up; this only makes sure it is shut at exit.
    atexit(SDL_Quit);
    if (!app.Init(settingsFile))
        return 1;
    app.Run();
    app.Shutdown();
    return 0;
}
