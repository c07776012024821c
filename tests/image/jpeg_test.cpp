// JPEG decoding from memory: orientation, grey files, and recovery from broken files.
#include "image/image.h"

#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
// 16 x 8: the top four rows red, the bottom four blue.
Bytes RedOverBlue()
{
    Bytes px;
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 16; x++)
            px.insert(px.end(), {(unsigned char)(y < 4 ? 250 : 0), 0, (unsigned char)(y < 4 ? 0 : 250)});
    return BuildJpeg(16, 8, 3, px);
}

bool Decode(cImage& img, const Bytes& file, const char* name = "j.jpg")
{
    return img.Load(file.data(), (uint32_t)file.size(), name);
}
} // namespace

TEST(JpegTest, DecodesColourAndGreyBottomRowFirst)
{
    cImage img;
    ASSERT_TRUE(Decode(img, RedOverBlue()));
    EXPECT_EQ(img.width, 16);
    EXPECT_EQ(img.height, 8);
    EXPECT_EQ(img.bpp, 3);
    const unsigned char* first = img.pixels;
    const unsigned char* last = img.pixels + 7 * 16 * 3;
    EXPECT_GT(first[2], 200); // bottom row (blue) first
    EXPECT_LT(first[0], 50);
    EXPECT_GT(last[0], 200);
    EXPECT_LT(last[2], 50);

    Bytes grey(4 * 4, 128);
    cImage g;
    ASSERT_TRUE(Decode(g, BuildJpeg(4, 4, 1, grey)));
    EXPECT_EQ(g.bpp, 1);
    EXPECT_NEAR(g.pixels[5], 128, 3);

    // A progressive file keeps every coefficient until its last scan, here more than the
    // library's fixed allowance: it still decodes, to the pixels of its baseline twin.
    const unsigned side = 2400;
    Bytes big((size_t)side * side * 3);
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (unsigned char)(i / 3 % side + i / 3 / side);
    cImage baseline, progressive;
    ASSERT_TRUE(Decode(baseline, BuildJpeg(side, side, 3, big)));
    ASSERT_TRUE(Decode(progressive, BuildJpeg(side, side, 3, big, 95, true)));
    EXPECT_EQ(memcmp(baseline.pixels, progressive.pixels, big.size()), 0);
}

TEST(JpegTest, BrokenFilesFailAndTheNextDecodes)
{
    Bytes good = RedOverBlue();
    Bytes truncated(good.begin(), good.end() - 40);
    Bytes headerOnly(good.begin(), good.begin() + 20);
    Bytes corrupt = good;
    for (size_t i = 2; i < corrupt.size(); i++)
        corrupt[i] ^= 0x5A;
    // an APP1 marker whose length asks to skip far past the end of the data
    Bytes skip = {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xF0, 1, 2, 3};
    const Bytes bad[] = {headerOnly, corrupt, skip, Bytes(), truncated};
    for (const Bytes& file : bad)
    {
        LogCapture log;
        cImage img;
        EXPECT_FALSE(Decode(img, file));
        const char* message = &file == &bad[4]
                                  ? "cImage:: corrupt jpeg data in j.jpg"
                                  : "cImage:: can`t read Independent JPEGGroup header from : j.jpg";
        EXPECT_NE(log.Debug().find(message), std::string::npos) << log.Debug();
        EXPECT_EQ(img.pixels, nullptr);

        cImage next;
        EXPECT_TRUE(Decode(next, good));
        EXPECT_EQ(next.width, 16);
    }
}
