// Decoder tests over images built in memory: layouts, orientation, fallbacks and bad input.
#include "image/image.h"

#include "fs/filemgr.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

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

// 2 x 2 BGR stored bottom row first (blue, green / red, white), and the same top row first.
const Bytes kBgr = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
const Bytes kBgrTopFirst = {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
const Bytes kRgb = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};

struct sGood
{
    const char* what;
    Bytes file;
    const char* name;
    int bpp;
    Bytes pixels;
};
} // namespace

TEST(ImageTest, DecodesEachLayout)
{
    // the raw TGA packet runs past the last pixel and the PCX run of 63 too: both are cut there
    Bytes tgaRuns = {0xFF, 1, 2, 3, 0x80, 4, 5, 6, 0x01, 7, 8, 9, 10, 11, 12};
    Bytes runPixels;
    for (int i = 0; i < 128; i++)
        runPixels.insert(runPixels.end(), {3, 2, 1});
    runPixels.insert(runPixels.end(), {6, 5, 4, 9, 8, 7, 12, 11, 10});
    Bytes mapped = BuildTga(3, 8, 3, 1, 0, Bytes(2 + 6, 0xEE));
    mapped[0] = 2;        // two bytes of image ID ...
    PutU16(mapped, 5, 2); // ... and a colour map of two 24-bit entries lie before the pixels
    mapped[7] = 24;
    mapped.insert(mapped.end(), {1, 2, 3});
    std::vector<sGood> cases = {
        {"tga upper case", BuildTga(2, 24, 2, 2, 0, kBgr), "X.TGA", 3, kRgb},
        {"tga top first", BuildTga(2, 24, 2, 2, 0x20, kBgrTopFirst), "x.Tga", 3, kRgb},
        {"tga 0x28 is bottom-up",
         BuildTga(2, 24, 2, 2, 0x28, kBgrTopFirst),
         "x.tga",
         3,
         {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0}},
        {"tga 32", BuildTga(2, 32, 1, 1, 0, {10, 20, 30, 40}), "a.tga", 4, {30, 20, 10, 40}},
        {"tga grey, id and map", mapped, "g.tga", 1, {1, 2, 3}},
        {"tga runs", BuildTga(10, 24, 131, 1, 0, tgaRuns), "r.tga", 3, runPixels},
        {"tga runs 32",
         BuildTga(10, 32, 2, 1, 0, {0x7F, 1, 2, 3, 4, 5, 6, 7, 8}),
         "r.tga",
         4,
         {3, 2, 1, 4, 7, 6, 5, 8}},
        {"bmp 24", BuildBmp(2, 2, 24, kBgr), "b.bmp", 3, kRgb},
        {"bmp table", BuildBmp(3, 1, 8, {0, 2, 9}, 4), "b.BMP", 3, {0, 0, 0, 6, 4, 2, 0, 0, 0}},
        {"bmp grey", BuildBmp(2, 1, 8, {5, 6}), "b.bmp", 1, {5, 6}},
        // top row entries 1 and 2 (a run of one), bottom row a run of two of entry 3
        {"pcx 2x2",
         BuildPcx(2, 2, {1, 0xC1, 2, 0xC2, 3}),
         "p.pcx",
         3,
         {3, 252, 1, 3, 252, 1, 1, 254, 0, 2, 253, 1}},
        {"pcx cut run", BuildPcx(1, 1, {0xFF, 4}), "p.pcx", 3, {4, 251, 2}},
        {"short name", BuildTga(2, 24, 2, 2, 0, kBgr), "a", 3, kRgb},
        {"no name", BuildPcx(1, 1, {7}), nullptr, 3, {7, 248, 3}},
    };
    for (const sGood& c : cases)
    {
        LogCapture log;
        cImage img;
        ASSERT_TRUE(Decode(img, c.file, c.name)) << c.what << log.Debug();
        EXPECT_EQ(img.bpp, c.bpp) << c.what;
        EXPECT_EQ(Pixels(img), c.pixels) << c.what;
    }
}

TEST(ImageTest, UnknownExtensionFallsBackInOrder)
{
    LogCapture log;
    cImage img;
    EXPECT_TRUE(Decode(img, BuildBmp(2, 2, 24, kBgr), "pic.dat"));
    EXPECT_EQ(Pixels(img), kRgb);
    std::string debug = log.Debug();
    size_t tga = debug.find("cImage:: does not support that tga format : pic.dat");
    size_t jpg = debug.find("cImage:: can`t read Independent JPEGGroup header from : pic.dat");
    EXPECT_NE(tga, std::string::npos) << debug;
    EXPECT_NE(jpg, std::string::npos) << debug;
    EXPECT_LT(tga, jpg);
    EXPECT_EQ(debug.find("bmp"), std::string::npos);

    cImage wal; // WAL is only ever chosen by its extension
    EXPECT_FALSE(Decode(wal, BuildWal(1, 1, 100, {1}), "x.wa"));
}

