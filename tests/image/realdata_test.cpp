// Every TGA and JPEG image of the real game archive decodes to the size its own header states.
#include "fs/zipfile.h"
#include "image/image.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <strings.h>

namespace
{
bool HasExtension(const std::string& name, const char* ext)
{
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ext) == 0;
}

// Width and height from the first start-of-frame marker of a JPEG, found by walking the
// marker segments; false when there is none.
bool JpegFrameSize(const std::vector<unsigned char>& d, int& w, int& h)
{
    size_t pos = 2;
    while (pos + 4 <= d.size())
    {
        if (d[pos] != 0xFF)
            return false;
        unsigned marker = d[pos + 1];
        if (marker == 0xFF)
        {
            pos++;
            continue;
        }
        size_t length = (d[pos + 2] << 8) | d[pos + 3];
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && pos + 9 <= d.size())
        {
            h = (d[pos + 5] << 8) | d[pos + 6];
            w = (d[pos + 7] << 8) | d[pos + 8];
            return true;
        }
        pos += 2 + length;
    }
    return false;
}
} // namespace

TEST(ImageRealData, EveryTgaAndJpegOfTheArchiveDecodes)
{
    const std::string folder = RealDataFolder();
    if (folder.empty())
        GTEST_SKIP() << "real archive not present";
    cZipFile zip;
    ASSERT_TRUE(zip.open((folder + "/pak0.pk3").c_str(), true));

    int tgas = 0, jpegs = 0;
    for (int i = 0; i < zip.numEntries(); i++)
    {
        const ZipEntry& entry = zip.Entries()[i];
        bool tga = HasExtension(entry.name, ".tga"), jpg = HasExtension(entry.name, ".jpg");
        if (!tga && !jpg)
            continue;
        std::vector<unsigned char> data(entry.size);
        ASSERT_TRUE(zip.read(i, data.data())) << entry.name;

        int w = 0, h = 0;
        if (tga)
        {
            ASSERT_GE(data.size(), 18u) << entry.name;
            w = data[12] | (data[13] << 8);
            h = data[14] | (data[15] << 8);
        }
        else
            ASSERT_TRUE(JpegFrameSize(data, w, h)) << entry.name;

        cImage img;
        ASSERT_TRUE(img.Load(data.data(), (uint32_t)data.size(), entry.name.c_str())) << entry.name;
        EXPECT_EQ(img.width, w) << entry.name;
        EXPECT_EQ(img.height, h) << entry.name;
        EXPECT_TRUE(img.bpp == 1 || img.bpp == 3 || img.bpp == 4) << entry.name;
        (tga ? tgas : jpegs)++;
    }
    EXPECT_EQ(tgas, 420);
    EXPECT_EQ(jpegs, 101);
}
