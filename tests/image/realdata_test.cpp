// Every TGA and JPEG image of the real game archive decodes to the size its own header states.
#include "fs/zipfile.h"
#include "image/image.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <strings.h>

namespace
{
// Width and height from the first start-of-frame marker of a JPEG (C0 to CF but for C4, C8 and CC),
// found by walking the marker segments; false when there is none.
bool JpegFrameSize(const std::vector<unsigned char>& d, int& w, int& h)
{
    for (size_t pos = 2; pos + 9 <= d.size() && d[pos] == 0xFF;)
    {
        unsigned marker = d[pos + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
        {
            h = (d[pos + 5] << 8) | d[pos + 6];
            w = (d[pos + 7] << 8) | d[pos + 8];
            return true;
        }
        pos += marker == 0xFF ? 1 : 2 + ((d[pos + 2] << 8) | d[pos + 3]);
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
        const char* ext = entry.name.size() > 4 ? entry.name.c_str() + entry.name.size() - 4 : "";
        bool tga = strcasecmp(ext, ".tga") == 0, jpg = strcasecmp(ext, ".jpg") == 0;
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
