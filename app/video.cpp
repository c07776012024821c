// Video set-up: the SDL window with its OpenGL context, the default OpenGL state, the viewport
// and projection, and the checks of the view variables fov, near and far.
#include "app/app.h"

#include "platform/log.h"
#include "console/console.h"
#include "platform/clock.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{
const Uint32 VIDEO_FLAGS_FULLSCREEN = SDL_OPENGL | SDL_ANYFORMAT | SDL_FULLSCREEN;
const Uint32 VIDEO_FLAGS_WINDOWED = SDL_OPENGL | SDL_ANYFORMAT | SDL_RESIZABLE;

// Ranges accepted for the view variables; far is checked against the current near.
const float FOV_MIN = 10.0f;
const float FOV_MAX = 180.0f;
const float NEAR_MIN = 0.0f;
const float NEAR_MAX = 65000.0f;

// Says why on standard output and, so that it outlives the terminal, in the debug file.
bool VideoFailed(const char* what, const char* reason)
{
    printf("%s: %s\n", what, reason);
    fflush(stdout);
    DebugLog("App:: %s: %s", what, reason);
    SDL_Quit();
    return false;
}
} // namespace

bool App::SetupVideo(const AppSettings& newSettings)
{
    OpenLogFiles(newSettings.debugFile, newSettings.logFile);
    gConsole.Init();
    if (&newSettings != &settings)
        settings = newSettings;
    // Values the settings file held but that were refused: the debug file is open only now.
    for (const std::string& refusal : settings.refusals)
        DebugLog("%s", refusal.c_str());
    settings.refusals.clear();
    gConsole.RegisterVar("fov", &settings.fov, this, -1);
    gConsole.RegisterVar("near", &settings.near, this, -1);
    gConsole.RegisterVar("far", &settings.far, this, -1);
    SDL_WM_SetCaption(settings.caption, nullptr);

    targetFps = static_cast<float>(settings.targetFps);
    QueryPerformanceCounter(&framePrev);
    QueryPerformanceFrequency(&counterFrequency);

    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0)
        return VideoFailed("Video initialization failed", SDL_GetError());
    if (!SDL_GetVideoInfo())
        return VideoFailed("Get Video info failed", SDL_GetError());

    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, settings.depth);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    videoFlags = settings.fullscreen ? VIDEO_FLAGS_FULLSCREEN : VIDEO_FLAGS_WINDOWED;
    // The settings file cannot give such a size, but a record made in code can; X would end
    // the program over it.
    if (settings.width < 1 || settings.width > SETTINGS_MAX_WINDOW_SIZE || settings.height < 1 ||
        settings.height > SETTINGS_MAX_WINDOW_SIZE)
    {
        char reason[96];
        snprintf(reason, sizeof reason, "window size %d x %d out of range (1..%d)", settings.width,
                 settings.height, SETTINGS_MAX_WINDOW_SIZE);
        return VideoFailed("Set Video Mode failed", reason);
    }
    surface = SDL_SetVideoMode(settings.width, settings.height, settings.bpp, videoFlags);
    if (!surface)
        return VideoFailed("Set Video Mode failed", SDL_GetError());

    // The first call of the event pump sets the viewport and the projection from this.
    SDL_Event resize = {};
    resize.type = SDL_VIDEORESIZE;
    resize.resize.w = settings.width;
    resize.resize.h = settings.height;
    SDL_PushEvent(&resize);

    SDL_EnableKeyRepeat(500, 30);
    active = true;
    InitGL();
    SDL_WM_SetCaption(settings.caption, nullptr);
    gShaderMgr.Init();

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    gTess.lightmapTexture = 0;
    gTess.specialTexture = 0;

    font.Load(settings.fontFile, settings.fontWidth, settings.fontHeight);
    SetSwapInterval(settings.vsync);
    OnInit();
    gConsole.LoadConfig("convars.cfg");
    return true;
}

void App::InitGL()
{
    glEnable(GL_POLYGON_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_NORMALIZE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
}

void App::Resize(int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(settings.fov.Float(), static_cast<double>(width) / static_cast<double>(height),
                   settings.near.Float(), settings.far.Float());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    settings.width = width;
    settings.height = height;
}

// SDL on X11 keeps the OpenGL drawable at its old size after the window was resized until the
// video mode is set again with the new size; the context and its textures survive that call.
void App::HandleResize(int width, int height)
{
    if (surface && !settings.fullscreen && (surface->w != width || surface->h != height))
    {
        // A zero size would ask SDL for the size of the whole screen, a huge one X would refuse
        // by ending the program.
        int modeWidth = std::min(std::max(width, 1), SETTINGS_MAX_WINDOW_SIZE);
        int modeHeight = std::min(std::max(height, 1), SETTINGS_MAX_WINDOW_SIZE);
        SDL_Surface* resized =
            SDL_SetVideoMode(modeWidth, modeHeight, surface->format->BitsPerPixel, videoFlags);
        if (resized)
            surface = resized;
        else
            DebugLog("App:: can`t resize the window to %d x %d : %s", modeWidth, modeHeight, SDL_GetError());
    }
    Resize(width, height);
    OnResize();
}

void App::SetSwapInterval(int interval)
{
    if (!swapInterval)
        swapInterval = LookUpSwapInterval();
    if (swapInterval)
        swapInterval(interval);
}

// Refuses values out of range, so the variable keeps its old value rather than holding one that
// the next resize would turn into a broken projection.
bool App::OnVariableChange(ConVar* var, ConArgs* args)
{
    bool isFov = var == &settings.fov;
    bool isNear = var == &settings.near;
    bool isFar = var == &settings.far;
    if (!(isFov || isNear || isFar) || !args || args->Count() == 0 || !args->Arg(0))
        return false;
    float value = static_cast<float>(atof(args->Arg(0)));
    bool inRange = false;
    if (!std::isfinite(value))
        inRange = false;
    else if (isFov)
        inRange = value >= FOV_MIN && value <= FOV_MAX;
    else if (isNear)
        inRange = value >= NEAR_MIN && value <= NEAR_MAX;
    else
        inRange = value >= settings.near.Float();
    if (!inRange)
        return false;
    char text[64];
    snprintf(text, sizeof text, "%f", value);
    var->Set(text);
    Resize(settings.width, settings.height);
    return true;
}
