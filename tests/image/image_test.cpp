// Decoder tests over images built in memory (layouts, orientation, fallbacks, bad input) and over
// every TGA and JPEG of the real game archive.
#include "image/image.h"

#include "fs/filemgr.h"
#include "fs/zipfile.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <strings.h>
#include <sys/resource.h>
#include <sys/stat.h>

// Arrays come from malloc here, so that the largest one a decoder asks for is seen, touched or not.
static size_t largestArray = 0;
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    largestArray = std::max(largestArray, size);
    return malloc(size ? size : 1);
}
void* operator new[](size_t size)
{
    void* p = operator new[](size, std::nothrow);
    return p ? p : throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }

namespace
{
Bytes Pixels(const cImage& img)
{
    return Bytes(img.pixels, img.pixels + (size_t)img.width * img.height * img.bpp);
}

Bytes Cut(Bytes b, size_t n)
{
    b.resize(n);
    return b;
}

Bytes Patch32(Bytes b, size_t at, uint32_t v)
{
    PutU32(b, at, v);
    return b;
}

bool Decode(cImage& img, const Bytes& file, const char* name)
{
    return img.Load(file.data(), (uint32_t)file.size(), name);
}

// The library's plain decode of a JPEG, its rows turned to our order, bottom row first.
Bytes JpegBottomFirst(const Bytes& file)
{
    unsigned w = 0, h = 0;
    Bytes top = DecodeJpegTopFirst(file, w, h), out;
    for (size_t row = top.size() / h, y = h; y-- > 0;)
        out.insert(out.end(), top.begin() + y * row, top.begin() + (y + 1) * row);
    return out;
}

// A JPEG of 16 x 8, the top four rows red, the bottom four blue.
Bytes RedOverBlue()
{
    Bytes px;
    for (int i = 0; i < 16 * 8; i++)
        px.insert(px.end(), {(unsigned char)(i < 64 ? 250 : 0), 0, (unsigned char)(i < 64 ? 0 : 250)});
    return BuildJpeg(16, 8, 3, px);
}

// 2 x 2 BGR stored bottom row first (blue, green / red, white), and the same top row first.
const Bytes kBgr = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
const Bytes kBgrTopFirst = {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
const Bytes kRgb = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
} // namespace

// A progressive JPEG keeps all its coefficients until its last scan, past the library's fixed
// allowance: this one of 2000 x 2000 with colour at full resolution shows an allowance too small.
TEST(ImageTest, DecodesEachLayout)
{
    // the raw TGA packet runs past the last pixel and the PCX run of 63 too: both are cut there
    Bytes tgaRuns = {0xFF, 1, 2, 3, 0x80, 4, 5, 6, 0x01, 7, 8, 9, 10, 11, 12}, runPixels;
    for (int i = 0; i < 128; i++)
        runPixels.insert(runPixels.end(), {3, 2, 1});
    runPixels.insert(runPixels.end(), {6, 5, 4, 9, 8, 7, 12, 11, 10});
    Bytes mapped = BuildTga(3, 8, 3, 1, 0, Bytes(2 + 6, 0xEE));
    mapped[0] = 2;        // two bytes of image ID ...
    PutU16(mapped, 5, 2); // ... and a colour map of two 24-bit entries lie before the pixels
    mapped[7] = 24;
    mapped.insert(mapped.end(), {1, 2, 3});
    Bytes big(2000 * 2000 * 3); // a ramp
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (unsigned char)(i / 3 % 2000 + i / 3 / 2000);
    const Bytes jpegs[] = {RedOverBlue(), BuildJpeg(4, 4, 1, Bytes(16, 128)),
                           BuildJpeg(2000, 2000, 3, big, 95, true)};
    const struct
    {
        Bytes file;
        const char* name;
        int bpp;
        Bytes pixels;
    } cases[] = {
        {BuildTga(2, 24, 2, 2, 0, kBgr), "X.TGA", 3, kRgb},
        {BuildTga(2, 24, 2, 2, 0x20, kBgrTopFirst), "x.Tga", 3, kRgb},
        {BuildTga(2, 24, 2, 2, 0x28, kBgrTopFirst),
         "x.tga",
         3,
         {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0}},
        {BuildTga(2, 32, 1, 1, 0, {10, 20, 30, 40}), "a.tga", 4, {30, 20, 10, 40}},
        {mapped, "g.tga", 1, {1, 2, 3}},
        {BuildTga(10, 24, 131, 1, 0, tgaRuns), "r.tga", 3, runPixels},
        {BuildTga(10, 32, 2, 1, 0, {0x7F, 1, 2, 3, 4, 5, 6, 7, 8}), "r.tga", 4, {3, 2, 1, 4, 7, 6, 5, 8}},
        {BuildBmp(2, 2, 24, kBgr), "b.bmp", 3, kRgb},
        {BuildBmp(3, 1, 8, {0, 2, 9}, 4), "b.BMP", 3, {0, 0, 0, 6, 4, 2, 0, 0, 0}},
        {BuildBmp(2, 1, 8, {5, 6}), "b.bmp", 1, {5, 6}},
        // top row entries 1 and 2 (a run of one), bottom row a run of two of entry 3
        {BuildPcx(2, 2, {1, 0xC1, 2, 0xC2, 3}), "p.pcx", 3, {3, 252, 1, 3, 252, 1, 1, 254, 0, 2, 253, 1}},
        {BuildPcx(1, 1, {0xFF, 4}), "p.pcx", 3, {4, 251, 2}},
        {BuildTga(2, 24, 2, 2, 0, kBgr), "a", 3, kRgb},
        {BuildPcx(1, 1, {7}), nullptr, 3, {7, 248, 3}},
        {jpegs[0], "j.jpg", 3, JpegBottomFirst(jpegs[0])},
        {jpegs[1], "j.JPG", 1, JpegBottomFirst(jpegs[1])},
        {jpegs[2], "j.jpg", 3, JpegBottomFirst(jpegs[2])},
    };
    for (size_t n = 0; n < std::size(cases); n++)
    {
        cImage img;
        ASSERT_TRUE(Decode(img, cases[n].file, cases[n].name)) << n;
        EXPECT_TRUE(img.bpp == cases[n].bpp && Pixels(img) == cases[n].pixels) << n;
    }

    // An unknown extension tries TGA, JPEG, BMP and PCX in turn; WAL only by its extension.
    LogCapture log;
    cImage img;
    EXPECT_TRUE(Decode(img, BuildBmp(2, 2, 24, kBgr), "pic.dat") && Pixels(img) == kRgb);
    EXPECT_FALSE(Decode(img, BuildWal(1, 1, 100, {1}), "x.wa"));
    EXPECT_EQ(log.Debug(), "cImage:: does not support that tga format : pic.dat \n"
                           "cImage:: can`t read Independent JPEGGroup header from : pic.dat \n"
                           "cImage:: does not support that tga format : x.wa \n"
                           "cImage:: can`t read Independent JPEGGroup header from : x.wa \n"
                           "cImage:: this file : x.wa is not a bmp \ncImage:: x.wa is not a pcx file \n");
}

// Sizes are checked as soon as a header is read: huge claims cost nothing and keep the old
// picture; so do broken JPEG files, after which the next one decodes.
TEST(ImageTest, BadInputIsRefusedAndKeepsTheOldPicture)
{
    rusage atStart, atEnd;
    getrusage(RUSAGE_SELF, &atStart);
    Bytes pcxVersion = BuildPcx(1, 1, {1}), pcxPlanes = BuildPcx(1, 1, {1});
    pcxVersion[1] = 3;
    pcxPlanes[65] = 3;
    const Bytes jpeg = RedOverBlue();
    Bytes corrupt = jpeg;
    for (size_t i = 2; i < corrupt.size(); i++)
        corrupt[i] ^= 0x5A;
    const std::pair<Bytes, const char*> cases[] = {
        {BuildTga(1, 24, 2, 2, 0, kBgr), "cImage:: does not support that tga format : t.tga"},
        {BuildTga(2, 16, 2, 2, 0, kBgr), "cImage:: does not support that tga pixel description : t.tga"},
        {BuildTga(10, 8, 2, 2, 0, {0x83, 1}), "cImage:: does not support that tga pixel description : t.tga"},
        {Cut(BuildTga(2, 24, 2, 2, 0, kBgr), 17), "t.tga is too short"},
        {Cut(BuildTga(2, 24, 2, 2, 0, kBgr), 29), "t.tga is shorter than its pixels"},
        {BuildTga(10, 24, 4, 1, 0, {0x81, 1, 2, 3, 0x00, 1, 2}), "t.tga is shorter than its pixels"},
        {BuildTga(10, 24, 4, 1, 0, {0x81, 1, 2, 3}), "t.tga is shorter than its pixels"},
        {BuildTga(2, 24, 0, 2, 0, kBgr), "t.tga has no pixels"},
        {BuildTga(2, 32, 65535, 65535, 0, kBgr), "t.tga is too large"},
        {BuildTga(10, 32, 8000, 8000, 0, {0xFF, 1, 2, 3, 4}), "t.tga is shorter than its pixels"},
        {BuildBmp(65535, 65535, 32, {}), "b.bmp is too large (65535x65535)"},
        {BuildPcx(65535, 65535, {}), "p.pcx is too large (65535x65535)"},
        {BuildPcx(8000, 8000, {0xFF, 1}), "p.pcx is shorter than its pixels"},
        {BuildWal(0xFFFF, 0xFFFF, 100, {}), "w.wal is too large (65535x65535)"},
        {BuildClaimingJpeg(65500, 65500), "cImage:: j.jpg is too large (65500x65500) \n"
                                          "cImage:: can`t decompress file :j.jpg"},
        {Bytes{'B', 'N', 0, 0}, "cImage:: this file : b.bmp is not a bmp"},
        {Bytes{'B', 'M'}, "b.bmp is too short"},
        {Patch32(BuildBmp(2, 2, 24, kBgr), 30, 1), "cImage:: don`t support rle bmp decoding : b.bmp"},
        {BuildBmp(2, 2, 16, Bytes(8, 0)), "does not support a bmp of 16 bits : b.bmp"},
        {Patch32(BuildBmp(1, 1, 8, {0}, 2), 46, 1000000), "b.bmp has a colour table past its end"},
        {Patch32(BuildBmp(2, 2, 24, kBgr), 10, 66), "b.bmp is shorter than its pixels"},
        {Patch32(BuildBmp(2, 2, 24, kBgr), 10, 0xFFFFFFF0u), "b.bmp is shorter than its pixels"},
        {Bytes{11, 5}, "cImage:: p.pcx is not a pcx file"},
        {pcxVersion, "cImage:: p.pcx is a wrong pcx file version (!=5)"},
        {pcxPlanes, "cImage:: don`t support 24bit pcx images : p.pcx"},
        {Cut(BuildPcx(1, 1, {}), 895), "p.pcx is too short"},
        // the marker byte before the palette counts as run-length data
        {BuildPcx(2, 2, {1, 2}), "p.pcx is shorter than its pixels"},
        {BuildPcx(2, 2, {0xC3}), "p.pcx is shorter than its pixels"},
        {BuildWal(2, 2, 100, {1, 2, 3}), "w.wal is shorter than its pixels"},
        {BuildWal(1, 1, 0xFFFFFFFFu, {1}), "w.wal is shorter than its pixels"},
        {BuildWal(0x10000, 1, 100, {1}), "w.wal has no pixels"},
        {Bytes(43, 0), "w.wal is too short"},
        {Cut(jpeg, 20), "cImage:: can`t read Independent JPEGGroup header from : j.jpg"},
        {corrupt, "cImage:: can`t read Independent JPEGGroup header from : j.jpg"},
        // an APP1 marker whose length asks to skip far past the end of the data
        {Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xF0, 1, 2, 3}, "header from : j.jpg"},
        {Bytes(), "header from : j.jpg"},
        {Cut(jpeg, jpeg.size() - 40), "cImage:: corrupt jpeg data in j.jpg"},
    };
    largestArray = 0;
    for (const auto& [file, message] : cases)
    {
        const std::string text = message;
        const char* name = "";
        for (const char* n : {"t.tga", "b.bmp", "p.pcx", "w.wal", "j.jpg"})
            name = text.find(n) != std::string::npos ? n : name;
        cImage img;
        ASSERT_TRUE(Decode(img, jpeg, "old.jpg"));
        const unsigned char* before = img.pixels;
        LogCapture log;
        EXPECT_FALSE(Decode(img, file, name)) << text;
        EXPECT_NE(log.Debug().find(text), std::string::npos) << text << "\n" << log.Debug();
        EXPECT_TRUE(img.pixels == before && Pixels(img) == JpegBottomFirst(jpeg)) << text;
    }
    getrusage(RUSAGE_SELF, &atEnd);
    EXPECT_LT(atEnd.ru_maxrss - atStart.ru_maxrss, 64 * 1024); // kilobytes, the JPEG library's too
    EXPECT_LT(largestArray, 1u << 20);
}

