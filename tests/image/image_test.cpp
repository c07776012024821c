// Decoder tests over images built in memory: layouts, orientation, fallbacks and bad input.
#include "image/image.h"

#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include "fs/filemgr.h"

#include <cstring>
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

bool Decode(cImage& img, const Bytes& file, const char* name)
{
    return img.Load(file.data(), (uint32_t)file.size(), name);
}

// A 2 x 2 BGR body: bottom row blue, green; top row red, white when stored bottom-up.
const Bytes kBgr2x2 = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
const Bytes kRgb2x2 = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
} // namespace

TEST(ImageTest, ExtensionCaseAndFallbackOrder)
{
    for (const char* name : {"X.TGA", "x.tga", "dir.v2/x.Tga"})
    {
        cImage img;
        LogCapture log;
        EXPECT_TRUE(Decode(img, BuildTga(2, 24, 2, 2, 0, kBgr2x2), name)) << name;
        EXPECT_EQ(Pixels(img), kRgb2x2);
        EXPECT_EQ(log.Debug(), "");
    }

    // An unknown extension tries TGA, then JPEG, then BMP; each failure leaves its message.
    LogCapture log;
    cImage img;
    EXPECT_TRUE(Decode(img, BuildBmp(2, 2, 24, kBgr2x2), "pic.dat"));
    EXPECT_EQ(img.bpp, 3);
    EXPECT_EQ(Pixels(img), kRgb2x2);
    std::string debug = log.Debug();
    size_t tga = debug.find("cImage:: does not support that tga format : pic.dat");
    size_t jpg = debug.find("cImage:: can`t read Independent JPEGGroup header from : pic.dat");
    EXPECT_NE(tga, std::string::npos) << debug;
    EXPECT_NE(jpg, std::string::npos) << debug;
    EXPECT_LT(tga, jpg);
    EXPECT_EQ(debug.find("not a bmp"), std::string::npos);

    // Names shorter than an extension, and no name at all, use the same fallback order.
    cImage shortName;
    EXPECT_TRUE(Decode(shortName, BuildTga(2, 24, 2, 2, 0, kBgr2x2), "a"));
    EXPECT_STREQ(shortName.name, "a");
    cImage noName;
    EXPECT_TRUE(Decode(noName, BuildPcx(1, 1, {7}), nullptr));
    EXPECT_EQ(Pixels(noName), (Bytes{7, 248, 3}));

    // WAL is only chosen by its extension; nothing of the fallback decodes it.
    cImage wal;
    EXPECT_FALSE(Decode(wal, BuildWal(1, 1, 100, {1}), "x.wa"));
}

TEST(ImageTest, TgaOrientationAndChannels)
{
    cImage bottomUp, topDown, other;
    ASSERT_TRUE(Decode(bottomUp, BuildTga(2, 24, 2, 2, 0, kBgr2x2), "a.tga"));
    EXPECT_EQ(Pixels(bottomUp), kRgb2x2);

    // the same picture stored top row first comes out identical after the flip
    Bytes topFirst(kBgr2x2.begin() + 6, kBgr2x2.end());
    topFirst.insert(topFirst.end(), kBgr2x2.begin(), kBgr2x2.begin() + 6);
    ASSERT_TRUE(Decode(topDown, BuildTga(2, 24, 2, 2, 0x20, topFirst), "a.tga"));
    EXPECT_EQ(Pixels(topDown), kRgb2x2);

    // only 0x20 exactly flips; 0x28 (top-left plus alpha bits) stays as stored
    ASSERT_TRUE(Decode(other, BuildTga(2, 24, 2, 2, 0x28, topFirst), "a.tga"));
    EXPECT_EQ(Pixels(other), (Bytes{255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0}));

    // 32-bit keeps alpha after the swap; grey is one byte a pixel without swapping
    cImage rgba, grey;
    ASSERT_TRUE(Decode(rgba, BuildTga(2, 32, 1, 1, 0, {10, 20, 30, 40}), "a.tga"));
    EXPECT_EQ(Pixels(rgba), (Bytes{30, 20, 10, 40}));
    Bytes withId = BuildTga(3, 8, 3, 1, 0, {});
    withId[0] = 2;        // two bytes of image ID
    PutU16(withId, 5, 2); // a two-entry colour map ...
    withId[7] = 24;       // ... of 24-bit entries, skipped
    withId.insert(withId.end(), 2 + 6, 0xEE);
    withId.insert(withId.end(), {1, 2, 3});
    ASSERT_TRUE(Decode(grey, withId, "g.tga"));
    EXPECT_EQ(grey.bpp, 1);
    EXPECT_EQ(Pixels(grey), (Bytes{1, 2, 3}));
}

