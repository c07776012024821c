// Per-frame cost of drawing a player through the model drawer with its real shaders: sarge
// from the game archive, every script of that archive parsed, drawn in a GL window (run under
// a display, e.g. xvfb-run). Two figures: our side alone (the draw call itself skipped) and
// the whole frame with the software GL's drawing finished. Each also counts the C++ heap
// allocations made per frame.
#include "fs/filemgr.h"
#include "model/modelq3.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"

#include <SDL.h>
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <new>
#include <string>

namespace
{
bool counting = false;
long allocations = 0;
} // namespace

#pragma GCC diagnostic ignored "-Wmismatched-new-delete" // malloc and free underneath
void* operator new(std::size_t size)
{
    allocations += counting;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace
{
std::string ArchivePath()
{
    const char* base = getenv("KEL_OA_BASE");
    std::string folder = base && *base ? base : "data/openarena/usr/share/games/openarena/baseoa";
    return folder + "/pak0.pk3";
}

// A 320 x 240 window in the state video start-up leaves, a camera a little in front of the
// model, the archive mounted and its scripts parsed; null when any of it fails.
cModelQ3* Setup(benchmark::State& state)
{
    static cModelQ3* sarge = nullptr;
    if (sarge)
        return sarge;
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !SDL_SetVideoMode(320, 240, 0, SDL_OPENGL))
    {
        state.SkipWithError("no GL window: run under a display (xvfb-run)");
        return nullptr;
    }
    glViewport(0, 0, 320, 240);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glCullFace(GL_BACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-4, 4, -3, 3, 8, 400);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -100);
    gShaderMgr.Init();
    if (!gFileMgr.MountZip(ArchivePath().c_str()))
    {
        state.SkipWithError("the real archive is not there");
        return nullptr;
    }
    gShaderMgr.ParseAllScripts();
    sarge = new cModelQ3;
    if (!sarge->Load("models/players/sarge"))
    {
        state.SkipWithError("sarge does not load");
        return sarge = nullptr;
    }
    return sarge;
}

void SkipDraw(unsigned int, int, unsigned int, const void*) {}

// One frame per iteration, after a first frame that loads the shaders' textures.
void DrawFrames(benchmark::State& state, bool draw, bool gameLook)
{
    cModelQ3* sarge = Setup(state);
    if (!sarge)
        return;
    gGameLook = gameLook;
    gTessDrawElements = draw ? glDrawElements : SkipDraw;
    sarge->Render();
    glFinish();
    allocations = 0;
    counting = true;
    for (auto _ : state)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        sarge->Render();
        if (draw)
            glFinish();
    }
    counting = false;
    gTessDrawElements = glDrawElements;
    gGameLook = false;
    state.counters["allocs/frame"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void BM_SargeOurSide(benchmark::State& state) { DrawFrames(state, false, false); }
BENCHMARK(BM_SargeOurSide)->Unit(benchmark::kMicrosecond);

void BM_SargeOurSideGameLook(benchmark::State& state) { DrawFrames(state, false, true); }
BENCHMARK(BM_SargeOurSideGameLook)->Unit(benchmark::kMicrosecond);

void BM_SargeWholeFrame(benchmark::State& state) { DrawFrames(state, true, false); }
BENCHMARK(BM_SargeWholeFrame)->Unit(benchmark::kMicrosecond);
} // namespace