// Without a colour map the palette is a grey ramp; 32-bit sizes beyond 16 bits give the picture
// and the pixel count their low halves.
TEST(ImageTest, WalSizesAndPalette)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();
    cImage::SetWalPalette(nullptr);
    cImage grey, img;
    ASSERT_TRUE(Decode(grey, BuildWal(1, 2, 100, {77, 78}), "w.wal"));
    EXPECT_EQ(Pixels(grey), (Bytes{78, 78, 78, 77, 77, 77})); // bottom row first

    mkdir(dir.File("pics").c_str(), 0755);
    ASSERT_TRUE(WriteFileBytes(dir.File("pics/colormap.pcx"), BuildPcx(1, 1, {0})));
    cImage::SetWalPalette(nullptr);
    ASSERT_TRUE(Decode(img, BuildWal(0x10002, 0x30001, 100, {1, 77}), "w.WAL"));
    EXPECT_TRUE(img.width == 2 && img.height == 1 && Pixels(img) == (Bytes{1, 254, 0, 77, 178, 38}));
    cImage::SetWalPalette(nullptr);
    gFileMgr.Reset();
}

// Every TGA and JPEG of the real archive decodes: a TGA to the size its header states, a JPEG to
// exactly the pixels of the library's plain decode.
TEST(ImageTest, EveryTgaAndJpegOfTheRealArchiveDecodes)
{
    const std::string folder = RealDataFolder();
    if (folder.empty())
        GTEST_SKIP() << "real archive not present";
    cZipFile zip;
    ASSERT_TRUE(zip.open((folder + "/pak0.pk3").c_str(), true));
    int counts[2] = {};
    for (int i = 0; i < zip.numEntries(); i++)
    {
        const std::string& name = zip.Entries()[i].name;
        const char* ext = name.size() > 4 ? name.c_str() + name.size() - 4 : "";
        const bool tga = strcasecmp(ext, ".tga") == 0;
        if (!tga && strcasecmp(ext, ".jpg") != 0)
            continue;
        Bytes data(zip.Entries()[i].size);
        cImage img;
        ASSERT_TRUE(zip.read(i, data.data()) && Decode(img, data, name.c_str())) << name;
        if (tga)
            EXPECT_TRUE(img.width == (data[12] | data[13] << 8) && img.height == (data[14] | data[15] << 8) &&
                        (img.bpp == 1 || img.bpp == 3 || img.bpp == 4))
                << name;
        else
            EXPECT_TRUE(Pixels(img) == JpegBottomFirst(data)) << name;
        counts[tga]++;
    }
    EXPECT_EQ(counts[1], 420);
    EXPECT_EQ(counts[0], 101);
}