TEST(ImageTest, TgaRunLengthPackets)
{
    // 0xFF repeats one pixel 128 times, 0x80 once, then a raw packet of two pixels
    Bytes body = {0xFF, 1, 2, 3, 0x80, 4, 5, 6, 0x01, 7, 8, 9, 10, 11, 12};
    cImage img;
    ASSERT_TRUE(Decode(img, BuildTga(10, 24, 131, 1, 0, body), "r.tga"));
    Bytes px = Pixels(img);
    for (int i = 0; i < 128; i++)
        ASSERT_EQ(Bytes(px.begin() + i * 3, px.begin() + i * 3 + 3), (Bytes{3, 2, 1})) << i;
    EXPECT_EQ(Bytes(px.begin() + 384, px.end()), (Bytes{6, 5, 4, 9, 8, 7, 12, 11, 10}));

    // 32-bit runs keep alpha; a run longer than the picture stops at its last pixel
    cImage alpha;
    ASSERT_TRUE(Decode(alpha, BuildTga(10, 32, 2, 1, 0, {0xFF, 1, 2, 3, 4}), "r.tga"));
    EXPECT_EQ(Pixels(alpha), (Bytes{3, 2, 1, 4, 3, 2, 1, 4}));
    cImage rawPast;
    ASSERT_TRUE(Decode(rawPast, BuildTga(10, 24, 1, 1, 0x20, {0x7F, 1, 2, 3}), "r.tga"));
    EXPECT_EQ(Pixels(rawPast), (Bytes{3, 2, 1}));
}

TEST(ImageTest, TgaBadInputKeepsOldPicture)
{
    cImage img;
    ASSERT_TRUE(Decode(img, BuildTga(2, 24, 2, 2, 0, kBgr2x2), "old.tga"));
    const unsigned char* before = img.pixels;
    struct Case
    {
        Bytes file;
        const char* message;
    };
    Bytes fullShort = BuildTga(2, 24, 2, 2, 0, kBgr2x2);
    fullShort.pop_back();
    std::vector<Case> cases = {
        {BuildTga(1, 24, 2, 2, 0, kBgr2x2), "cImage:: does not support that tga format : bad.tga"},
        {BuildTga(2, 16, 2, 2, 0, kBgr2x2), "cImage:: does not support that tga pixel description : bad.tga"},
        {BuildTga(10, 8, 2, 2, 0, {0x83, 1}),
         "cImage:: does not support that tga pixel description : bad.tga"},
        {Cut(BuildTga(2, 24, 2, 2, 0, {}), 17), "too short"},
        {fullShort, "shorter than its pixels"},
        {BuildTga(10, 24, 4, 1, 0, {0x81, 1, 2, 3, 0x00, 1, 2}), "shorter than its pixels"},
        {BuildTga(10, 24, 4, 1, 0, {0x81, 1, 2, 3}), "shorter than its pixels"},
        {BuildTga(2, 24, 0, 2, 0, kBgr2x2), "has no pixels"},
        {BuildTga(2, 32, 65535, 65535, 0, kBgr2x2), "too large"},
        {BuildTga(10, 32, 8000, 8000, 0, {0xFF, 1, 2, 3, 4}), "shorter than its pixels"},
    };
    for (const Case& c : cases)
    {
        LogCapture log;
        EXPECT_FALSE(Decode(img, c.file, "bad.tga"));
        EXPECT_NE(log.Debug().find(c.message), std::string::npos) << log.Debug();
        EXPECT_EQ(img.pixels, before);
        EXPECT_EQ(Pixels(img), kRgb2x2);
    }
    EXPECT_FALSE(img.Load(nullptr, 100, "null.tga"));
}

TEST(ImageTest, BmpTableAndRefusals)
{
    cImage table;
    ASSERT_TRUE(Decode(table, BuildBmp(3, 1, 8, {0, 2, 9}, 4), "p.bmp"));
    EXPECT_EQ(table.bpp, 3);
    EXPECT_EQ(Pixels(table), (Bytes{0, 0, 0, 6, 4, 2, 0, 0, 0})); // 9 lies past the table: black

    cImage grey;
    ASSERT_TRUE(Decode(grey, BuildBmp(2, 1, 8, {5, 6}), "g.bmp"));
    EXPECT_EQ(grey.bpp, 1);

    Bytes rle = BuildBmp(2, 2, 24, kBgr2x2);
    PutU32(rle, 30, 1);
    Bytes manyColours = BuildBmp(1, 1, 8, {0}, 2);
    PutU32(manyColours, 46, 1000000);
    Bytes offsetPast = BuildBmp(2, 2, 24, kBgr2x2);
    PutU32(offsetPast, 10, (uint32_t)offsetPast.size());
    Bytes hugeOffset = BuildBmp(2, 2, 24, kBgr2x2);
    PutU32(hugeOffset, 10, 0xFFFFFFF0u);
    struct Case
    {
        Bytes file;
        const char* message;
    } cases[] = {
        {Bytes{'B', 'N', 0, 0}, "cImage:: this file : b.bmp is not a bmp"},
        {Bytes{'B', 'M'}, "too short"},
        {rle, "cImage:: don`t support rle bmp decoding : b.bmp"},
        {BuildBmp(2, 2, 16, Bytes(8, 0)), "does not support a bmp of 16 bits"},
        {manyColours, "colour table past its end"},
        {offsetPast, "shorter than its pixels"},
        {hugeOffset, "shorter than its pixels"},
    };
    for (const Case& c : cases)
    {
        LogCapture log;
        cImage img;
        EXPECT_FALSE(Decode(img, c.file, "b.bmp"));
        EXPECT_NE(log.Debug().find(c.message), std::string::npos) << log.Debug();
        EXPECT_EQ(img.pixels, nullptr);
    }
}

