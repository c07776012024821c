// The performance check: the real viewer, in-process with the shipped settings on the installed
// game data, runs its own frame loop and reports what a frame costs and what the process holds.
//   perfcheck overlay [frames] [game folder]: process CPU per frame (user + system) over the
//       frames, with the full overlay (lists, statistics) and with the text hidden, and the ratio
//   perfcheck memory [game folder]: resident memory after the first frame, then after one frame
//       of every player in turn (the first frame of each loads its model and textures)
// Run under a display with the software renderer (scripts/perf-check.sh uses xvfb-run); the
// font and console images come from KEL_BASE, else base/ under the current folder.
#include "model/modelq3.h"
#include "tools/toolconfig.h"
#include "viewer/viewerapp.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>
#include <unistd.h>

namespace
{
const int WIDTH = 1024, HEIGHT = 768;

double ProcessCpuSeconds()
{
    rusage use;
    getrusage(RUSAGE_SELF, &use);
    return use.ru_utime.tv_sec + use.ru_stime.tv_sec + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

// A line of /proc/self/status in megabytes (VmRSS: resident now, VmHWM: the peak).
double StatusMegabytes(const char* key)
{
    FILE* f = fopen("/proc/self/status", "r");
    if (!f)
        return 0;
    char line[256];
    double mb = 0;
    const size_t len = strlen(key);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, key, len) == 0 && line[len] == ':')
            mb = atof(line + len + 1) / 1024.0;
    fclose(f);
    return mb;
}

// The viewer whose frame loop runs a script: each frame first calls the step, which answers
// false to end the loop after that frame.
class cScriptedViewer : public ViewerApp
{
  public:
    void PreFrame() override
    {
        if (!step || !step(frame++))
        {
            SDL_Event quit = {};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
    }
    void RunFrames(const std::function<bool(int)>& script)
    {
        step = script;
        frame = 0;
        Run();
    }

  private:
    std::function<bool(int)> step;
    int frame = 0;
};

cScriptedViewer viewer;

// CPU seconds per frame over frames frames drawn after a warm-up of 30.
double CpuPerFrame(int frames)
{
    const int warmUp = 30;
    double start = 0;
    viewer.RunFrames(
        [&](int f)
        {
            if (f == warmUp)
                start = ProcessCpuSeconds();
            return f < warmUp + frames;
        });
    return (ProcessCpuSeconds() - start) / frames;
}

// The middle value of a few (the machine may be shared: rounds that a neighbour slowed down
// fall to one side).
double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int Overlay(int frames)
{
    const int ROUNDS = 7;
    printf(
        "%d frames of %dx%d in %d rounds each way, player %s with its weapon, 30 frames of warm-up a round\n",
        frames, WIDTH, HEIGHT, ROUNDS, viewer.CurrentModel()->name.c_str());
    std::vector<double> shown, hidden;
    // Alternating rounds, so that a neighbour's load on the machine falls on both.
    for (int round = 0; round < ROUNDS; round++)
    {
        viewer.showText = true;
        shown.push_back(CpuPerFrame(frames / ROUNDS));
        viewer.showText = false;
        hidden.push_back(CpuPerFrame(frames / ROUNDS));
    }
    const double s = Median(shown), h = Median(hidden);
    printf("CPU per frame with the overlay: %.3f ms (median of the rounds)\n", s * 1000);
    printf("CPU per frame with the text hidden: %.3f ms\n", h * 1000);
    printf("ratio: %.3f\n", s / h);
    const sOverlayText& text = viewer.overlayText;
    printf("text blocks (rate, statistics, lists): prints laid out %ld, %ld, %ld; textures drawn %ld, %ld, "
           "%ld\n",
           text.rate.layouts, text.stats.layouts, text.lists.layouts, text.rate.textureBuilds,
           text.stats.textureBuilds, text.lists.textureBuilds);
    return 0;
}

int Memory()
{
    viewer.RunFrames([](int f) { return f < 1; });
    printf("after the first frame: RSS %.1f MB\n", StatusMegabytes("VmRSS"));
    const int players = static_cast<int>(viewer.players.size());
    viewer.RunFrames(
        [&](int f)
        {
            if (f < players)
                viewer.SelectModel(f);
            return f < players;
        });
    int loaded = 0;
    for (const auto& player : viewer.players)
    {
        loaded += player->IsLoaded();
        if (!player->IsLoaded())
            printf("  not loaded: %s: %s\n", player->name.c_str(), player->loadError.c_str());
    }
    printf("after a frame of each of %d players (%d loaded): RSS %.1f MB, peak %.1f MB\n", players, loaded,
           StatusMegabytes("VmRSS"), StatusMegabytes("VmHWM"));
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool overlay = mode == "overlay";
    if (!overlay && mode != "memory")
        return fprintf(stderr, "usage: perfcheck overlay [frames] [game folder] | memory [game folder]\n"), 2;
    const int frames = overlay && argc > 2 ? atoi(argv[2]) : 700;
    const int gameArg = overlay ? 3 : 2;
    const std::string game = argc > gameArg ? argv[gameArg] : "/usr/share/games/openarena/baseoa";
    const char* source = getenv("KEL_BASE");
    const std::string base = source ? source : "base";
    char here[4096];
    const size_t slash = game.find_last_of('/');
    if (frames < 14 || slash == std::string::npos || !getcwd(here, sizeof here))
        return fprintf(stderr, "perfcheck: bad arguments\n"), 2;
    char dir[] = "/tmp/kel-perfcheck.XXXXXX";
    if (!mkdtemp(dir))
        return fprintf(stderr, "perfcheck: cannot make a working folder\n"), 2;
    for (const char* file : {"font_arial.tga", "console.tga", "convars.cfg"})
    {
        const std::string from = (base[0] == '/' ? base : std::string(here) + "/" + base) + "/" + file;
        if (symlink(from.c_str(), (std::string(dir) + "/" + file).c_str()) != 0)
            return fprintf(stderr, "perfcheck: cannot link %s\n", from.c_str()), 2;
    }
    if (chdir(dir) != 0)
        return 2;
    if (!WriteToolConfig(game, WIDTH, HEIGHT, "fontfile = font_arial.tga\nfontwidth = 14\nfontheight = 12\n"))
        return 2;
    if (!viewer.Init("app.cfg") || !viewer.CurrentModel())
        return fprintf(stderr, "perfcheck: the viewer did not start on %s (see %s)\n", game.c_str(), dir), 2;
    const int status = overlay ? Overlay(frames) : Memory();
    viewer.ClearModels();
    viewer.Shutdown();
    for (const char* file :
         {"font_arial.tga", "console.tga", "convars.cfg", "app.cfg", "kelDebug.txt", "kelLog.txt"})
        unlink(file);
    if (chdir(here) == 0)
        rmdir(dir);
    return status;
}
