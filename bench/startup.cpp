// The viewer's data start-up without a window, as OnInit does it: every archive of the game
// folder mounted, shader scripts parsed, the player and weapon folders listed, the first
// player and weapon loaded. Measured with gamelook 0 (scripts/models.shader alone) and 1 (every
// script of every archive, read on a thread of their own meanwhile) side by side; the game
// folder is KEL_OA_GAME, else the installed OpenArena data.
#include "console/console.h"
#include "fs/filemgr.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "viewer/viewerapp.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string GameFolder()
{
    const char* env = getenv("KEL_OA_GAME");
    return env && *env ? env : "/usr/share/games/openarena/baseoa";
}

// Every global the start-up fills, emptied as at program start.
void ResetAll()
{
    gRessMgr.Reset();
    gFileMgr.Reset();
    gShaderMgr.Reset();
    gShaderMgr.Init();
    gConsole.Reset();
    gConsole.Init();
}

// A working folder of its own with an app.cfg for the game folder, removed afterwards.
class cStartupFolder
{
  public:
    explicit cStartupFolder(int gameLook)
    {
        char pattern[] = "/tmp/kel-startup.XXXXXX";
        if (!mkdtemp(pattern) || !getcwd(oldDir, sizeof oldDir))
            return;
        dir = pattern;
        const std::string game = GameFolder();
        const size_t slash = game.find_last_of('/');
        FILE* f = fopen((dir + "/app.cfg").c_str(), "w");
        if (!f || slash == std::string::npos)
        {
            if (f)
                fclose(f);
            return;
        }
        fprintf(f, "q3apath = %s\nq3game = %s\nmountall = 1\ngamelook = %d\n", game.substr(0, slash).c_str(),
                game.substr(slash + 1).c_str(), gameLook);
        fclose(f);
        ok = chdir(dir.c_str()) == 0;
    }
    ~cStartupFolder()
    {
        if (ok && chdir(oldDir) == 0)
            remove((dir + "/app.cfg").c_str());
        if (!dir.empty())
            rmdir(dir.c_str());
    }
    bool ok = false;

  private:
    std::string dir;
    char oldDir[4096] = {};
};

void BM_Startup(benchmark::State& state)
{
    const int gameLook = static_cast<int>(state.range(0));
    cStartupFolder folder(gameLook);
    if (!folder.ok)
    {
        state.SkipWithError("cannot write the settings folder");
        return;
    }
    size_t players = 0, shaders = 0;
    bool loaded = false;
    for (auto _ : state)
    {
        ResetAll();
        ViewerApp viewer;
        viewer.OnInit();
        // The scripts are read beside the model loading; the first frame waits for them.
        gShaderMgr.Settle();
        players = viewer.players.size();
        shaders = gShaderMgr.shaders.size();
        loaded = viewer.CurrentModel() && viewer.CurrentModel()->IsLoaded();
    }
    if (!loaded)
        state.SkipWithError("no player loaded: set KEL_OA_GAME to a game folder of .pk3 archives");
    state.counters["archives"] = static_cast<double>(gFileMgr.Zips().size());
    state.counters["players"] = static_cast<double>(players);
    state.counters["shaders"] = static_cast<double>(shaders);
    ResetAll();
    gGameLook = false;
}
// Time: from start to the end of the script reading (wall clock); CPU: every thread of the process.
BENCHMARK(BM_Startup)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
} // namespace