TEST(ImageTest, PcxPaletteRunsAndRefusals)
{
    // 2 x 2: top row entries 1, 2 (2 as a run of one), bottom row a run of two of entry 3
    cImage img;
    ASSERT_TRUE(Decode(img, BuildPcx(2, 2, {1, 0xC1, 2, 0xC2, 3}), "p.pcx"));
    EXPECT_EQ(img.bpp, 3);
    EXPECT_EQ(Pixels(img), (Bytes{3, 252, 1, 3, 252, 1, 1, 254, 0, 2, 253, 1}));

    // a run that goes past the last pixel is cut there
    cImage cut;
    ASSERT_TRUE(Decode(cut, BuildPcx(1, 1, {0xFF, 4}), "p.pcx"));
    EXPECT_EQ(Pixels(cut), (Bytes{4, 251, 2}));

    Bytes version = BuildPcx(1, 1, {1});
    version[1] = 3;
    Bytes planes = BuildPcx(1, 1, {1});
    planes[65] = 3;
    Bytes inverted = BuildPcx(1, 1, {1});
    PutU16(inverted, 4, 5); // xmin past xmax
    Bytes big = BuildPcx(1, 1, {0xFF, 1});
    PutU16(big, 8, 65535);
    PutU16(big, 10, 65535);
    struct Case
    {
        Bytes file;
        const char* message;
    } cases[] = {
        {Bytes{11, 5}, "cImage:: p.pcx is not a pcx file"},
        {version, "cImage:: p.pcx is a wrong pcx file version (!=5)"},
        {planes, "cImage:: don`t support 24bit pcx images : p.pcx"},
        {Cut(BuildPcx(1, 1, {}), 800), "too short"},
        {BuildPcx(2, 2, {1, 2}), "shorter than its pixels"},
        {BuildPcx(2, 2, {0xC3}), "shorter than its pixels"},
        {inverted, "has no pixels"},
        {big, "too large"},
    };
    for (const Case& c : cases)
    {
        LogCapture log;
        cImage bad;
        EXPECT_FALSE(Decode(bad, c.file, "p.pcx"));
        EXPECT_NE(log.Debug().find(c.message), std::string::npos) << log.Debug();
    }
}

TEST(ImageTest, WalSizesAndPalette)
{
    unsigned char palette[768];
    for (int i = 0; i < 768; i++)
        palette[i] = (unsigned char)(i / 3 + i % 3);
    cImage::SetWalPalette(palette);

    // 32-bit sizes beyond 16 bits: the picture and the pixel count both take the low halves
    cImage img;
    ASSERT_TRUE(Decode(img, BuildWal(0x10002, 0x30001, 100, {1, 2}), "w.wal"));
    EXPECT_EQ(img.width, 2);
    EXPECT_EQ(img.height, 1);
    EXPECT_EQ(Pixels(img), (Bytes{1, 2, 3, 2, 3, 4}));

    // two rows come out bottom first
    cImage rows;
    ASSERT_TRUE(Decode(rows, BuildWal(1, 2, 100, {5, 6}), "w.WAL"));
    EXPECT_EQ(Pixels(rows), (Bytes{6, 7, 8, 5, 6, 7}));

    for (const Bytes& bad : {BuildWal(2, 2, 100, {1, 2, 3}), BuildWal(1, 1, 0xFFFFFFFFu, {1}), Bytes(43, 0),
                             BuildWal(0x10000, 1, 100, {1})})
    {
        cImage w;
        EXPECT_FALSE(Decode(w, bad, "w.wal"));
        EXPECT_EQ(w.pixels, nullptr);
    }
}

TEST(ImageTest, WalPaletteComesFromColourMapOrGreyRamp)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();
    cImage::SetWalPalette(nullptr);
    cImage grey;
    ASSERT_TRUE(Decode(grey, BuildWal(1, 1, 100, {77}), "w.wal"));
    EXPECT_EQ(Pixels(grey), (Bytes{77, 77, 77}));

    ASSERT_TRUE(WriteFileBytes(dir.File("pics/colormap.pcx"), BuildPcx(1, 1, {0})) ||
                (mkdir(dir.File("pics").c_str(), 0755) == 0 &&
                 WriteFileBytes(dir.File("pics/colormap.pcx"), BuildPcx(1, 1, {0}))));
    cImage::SetWalPalette(nullptr);
    cImage coloured;
    ASSERT_TRUE(Decode(coloured, BuildWal(1, 1, 100, {77}), "w.wal"));
    EXPECT_EQ(Pixels(coloured), (Bytes{77, 178, 38}));
    cImage::SetWalPalette(nullptr);
    gFileMgr.Reset();
}