// Sizes are checked as soon as a header is read: huge claims cost nothing and keep the old picture.
TEST(ImageTest, BadInputIsRefusedAndKeepsTheOldPicture)
{
    rusage atStart, atEnd;
    getrusage(RUSAGE_SELF, &atStart);
    Bytes pcxVersion = BuildPcx(1, 1, {1}), pcxPlanes = BuildPcx(1, 1, {1});
    pcxVersion[1] = 3;
    pcxPlanes[65] = 3;
    struct sBad
    {
        Bytes file;
        const char* name;
        const char* message;
    } cases[] = {
        {BuildTga(1, 24, 2, 2, 0, kBgr), "t.tga", "cImage:: does not support that tga format : t.tga"},
        {BuildTga(2, 16, 2, 2, 0, kBgr), "t.tga",
         "cImage:: does not support that tga pixel description : t.tga"},
        {BuildTga(10, 8, 2, 2, 0, {0x83, 1}), "t.tga",
         "cImage:: does not support that tga pixel description"},
        {Cut(BuildTga(2, 24, 2, 2, 0, kBgr), 17), "t.tga", "too short"},
        {Cut(BuildTga(2, 24, 2, 2, 0, kBgr), 29), "t.tga", "shorter than its pixels"},
        {BuildTga(10, 24, 4, 1, 0, {0x81, 1, 2, 3, 0x00, 1, 2}), "t.tga", "shorter than its pixels"},
        {BuildTga(10, 24, 4, 1, 0, {0x81, 1, 2, 3}), "t.tga", "shorter than its pixels"},
        {BuildTga(2, 24, 0, 2, 0, kBgr), "t.tga", "has no pixels"},
        {BuildTga(2, 32, 65535, 65535, 0, kBgr), "t.tga", "too large"},
        {BuildTga(10, 32, 8000, 8000, 0, {0xFF, 1, 2, 3, 4}), "t.tga", "shorter than its pixels"},
        {BuildBmp(65535, 65535, 32, {}), "b.bmp", "too large (65535x65535)"},
        {BuildPcx(65535, 65535, {}), "p.pcx", "too large (65535x65535)"},
        {BuildPcx(8000, 8000, {0xFF, 1}), "p.pcx", "shorter than its pixels"},
        {BuildWal(0xFFFF, 0xFFFF, 100, {}), "w.wal", "too large (65535x65535)"},
        {BuildClaimingJpeg(65500, 65500), "j.jpg", "cImage:: j.jpg is too large (65500x65500)"},
        {Bytes{'B', 'N', 0, 0}, "b.bmp", "cImage:: this file : b.bmp is not a bmp"},
        {Bytes{'B', 'M'}, "b.bmp", "too short"},
        {Patch32(BuildBmp(2, 2, 24, kBgr), 30, 1), "b.bmp",
         "cImage:: don`t support rle bmp decoding : b.bmp"},
        {BuildBmp(2, 2, 16, Bytes(8, 0)), "b.bmp", "does not support a bmp of 16 bits"},
        {Patch32(BuildBmp(1, 1, 8, {0}, 2), 46, 1000000), "b.bmp", "colour table past its end"},
        {Patch32(BuildBmp(2, 2, 24, kBgr), 10, 66), "b.bmp", "shorter than its pixels"},
        {Patch32(BuildBmp(2, 2, 24, kBgr), 10, 0xFFFFFFF0u), "b.bmp", "shorter than its pixels"},
        {Bytes{11, 5}, "p.pcx", "cImage:: p.pcx is not a pcx file"},
        {pcxVersion, "p.pcx", "cImage:: p.pcx is a wrong pcx file version (!=5)"},
        {pcxPlanes, "p.pcx", "cImage:: don`t support 24bit pcx images : p.pcx"},
        {Cut(BuildPcx(1, 1, {}), 895), "p.pcx", "too short"},
        // the marker byte before the palette counts as run-length data
        {BuildPcx(2, 2, {1, 2}), "p.pcx", "shorter than its pixels"},
        {BuildPcx(2, 2, {0xC3}), "p.pcx", "shorter than its pixels"},
        {BuildWal(2, 2, 100, {1, 2, 3}), "w.wal", "shorter than its pixels"},
        {BuildWal(1, 1, 0xFFFFFFFFu, {1}), "w.wal", "shorter than its pixels"},
        {BuildWal(0x10000, 1, 100, {1}), "w.wal", "has no pixels"},
        {Bytes(43, 0), "w.wal", "too short"},
    };
    for (const sBad& c : cases)
    {
        cImage img;
        ASSERT_TRUE(Decode(img, BuildTga(2, 24, 2, 2, 0, kBgr), "old.tga"));
        const unsigned char* before = img.pixels;
        LogCapture log;
        EXPECT_FALSE(Decode(img, c.file, c.name)) << c.message;
        EXPECT_NE(log.Debug().find(c.message), std::string::npos) << c.message << "\n" << log.Debug();
        EXPECT_EQ(img.pixels, before);
        EXPECT_EQ(Pixels(img), kRgb);
    }
    getrusage(RUSAGE_SELF, &atEnd);
    EXPECT_LT(atEnd.ru_maxrss - atStart.ru_maxrss, 64 * 1024); // kilobytes
}

TEST(ImageTest, WalSizesAndPalette)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();

    // without a colour map the palette is a grey ramp
    cImage::SetWalPalette(nullptr);
    cImage grey;
    ASSERT_TRUE(Decode(grey, BuildWal(1, 2, 100, {77, 78}), "w.wal"));
    EXPECT_EQ(Pixels(grey), (Bytes{78, 78, 78, 77, 77, 77})); // bottom row first

    // 32-bit sizes beyond 16 bits: the picture and the pixel count both take the low halves
    mkdir(dir.File("pics").c_str(), 0755);
    ASSERT_TRUE(WriteFileBytes(dir.File("pics/colormap.pcx"), BuildPcx(1, 1, {0})));
    cImage::SetWalPalette(nullptr);
    cImage img;
    ASSERT_TRUE(Decode(img, BuildWal(0x10002, 0x30001, 100, {1, 77}), "w.WAL"));
    EXPECT_EQ(img.width, 2);
    EXPECT_EQ(img.height, 1);
    EXPECT_EQ(Pixels(img), (Bytes{1, 254, 0, 77, 178, 38}));
    cImage::SetWalPalette(nullptr);
    gFileMgr.Reset();
}
