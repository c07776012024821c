// What the overlay's text costs the software renderer per frame, drawn several ways: each
// print at once (two small blended triangles a glyph, one draw a print), the glyphs of each
// text block as one vertex array, and the same text from a texture made once, as one quad a
// block (its bounding box), one quad a line, or one quad a run of 4 x 4 pixel cells that hold
// text. Process CPU (every thread of the driver) per frame of clear + text + finish; the frame
// with the clear alone tells the text's share. Every way counts the pixels that differ from the
// prints' over a lit background.
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
// Texture of the cached text: the two blocks side by side fit in it.
const int TEX_W = 1024, TEX_H = 1024;

struct sLine
{
    int x, y, width;
};

enum eWay
{
    CLEAR_ONLY,
    PRINTS,
    GLYPHS,
    BLOCK_TEXTURE,
    LINE_TEXTURE,
    CELL_TEXTURE
};
const int CELL = 4;

double ProcessCpu()
{
    rusage use;
    getrusage(RUSAGE_SELF, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

// The overlay's two big blocks as the viewer fills them: 21 players and 12 weapons at (0, 30),
// about 30 lines of statistics at (700, 20).
struct sOverlay
{
    cFont font;
    cTextBlock lists, stats;
    std::vector<sLine> lines; // where each line's glyphs lie, window pixels from the top

    void Print(int x, int y, const char* text)
    {
        font.PrintAt(x, y, "%s", text);
        lines.push_back({x, y, font.cursorX - x + font.glyphWidth});
    }
    // With blocks the glyphs are drawn at each block's end; without, at each print.
    void Draw(bool blocks)
    {
        lines.clear();
        if (blocks)
            lists.Begin(font);
        char text[128];
        for (int i = 0; i < 36; i++)
        {
            snprintf(text, sizeof text, i < 22 ? "models/players/player%02d" : "models/weapons2/gun%02d", i);
            Print(0, 30 + 13 * i, text);
        }
        if (blocks)
            lists.End(font), stats.Begin(font);
        for (int i = 0; i < 30; i++)
        {
            snprintf(text, sizeof text, "UPPER [HOME|END ] -> TORSO_%02d Frame %d", i, i * 7);
            Print(700, 20 + 13 * i, text);
        }
        if (blocks)
            stats.End(font);
    }
};

struct sScene
{
    sOverlay overlay;
    GLuint texture = 0;
    const char* failure = nullptr;
    long differing[CELL_TEXTURE + 1] = {}; // pixels unlike those of the prints
    std::vector<sLine> runs;               // x, y from the top, width; CELL rows high
    long litCells = 0, boxCells = 0;
};

void SetUp2D()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, W, 0, H, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Texture pixels of a window rectangle (x, y from the top), drawn 1:1 added to the frame.
void AddQuad(int x, int y, int w, int h)
{
    const float s0 = static_cast<float>(x) / TEX_W, s1 = static_cast<float>(x + w) / TEX_W;
    const float t0 = static_cast<float>(H - y - h) / TEX_H, t1 = static_cast<float>(H - y) / TEX_H;
    glTexCoord2f(s0, t0), glVertex2i(x, H - y - h);
    glTexCoord2f(s1, t0), glVertex2i(x + w, H - y - h);
    glTexCoord2f(s1, t1), glVertex2i(x + w, H - y);
    glTexCoord2f(s0, t1), glVertex2i(x, H - y);
}

void DrawFrame(sScene& scene, eWay way)
{
    glClear(GL_COLOR_BUFFER_BIT);
    if (way == PRINTS || way == GLYPHS)
        scene.overlay.Draw(way == GLYPHS);
    else if (way != CLEAR_ONLY)
    {
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glBindTexture(GL_TEXTURE_2D, scene.texture);
        glColor3f(1, 1, 1);
        glBegin(GL_QUADS);
        if (way == BLOCK_TEXTURE)
        {
            AddQuad(0, 30, 320, 36 * 13);
            AddQuad(700, 20, 324, 30 * 13);
        }
        else if (way == LINE_TEXTURE)
            for (const sLine& l : scene.overlay.lines)
                AddQuad(l.x, l.y, l.width, 13);
        else
            for (const sLine& r : scene.runs)
                AddQuad(r.x, r.y, r.width, CELL);
        glEnd();
        glDisable(GL_BLEND);
    }
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

// The window, the shipped font, the text copied into a texture from a black frame, and the
// pixels of each texture way against the glyphs over a grey background.
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
    SetUp2D();
    if (!scene.overlay.font.Load((source + "/base/font_arial.tga").c_str(), 14, 12))
        return scene.failure = "base/font_arial.tga did not load", scene;
    glClearColor(0, 0, 0, 1);
    DrawFrame(scene, GLYPHS);
    glGenTextures(1, &scene.texture);
    glBindTexture(GL_TEXTURE_2D, scene.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    {
        std::vector<unsigned char> rgb = ReadScreen(), rgba(TEX_W * TEX_H * 4, 0);
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                for (int c = 0; c < 3; c++)
                    rgba[(y * TEX_W + x) * 4 + c] = rgb[(y * W + x) * 3 + c];
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, TEX_W, TEX_H, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        for (int cy = 0; cy < H / CELL; cy++)
        {
            int runStart = -1;
            for (int cx = 0; cx <= W / CELL; cx++)
            {
                bool lit = false;
                for (int y = 0; y < CELL && cx < W / CELL; y++)
                    for (int x = 0; x < CELL; x++)
                    {
                        const unsigned char* p = &rgb[((H - 1 - (cy * CELL + y)) * W + cx * CELL + x) * 3];
                        lit |= p[0] || p[1] || p[2];
                    }
                scene.litCells += lit;
                if (lit && runStart < 0)
                    runStart = cx;
                if (!lit && runStart >= 0)
                {
                    scene.runs.push_back({runStart * CELL, cy * CELL, (cx - runStart) * CELL});
                    runStart = -1;
                }
            }
        }
    }
    glClearColor(0.3f, 0.4f, 0.5f, 1);
    DrawFrame(scene, PRINTS);
    const std::vector<unsigned char> prints = ReadScreen();
    for (eWay way : {GLYPHS, BLOCK_TEXTURE, LINE_TEXTURE, CELL_TEXTURE})
    {
        DrawFrame(scene, way);
        scene.differing[way] = Differing(prints, ReadScreen());
    }
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
    state.counters["litCells"] = scene.litCells;
    state.counters["runs"] = scene.runs.size();
    if (way >= GLYPHS)
        state.counters["differingPixels"] = static_cast<double>(scene.differing[way]);
    state.counters["glyphVertices"] =
        static_cast<double>(scene.overlay.lists.VertexCount() + scene.overlay.stats.VertexCount());
}
BENCHMARK(BM_OverlayText)
    ->ArgName("clear0_prints1_blocks2_blocktex3_linetex4_celltex5")
    ->DenseRange(0, CELL_TEXTURE)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);
} // namespace
