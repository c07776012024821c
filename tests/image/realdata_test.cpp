// Every TGA and JPEG image of the real game archive decodes: a TGA to the size its header
// states, a JPEG to exactly the pixels of the library's plain decode, rows in the other order.
#include "fs/zipfile.h"
#include "image/image.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <strings.h>

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

        cImage img;
        ASSERT_TRUE(img.Load(data.data(), (uint32_t)data.size(), entry.name.c_str())) << entry.name;
        EXPECT_TRUE(img.bpp == 1 || img.bpp == 3 || img.bpp == 4) << entry.name;
        unsigned w = data[12] | (data[13] << 8), h = data[14] | (data[15] << 8);
        Bytes topFirst = tga ? Bytes() : DecodeJpegTopFirst(data, w, h);
        ASSERT_EQ(img.width, w) << entry.name;
        ASSERT_EQ(img.height, h) << entry.name;
        size_t rowSize = (size_t)w * img.bpp;
        for (unsigned y = 0; jpg && y < h; y++)
            ASSERT_EQ(memcmp(img.pixels + y * rowSize, topFirst.data() + (h - 1 - y) * rowSize, rowSize), 0)
                << entry.name << " row " << y;
        (tga ? tgas : jpegs)++;
    }
    EXPECT_EQ(tgas, 420);
    EXPECT_EQ(jpegs, 101);
}
