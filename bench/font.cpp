// CPU time of one screen of overlay text (40 lines of 60 characters, one call a line) drawn
// with the font's single batch per call, against drawing each glyph as its own begin/end pair.
// Needs a display: xvfb-run -a env LP_NUM_THREADS=1 build-test/bench/bench_font. The glyph
// image is the shipped one from the source tree's base/ folder.
#include "text/font.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
const int W = 800, H = 600, LINES = 40, COLUMNS = 60;

// Lines like the overlay's: names, numbers, blanks, a tab and apostrophes (the other glyph set).
std::vector<std::string> ScreenText()
{
    std::vector<std::string> lines;
    for (int i = 0; i < LINES; i++)
    {
        char line[128];
        snprintf(line, sizeof line, "models/players/entry%02d\t: frames %4d tags 3 'skin' %-20s", i, i * 37,
                 "default.skin");
        lines.push_back(std::string(line).substr(0, COLUMNS));
    }
    return lines;
}

// The drawing as it was before the batch: the same state handling, one strip per glyph.
void PrintPerGlyph(cFont& font, int x, int y, const char* line)
{
    GLint viewport[4], polygonMode[2], blendSrc, blendDst;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    glGetIntegerv(GL_BLEND_SRC, &blendSrc);
    glGetIntegerv(GL_BLEND_DST, &blendDst);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    bool blendOff = !glIsEnabled(GL_BLEND), textureOff = !glIsEnabled(GL_TEXTURE_2D);
    bool depthOn = glIsEnabled(GL_DEPTH_TEST), lightingOn = glIsEnabled(GL_LIGHTING),
         fogOn = glIsEnabled(GL_FOG);
    if (blendOff)
        glEnable(GL_BLEND);
    if (textureOff)
        glEnable(GL_TEXTURE_2D);
    if (depthOn)
        glDisable(GL_DEPTH_TEST);
    if (lightingOn)
        glDisable(GL_LIGHTING);
    if (fogOn)
        glDisable(GL_FOG);
    glPushAttrib(GL_CURRENT_BIT);
    glColor3f(font.color[0], font.color[1], font.color[2]);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, font.texture);

    font.cursorX = x;
    font.cursorY = y;
    const int lineHeight = font.lineGap + font.glyphHeight, w = font.glyphWidth, h = font.glyphHeight;
    for (const char* p = line; *p; p++)
    {
        signed char c = (signed char)*p;
        switch (c)
        {
        case '\n':
        case '\a':
            font.cursorY += c == '\n' ? lineHeight : -lineHeight;
            font.cursorX = x;
            continue;
        case '\t':
            font.cursorX += font.tabWidth;
            continue;
        case ' ':
            font.cursorX = (int)(font.cursorX + w * 0.6666667f);
            continue;
        case '\'':
            font.altSet = font.altSet == 1 ? 0 : 1;
            continue;
        }
        const float* g = font.glyphs[(unsigned char)(c - 32 + 128 * font.altSet)];
        int bottom = viewport[3] - font.cursorY - h;
        glBegin(GL_TRIANGLE_STRIP);
        glTexCoord2f(g[0], g[1]);
        glVertex2i(font.cursorX, bottom);
        glTexCoord2f(g[2], g[3]);
        glVertex2i(font.cursorX + w, bottom);
        glTexCoord2f(g[4], g[5]);
        glVertex2i(font.cursorX, bottom + h);
        glTexCoord2f(g[6], g[7]);
        glVertex2i(font.cursorX + w, bottom + h);
        glEnd();
        font.cursorX = (int)(font.cursorX + w * 0.6666667f);
    }

    glPolygonMode(GL_FRONT_AND_BACK, polygonMode[0]);
    glBlendFunc(blendSrc, blendDst);
    if (blendOff)
        glDisable(GL_BLEND);
    if (textureOff)
        glDisable(GL_TEXTURE_2D);
    if (depthOn)
        glEnable(GL_DEPTH_TEST);
    if (lightingOn)
        glEnable(GL_LIGHTING);
    if (fogOn)
        glEnable(GL_FOG);
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

enum eWay
{
    BATCH,
    PER_GLYPH,
    CLEAR_ONLY // the frame without text, to tell the text's share
};

void DrawScreen(cFont& font, const std::vector<std::string>& lines, eWay way)
{
    glClear(GL_COLOR_BUFFER_BIT);
    font.altSet = 0;
    for (int i = 0; i < LINES && way != CLEAR_ONLY; i++)
    {
        if (way == BATCH)
            font.PrintAt(4, 4 + i * 14, "%s", lines[i].c_str());
        else
            PrintPerGlyph(font, 4, 4 + i * 14, lines[i].c_str());
    }
}

std::vector<unsigned char> ReadScreen()
{
    std::vector<unsigned char> pixels((size_t)W * H * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// The window, the shipped font and a check that both ways put the same pixels on screen;
// answers what went wrong, or nothing.
const char* SetUp(cFont& font)
{
    static const char* failure = nullptr;
    static bool done = false;
    if (done)
        return failure;
    done = true;
    std::string source = __FILE__;
    source.erase(source.rfind("/bench/"));
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !SDL_SetVideoMode(W, H, 0, SDL_OPENGL))
        return failure = "no GL window: run under a display (xvfb-run)";
    SDL_GL_SwapBuffers();
    glViewport(0, 0, W, H);
    glClearColor(0, 0, 0, 1);
    if (!font.Load((source + "/base/font_arial.tga").c_str(), 14, 12))
        return failure = "base/font_arial.tga did not load";
    const std::vector<std::string> lines = ScreenText();
    DrawScreen(font, lines, PER_GLYPH);
    std::vector<unsigned char> perGlyph = ReadScreen();
    DrawScreen(font, lines, BATCH);
    if (ReadScreen() != perGlyph)
        return failure = "the batch draws other pixels than one glyph at a time";
    return nullptr;
}

void DrawText(benchmark::State& state, eWay way)
{
    static cFont font;
    if (const char* failure = SetUp(font))
    {
        state.SkipWithError(failure);
        return;
    }
    const std::vector<std::string> lines = ScreenText();
    // With argument 1 every frame waits for its pixels, so the software renderer's late work is
    // counted in the frame; with 0 the driver is left to schedule (or drop, at the next clear)
    // the rasterising, so mostly the submission is timed.
    for (auto _ : state)
    {
        DrawScreen(font, lines, way);
        if (state.range(0))
            glFinish();
    }
    glFinish();
    state.counters["characters"] = way == CLEAR_ONLY ? 0 : LINES * COLUMNS;
}
} // namespace

// Each way twice: the CPU time of the whole process (with the renderer's own threads), and
// that of the drawing thread alone (what the frame loop itself spends).
BENCHMARK_CAPTURE(DrawText, batch, BATCH)->Arg(1)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DrawText, per_glyph, PER_GLYPH)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DrawText, clear_only, CLEAR_ONLY)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(DrawText, batch, BATCH)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DrawText, per_glyph, PER_GLYPH)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
