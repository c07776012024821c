// What the overlay's text costs the software renderer per frame, drawn three ways: each print at
// once (two small blended triangles a glyph, one draw a print), the glyphs of each text block as
// one vertex array, and the text blocks from their textures (one quad a block, its steady text
// drawn into it once). Process CPU (every thread of the driver) per frame of clear + text +
// finish; the frame with the clear alone tells the text's share. The block ways also count the
// pixels that differ from the prints' over a lit background (there should be none).
//   xvfb-run -a -s "-screen 0 1280x1024x24" env LP_NUM_THREADS=1 build-test/bench/bench_overlayfill
#include "text/font.h"
#include "text/textblock.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace
{
const int W = 1024, H = 768;

enum eWay
{
    CLEAR_ONLY,
    PRINTS,
    BLOCK_GLYPHS,
    BLOCK_TEXTURES
};

double ProcessCpu()
{
    rusage use;
    getrusage(RUSAGE_SELF, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

// The overlay's two big blocks as the viewer fills them: 22 players and 14 weapons at (0, 30),
// 30 lines of statistics at (700, 20), in the list colours.
struct sOverlay
{
    cFont font;
    cTextBlock lists, stats;

    void Draw(eWay way)
    {
        lists.textured = stats.textured = way == BLOCK_TEXTURES;
        const bool blocks = way != PRINTS;
        char text[128];
        if (blocks)
            lists.Begin(font);
        for (int i = 0; i < 36; i++)
        {
            const float grey = i % 5 == 1 ? 0.7f : 1.0f;
            font.color[0] = i == 3 ? 0.0f : grey, font.color[1] = grey, font.color[2] = i == 3 ? 0.0f : grey;
            snprintf(text, sizeof text, i < 22 ? "models/players/player%02d" : "models/weapons2/gun%02d", i);
            font.PrintAt(0, 30 + 13 * i, "%s", text);
        }
        font.color[0] = font.color[1] = font.color[2] = 1.0f;
        if (blocks)
            lists.End(font), stats.Begin(font);
        for (int i = 0; i < 30; i++)
            font.PrintAt(700, 20 + 13 * i, "UPPER [HOME|END ] -> TORSO_%02d Frame %d", i, i * 7);
        if (blocks)
            stats.End(font);
    }
};

struct sScene
{
    sOverlay overlay;
    const char* failure = nullptr;
    long differing[BLOCK_TEXTURES + 1] = {}; // pixels unlike those of the prints
};

void DrawFrame(sScene& scene, eWay way)
{
    glClear(GL_COLOR_BUFFER_BIT);
    if (way != CLEAR_ONLY)
        scene.overlay.Draw(way);
    glFinish();
}

std::vector<unsigned char> ReadScreen()
{
    std::vector<unsigned char> pixels(static_cast<size_t>(W) * H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

long Differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    long n = 0;
    for (size_t i = 0; i < a.size(); i += 3)
        n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    return n;
}

// The window, the shipped font, and the pixels of each block way against the prints over a
// grey background, once the blocks' text is steady.
sScene& Scene()
{
    static sScene scene;
    static bool done = false;
    if (done)
        return scene;
    done = true;
    std::string source = __FILE__;
    source.erase(source.rfind("/bench/"));
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !SDL_SetVideoMode(W, H, 0, SDL_OPENGL))
        return scene.failure = "no GL window: run under a display (xvfb-run)", scene;
    SDL_GL_SwapBuffers();
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, W, 0, H, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (!scene.overlay.font.Load((source + "/base/font_arial.tga").c_str(), 14, 12))
        return scene.failure = "base/font_arial.tga did not load", scene;
    glClearColor(0.3f, 0.4f, 0.5f, 1);
    DrawFrame(scene, PRINTS);
    const std::vector<unsigned char> prints = ReadScreen();
    for (eWay way : {BLOCK_GLYPHS, BLOCK_TEXTURES})
    {
        for (int i = 0; i <= TEXT_BLOCK_STEADY_FRAMES; i++)
            DrawFrame(scene, way);
        scene.differing[way] = Differing(prints, ReadScreen());
    }
    if (scene.overlay.lists.texturePrints == 0)
        scene.failure = "the blocks were not drawn from textures";
    return scene;
}

void BM_OverlayText(benchmark::State& state)
{
    sScene& scene = Scene();
    if (scene.failure)
    {
        state.SkipWithError(scene.failure);
        return;
    }
    const eWay way = static_cast<eWay>(state.range(0));
    for (auto _ : state)
    {
        const double start = ProcessCpu();
        DrawFrame(scene, way);
        state.SetIterationTime(ProcessCpu() - start);
    }
    if (way >= BLOCK_GLYPHS)
        state.counters["differingPixels"] = static_cast<double>(scene.differing[way]);
    state.counters["glyphVertices"] =
        static_cast<double>(scene.overlay.lists.VertexCount() + scene.overlay.stats.VertexCount());
}
BENCHMARK(BM_OverlayText)
    ->ArgName("clear0_prints1_blockglyphs2_blocktextures3")
    ->DenseRange(0, BLOCK_TEXTURES)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);
} // namespace
