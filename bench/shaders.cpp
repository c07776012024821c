// Parsing speed: every shader script of the real game archive, read into memory once and
// parsed into a fresh library on each iteration; and the whole start-up reading of every
// script of every archive of the game folder.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "shader/shadermgr.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{
// The bytes of every .shader file of the archive named by KEL_OA_BASE, or none.
std::vector<std::vector<unsigned char>> LoadScripts()
{
    std::vector<std::vector<unsigned char>> scripts;
    const char* base = getenv("KEL_OA_BASE");
    if (!base || !gFileMgr.MountZip((std::string(base) + "/pak0.pk3").c_str()))
        return scripts;
    std::vector<std::string> names;
    gFileMgr.Zips()[0]->list("scripts/*.shader", names);
    for (const std::string& name : names)
    {
        memfile_t file(("scripts/" + name).c_str(), "rb");
        if (file.data)
            scripts.emplace_back(file.data, file.data + file.size);
    }
    return scripts;
}

void BM_ParseArchiveScripts(benchmark::State& state)
{
    static const std::vector<std::vector<unsigned char>> scripts = LoadScripts();
    if (scripts.empty())
    {
        state.SkipWithError("set KEL_OA_BASE to the folder of pak0.pk3");
        return;
    }
    int64_t bytes = 0;
    for (auto _ : state)
    {
        gShaderMgr.Reset();
        gShaderMgr.Init();
        for (const std::vector<unsigned char>& script : scripts)
        {
            memfile_t file(script.data(), static_cast<uint32_t>(script.size()), "bench.shader", false);
            gShaderMgr.ParseScript(file);
            bytes += static_cast<int64_t>(script.size());
        }
        benchmark::DoNotOptimize(gShaderMgr.shaders.size());
    }
    state.SetBytesProcessed(bytes);
    state.counters["files"] = static_cast<double>(scripts.size());
    state.counters["shaders"] = static_cast<double>(gShaderMgr.shaders.size());
}
BENCHMARK(BM_ParseArchiveScripts)->Unit(benchmark::kMillisecond);

// Every script of every archive of the game folder (KEL_OA_GAME, else the installed OpenArena
// data), read out of the archives and parsed into a fresh library on each iteration, as the
// viewer does at start under the game look.
void BM_ParseAllScripts(benchmark::State& state)
{
    const char* env = getenv("KEL_OA_GAME");
    const std::string folder = env && *env ? env : "/usr/share/games/openarena/baseoa";
    gFileMgr.Reset();
    const int archives = gFileMgr.MountZipFolder(folder.c_str());
    if (archives == 0)
    {
        state.SkipWithError("set KEL_OA_GAME to a folder of .pk3 archives");
        return;
    }
    int scripts = 0;
    for (auto _ : state)
    {
        gShaderMgr.Reset();
        gShaderMgr.Init();
        scripts = gShaderMgr.ParseAllScripts();
        benchmark::DoNotOptimize(gShaderMgr.shaders.size());
    }
    state.counters["archives"] = archives;
    state.counters["files"] = scripts;
    state.counters["shaders"] = static_cast<double>(gShaderMgr.shaders.size());
    gShaderMgr.Reset();
    gFileMgr.Reset();
}
BENCHMARK(BM_ParseAllScripts)->Unit(benchmark::kMillisecond);
} // namespace
