// The application object: start-up, the frame loop and the end of the program.
#include "app/app.h"

App::App() {}

App::~App() {}

bool App::OnVariableChange(ConVar*, ConArgs*) { return false; }

void App::InitGL() {}

bool App::Init(const char*) { return false; }

bool App::SetupVideo(const AppSettings&) { return false; }

void App::Run() {}

bool App::PumpEvents() { return false; }

void App::Resize(int, int) {}

void App::Shutdown() { active = false; }

void App::SetSwapInterval(int) {}

FrameTimer::FrameTimer() {}

void FrameTimer::Start() {}

float FrameTimer::Elapsed() { return 0.0f; }

int AppMain(App& app, const char* settingsFile)
{
    if (!app.Init(settingsFile))
        return 1;
    app.Run();
    app.Shutdown();
    return 0;
}
