// Decoding speed over every TGA and JPEG image of the real game archive, and beside it a plain
// library decode of the same JPEGs as the yardstick for cImage. The archive's folder comes from
// KEL_OA_BASE (set by the test script); without it the benchmark is skipped.
#include "fs/zipfile.h"
#include "image/image.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <strings.h>
#include <vector>

#include <jpeglib.h>

namespace
{
struct sMember
{
    std::string name;
    std::vector<unsigned char> data;
};

// The TGA and JPEG members of the archive, read once.
const std::vector<sMember>& Members()
{
    static std::vector<sMember> members;
    static bool loaded = false;
    if (loaded)
        return members;
    loaded = true;
    const char* base = getenv("KEL_OA_BASE");
    cZipFile zip;
    if (!base || !zip.open((std::string(base) + "/pak0.pk3").c_str(), true))
        return members;
    for (int i = 0; i < zip.numEntries(); i++)
    {
        const ZipEntry& entry = zip.Entries()[i];
        const char* ext = entry.name.size() > 4 ? entry.name.c_str() + entry.name.size() - 4 : "";
        if (strcasecmp(ext, ".tga") != 0 && strcasecmp(ext, ".jpg") != 0)
            continue;
        sMember m{entry.name, std::vector<unsigned char>(entry.size)};
        if (zip.read(i, m.data.data()))
            members.push_back(std::move(m));
    }
    return members;
}

void DecodeAll(benchmark::State& state, const char* ext)
{
    const std::vector<sMember>& members = Members();
    if (members.empty())
    {
        state.SkipWithError("KEL_OA_BASE does not name the archive's folder");
        return;
    }
    double pixels = 0;
    int64_t files = 0;
    for (auto _ : state)
    {
        pixels = 0;
        files = 0;
        for (const sMember& m : members)
        {
            if (*ext && strcasecmp(m.name.c_str() + m.name.size() - 4, ext) != 0)
                continue;
            cImage img;
            img.Load(m.data.data(), (uint32_t)m.data.size(), m.name.c_str());
            pixels += (double)img.width * img.height;
            files++;
            benchmark::DoNotOptimize(img.pixels);
        }
    }
    state.counters["files"] = (double)files;
    state.counters["Mpixels"] = pixels / 1e6;
    state.counters["Mpixels_per_s"] =
        benchmark::Counter(pixels / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
}

bool IsJpeg(const sMember& m) { return strcasecmp(m.name.c_str() + m.name.size() - 4, ".jpg") == 0; }

// The library alone: its memory source, many rows a call, top row first into one new buffer.
// The archive's files are all sound, so the standard error handler will do. Answers the pixels.
double PlainDecode(const sMember& m)
{
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, m.data.data(), (unsigned long)m.data.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    size_t rowSize = (size_t)info.output_width * info.output_components;
    unsigned char* buffer = new unsigned char[rowSize * info.output_height];
    JSAMPROW rows[32];
    while (info.output_scanline < info.output_height)
    {
        JDIMENSION count = std::min<JDIMENSION>(info.output_height - info.output_scanline, 32);
        for (JDIMENSION i = 0; i < count; i++)
            rows[i] = buffer + (info.output_scanline + i) * rowSize;
        jpeg_read_scanlines(&info, rows, count);
    }
    double pixels = (double)info.output_width * info.output_height;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(buffer);
    delete[] buffer;
    return pixels;
}

double CImageDecode(const sMember& m)
{
    cImage img;
    img.Load(m.data.data(), (uint32_t)m.data.size(), m.name.c_str());
    benchmark::DoNotOptimize(img.pixels);
    return (double)img.width * img.height;
}

void DecodeJpegs(benchmark::State& state, double (*decode)(const sMember&))
{
    const std::vector<sMember>& members = Members();
    if (members.empty())
    {
        state.SkipWithError("KEL_OA_BASE does not name the archive's folder");
        return;
    }
    double pixels = 0;
    for (auto _ : state)
    {
        pixels = 0;
        for (const sMember& m : members)
            if (IsJpeg(m))
                pixels += decode(m);
    }
    state.counters["Mpixels_per_s"] =
        benchmark::Counter(pixels / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
}

double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Both decodes of every JPEG in turn, file by file, each timed on this thread's clock: the
// ratio of cImage's time to the library's alone, steady however busy the machine is. The
// second decode of a file finds warm caches, so the two take turns at going first.
void JpegRatio(benchmark::State& state)
{
    const std::vector<sMember>& members = Members();
    if (members.empty())
    {
        state.SkipWithError("KEL_OA_BASE does not name the archive's folder");
        return;
    }
    double mine = 0, plain = 0;
    bool mineFirst = true;
    for (auto _ : state)
        for (const sMember& m : members)
        {
            if (!IsJpeg(m))
                continue;
            double t0 = ThreadSeconds();
            mineFirst ? CImageDecode(m) : PlainDecode(m);
            double t1 = ThreadSeconds();
            mineFirst ? PlainDecode(m) : CImageDecode(m);
            double t2 = ThreadSeconds();
            mine += mineFirst ? t1 - t0 : t2 - t1;
            plain += mineFirst ? t2 - t1 : t1 - t0;
            mineFirst = !mineFirst;
        }
    state.counters["cImage_over_plain"] = plain > 0 ? mine / plain : 0;
}
} // namespace

BENCHMARK_CAPTURE(DecodeAll, all, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeAll, tga, ".tga")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeAll, jpg, ".jpg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeJpegs, plain_libjpeg, PlainDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegRatio)->Unit(benchmark::kMillisecond);
