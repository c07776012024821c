// Timing of the file layer on the real game archive: mounting, and finding and reading every
// member through a fresh file manager, beside a baseline that reads the archive in one go and
// inflates each member with one zlib call.
#include "fs/filemgr.h"
#include "fs/zipfile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <zlib.h>

namespace
{
std::string ArchivePath()
{
    const char* base = getenv("KEL_OA_BASE");
    std::string folder = base && *base ? base : "data/openarena/usr/share/games/openarena/baseoa";
    return folder + "/pak0.pk3";
}

bool Exists(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (f)
        fclose(f);
    return f != nullptr;
}

uint32_t Le(const unsigned char* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = (v << 8) | p[i];
    return v;
}

// The names of every member with data, in archive order.
std::vector<std::string> MemberNames(const std::string& path)
{
    cZipFile zip;
    std::vector<std::string> names;
    if (zip.open(path.c_str(), true))
        for (const ZipEntry& e : zip.Entries())
            names.push_back(e.name);
    return names;
}

void BM_Mount(benchmark::State& state)
{
    std::string path = ArchivePath();
    if (!Exists(path))
        return state.SkipWithError("pak0.pk3 not found (set KEL_OA_BASE)");
    int entries = 0;
    for (auto _ : state)
    {
        cZipFile zip;
        benchmark::DoNotOptimize(zip.open(path.c_str(), false));
        entries = zip.numEntries();
    }
    state.counters["entries"] = entries;
}

void BM_FileMgrReadAll(benchmark::State& state)
{
    std::string path = ArchivePath();
    if (!Exists(path))
        return state.SkipWithError("pak0.pk3 not found (set KEL_OA_BASE)");
    std::vector<std::string> names = MemberNames(path);
    int64_t bytes = 0;
    for (auto _ : state)
    {
        FileMgr mgr;
        mgr.MountZip(path.c_str());
        for (const std::string& name : names)
        {
            FileEntry* entry = mgr.find(name.c_str(), "rb");
            if (!entry)
                return state.SkipWithError(("not found: " + name).c_str());
            bytes += entry->size;
        }
    }
    state.SetBytesProcessed(bytes);
}

// Reads the archive whole, walks its central directory and inflates every member in memory.
void BM_BaselineReadAll(benchmark::State& state)
{
    std::string path = ArchivePath();
    if (!Exists(path))
        return state.SkipWithError("pak0.pk3 not found (set KEL_OA_BASE)");
    int64_t bytes = 0;
    for (auto _ : state)
    {
        FILE* f = fopen(path.c_str(), "rb");
        fseek(f, 0, SEEK_END);
        std::vector<unsigned char> zip(static_cast<size_t>(ftell(f)));
        fseek(f, 0, SEEK_SET);
        size_t got = fread(zip.data(), 1, zip.size(), f);
        fclose(f);
        if (got != zip.size())
            return state.SkipWithError("short read");
        const unsigned char* end = zip.data() + zip.size() - 22;
        size_t pos = Le(end + 16, 4);
        for (uint32_t i = 0, n = Le(end + 8, 2); i < n; i++)
        {
            const unsigned char* rec = zip.data() + pos;
            uint32_t compressed = Le(rec + 20, 4), size = Le(rec + 24, 4);
            const unsigned char* local = zip.data() + Le(rec + 42, 4);
            pos += 46 + Le(rec + 28, 2) + Le(rec + 30, 2) + Le(rec + 32, 2);
            if (size == 0)
                continue;
            const unsigned char* data = local + 30 + Le(local + 26, 2) + Le(local + 28, 2);
            std::unique_ptr<unsigned char[]> out(new unsigned char[size]);
            if (Le(local + 8, 2) == 0)
                memcpy(out.get(), data, size);
            else
            {
                z_stream zs = {};
                zs.next_in = const_cast<unsigned char*>(data);
                zs.avail_in = compressed + 1;
                zs.next_out = out.get();
                zs.avail_out = size;
                inflateInit2(&zs, -MAX_WBITS);
                if (inflate(&zs, Z_FINISH) != Z_STREAM_END)
                    return state.SkipWithError("inflate failed");
                inflateEnd(&zs);
            }
            benchmark::DoNotOptimize(out.get());
            bytes += size;
        }
    }
    state.SetBytesProcessed(bytes);
}
} // namespace

BENCHMARK(BM_Mount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineReadAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileMgrReadAll)->Unit(benchmark::kMillisecond);
