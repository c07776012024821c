// Model loading and drawing costs on the real game archive:
// - every .md3 loaded through the model cache, with fresh caches each time, beside a baseline
//   that reads the same files and only decodes the headers and every frame's vertices;
// - the same loads with pak0 alone and with every archive of the game folder mounted, since a
//   member lookup must not cost more with more archives;
// - one player's three parts blended per frame, without GL (the drawer only counts), beside a
//   baseline that blends the same frames from floats decoded beforehand, as the models kept
//   them before their frames stayed packed.
#include "fs/filemgr.h"
#include "fs/zipfile.h"
#include "model/drawer.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace
{
std::string ArchivePath()
{
    const char* base = getenv("KEL_OA_BASE");
    std::string folder = base && *base ? base : "data/openarena/usr/share/games/openarena/baseoa";
    return folder + "/pak0.pk3";
}

// Mounts the archive into an empty file manager and answers its .md3 members.
bool Mount(std::vector<std::string>* paths)
{
    gFileMgr.Reset();
    if (!gFileMgr.MountZip(ArchivePath().c_str()))
        return false;
    if (paths)
    {
        paths->clear();
        for (const ZipEntry& e : gFileMgr.Zips()[0]->Entries())
            if (e.name.size() > 4 && strcasecmp(e.name.c_str() + e.name.size() - 4, ".md3") == 0)
                paths->push_back(e.name);
    }
    return true;
}

int32_t Int(const unsigned char* p)
{
    int32_t v;
    memcpy(&v, p, 4);
    return v;
}

// Reads the headers and turns every vertex of every frame into floats, nothing more.
size_t DecodeVertices(const FileEntry* e, std::vector<float>& out)
{
    const unsigned char* d = e->data.get();
    const int32_t frames = Int(d + 76);
    int64_t surf = Int(d + 100);
    size_t count = 0;
    for (int32_t s = 0, n = Int(d + 84); s < n; s++)
    {
        const unsigned char* h = d + surf;
        const size_t verts = static_cast<size_t>(Int(h + 80)) * frames;
        const unsigned char* v = h + Int(h + 100);
        out.resize(verts * 3);
        for (size_t i = 0; i < verts; i++, v += 8)
            for (int k = 0; k < 3; k++)
            {
                int16_t x;
                memcpy(&x, v + k * 2, 2);
                out[i * 3 + k] = x * 0.015625f;
            }
        count += verts;
        surf += Int(h + 104);
    }
    return count;
}

void BM_LoadAllThroughCache(benchmark::State& state)
{
    std::vector<std::string> paths;
    if (!Mount(&paths))
        return state.SkipWithError("the real archive is not there");
    for (auto _ : state)
    {
        state.PauseTiming();
        gRessMgr.Reset();
        Mount(nullptr);
        state.ResumeTiming();
        for (const std::string& p : paths)
            benchmark::DoNotOptimize(gRessMgr.Load(p.c_str()));
    }
    state.counters["models"] = static_cast<double>(paths.size());
    gRessMgr.Reset();
}
BENCHMARK(BM_LoadAllThroughCache)->Unit(benchmark::kMillisecond);

void BM_LoadAllBaseline(benchmark::State& state)
{
    std::vector<std::string> paths;
    if (!Mount(&paths))
        return state.SkipWithError("the real archive is not there");
    std::vector<float> scratch;
    for (auto _ : state)
    {
        state.PauseTiming();
        Mount(nullptr);
        state.ResumeTiming();
        for (const std::string& p : paths)
        {
            FileEntry* e = gFileMgr.find(p.c_str(), "rb");
            benchmark::DoNotOptimize(DecodeVertices(e, scratch));
        }
    }
}
BENCHMARK(BM_LoadAllBaseline)->Unit(benchmark::kMillisecond);

// The installed game folder with every archive; KEL_OA_GAME names another.
std::string GameFolder()
{
    const char* game = getenv("KEL_OA_GAME");
    return game && *game ? game : "/usr/share/games/openarena/baseoa";
}

// Every .md3 of pak0 through the model cache, with pak0 alone mounted (argument 1) or every
// archive of the game folder (argument 8, pak0 searched last). Archives are mounted once; each
// round starts with empty caches.
void BM_LoadPak0ModelsMounted(benchmark::State& state)
{
    const std::string folder = GameFolder();
    gFileMgr.Reset();
    if (!gFileMgr.MountZip((folder + "/pak0.pk3").c_str()))
        return state.SkipWithError("the game folder is not there (set KEL_OA_GAME)");
    std::vector<std::string> paths;
    for (const ZipEntry& e : gFileMgr.Zips()[0]->Entries())
        if (e.name.size() > 4 && strcasecmp(e.name.c_str() + e.name.size() - 4, ".md3") == 0)
            paths.push_back(e.name);
    if (state.range(0) > 1)
    {
        gFileMgr.Reset();
        if (gFileMgr.MountZipFolder(folder.c_str()) < state.range(0))
            return state.SkipWithError("the game folder does not hold every archive");
    }
    for (auto _ : state)
    {
        state.PauseTiming();
        gRessMgr.Reset();
        for (const std::string& p : paths)
            gFileMgr.Release(p.c_str());
        state.ResumeTiming();
        for (const std::string& p : paths)
            benchmark::DoNotOptimize(gRessMgr.Load(p.c_str()));
    }
    state.counters["archives"] = static_cast<double>(gFileMgr.Zips().size());
    state.counters["models"] = static_cast<double>(paths.size());
    gRessMgr.Reset();
    gFileMgr.Reset();
}
BENCHMARK(BM_LoadPak0ModelsMounted)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

class cCountingDrawer : public cModelDrawer
{
  public:
    void DrawSurface(const sMd3Surface&, const char*, const float* xyz, const float*) override
    {
        benchmark::DoNotOptimize(xyz);
        surfaces++;
    }
    void PushTransform(const float*) override {}
    void PopTransform() override {}
    int surfaces = 0;
};

// Every frame of a model decoded to floats, per surface: positions and normals, 3 per vertex.
struct sFloatFrames
{
    std::vector<std::vector<float>> xyz, normals;
};

sFloatFrames DecodeFloats(const cMd3& model)
{
    sFloatFrames out;
    for (const sMd3Surface& s : model.surfaces)
    {
        out.xyz.emplace_back(s.xyz.size());
        out.normals.emplace_back(s.normals.size());
        for (size_t i = 0; i < s.xyz.size(); i++)
        {
            out.xyz.back()[i] = s.xyz[i];
            out.normals.back()[i] = s.normals[i];
        }
    }
    return out;
}

float floatXyz[MD3_MAX_VERTS * 3], floatNormals[MD3_MAX_VERTS * 3];

// cMd3::Render with the blend of float frames.
void RenderFloats(const cMd3& model, const sFloatFrames& floats, uint32_t current, uint32_t next, float f)
{
    cModelDrawer& drawer = ModelDrawer();
    for (size_t s = 0; s < model.surfaces.size(); s++)
    {
        const sMd3Surface& surface = model.surfaces[s];
        char shaderName[MD3_NAME_SIZE];
        if (!model.PickSurfaceShader(surface, drawer, shaderName))
            continue;
        const size_t verts = surface.numVerts;
        const float* xyzA = &floats.xyz[s][current * verts * 3];
        const float* xyzB = &floats.xyz[s][next * verts * 3];
        const float* nA = &floats.normals[s][current * verts * 3];
        const float* nB = &floats.normals[s][next * verts * 3];
        const float g = 1.0f - f;
        for (uint32_t i = 0; i < surface.numIndices; i++)
        {
            size_t v = surface.indices[i] * 3;
            for (int k = 0; k < 3; k++)
            {
                floatNormals[v + k] = g * nA[v + k] + f * nB[v + k];
                floatXyz[v + k] = g * xyzA[v + k] + f * xyzB[v + k];
            }
        }
        drawer.DrawSurface(surface, shaderName, floatXyz, floatNormals);
    }
}

// Sarge's legs and torso at their own frames, the head at frame 0, all half-way, drawn by
// draw(model, its float frames, current, next).
template <class Draw> void RenderPlayerFrames(benchmark::State& state, Draw draw)
{
    if (!Mount(nullptr))
        return state.SkipWithError("the real archive is not there");
    cModelQ3 sarge;
    if (!sarge.Load("models/players/sarge"))
        return state.SkipWithError("sarge does not load");
    cMd3* parts[3] = {sarge.lower, sarge.upper, sarge.head};
    sFloatFrames floats[3] = {DecodeFloats(*parts[0]), DecodeFloats(*parts[1]), DecodeFloats(*parts[2])};
    cCountingDrawer counter;
    SetModelDrawer(&counter);
    uint32_t frame = 0;
    for (auto _ : state)
    {
        for (int p = 0; p < 3; p++)
        {
            const uint32_t frames = parts[p]->numFrames;
            const uint32_t current = p == 2 ? 0 : frame % frames;
            draw(*parts[p], floats[p], current, p == 2 ? 0 : (current + 1) % frames);
        }
        frame++;
    }
    SetModelDrawer(nullptr);
    int verts = 0;
    for (cMd3* part : parts)
        for (const sMd3Surface& s : part->surfaces)
            verts += s.numVerts;
    state.counters["verts"] = verts;
    state.counters["surfaces/frame"] =
        benchmark::Counter(counter.surfaces, benchmark::Counter::kAvgIterations);
}

void BM_RenderPlayerFrame(benchmark::State& state)
{
    RenderPlayerFrames(state, [](cMd3& model, const sFloatFrames&, uint32_t current, uint32_t next)
                       { model.Render(current, next, 0.5f); });
}
BENCHMARK(BM_RenderPlayerFrame)->Unit(benchmark::kMicrosecond);

void BM_RenderPlayerFrameFloatBaseline(benchmark::State& state)
{
    RenderPlayerFrames(state, [](cMd3& model, const sFloatFrames& floats, uint32_t current, uint32_t next)
                       { RenderFloats(model, floats, current, next, 0.5f); });
}
BENCHMARK(BM_RenderPlayerFrameFloatBaseline)->Unit(benchmark::kMicrosecond);
} // namespace
