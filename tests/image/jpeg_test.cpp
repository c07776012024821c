// JPEG decoding from memory: orientation, grey and progressive files, and recovery from broken files.
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

// Colour, grey, and a progressive file whose coefficients, all kept until its last scan, pass
// the library's fixed allowance: each gives the rows of the library's plain decode, bottom first.
TEST(JpegTest, DecodesColourGreyAndProgressiveBottomRowFirst)
{
    const unsigned side = 2000;
    Bytes big((size_t)side * side * 3);
    for (size_t i = 0; i < big.size(); i++)
        big[i] = (unsigned char)(i / 3 % side + i / 3 / side);
    const Bytes files[] = {RedOverBlue(), BuildJpeg(4, 4, 1, Bytes(16, 128)),
                           BuildJpeg(side, side, 3, big, 95, true)};
    for (const Bytes& file : files)
    {
        cImage img;
        ASSERT_TRUE(Decode(img, file));
        unsigned w = 0, h = 0;
        Bytes topFirst = DecodeJpegTopFirst(file, w, h);
        ASSERT_EQ(img.width, w);
        ASSERT_EQ(img.height, h);
        size_t rowSize = topFirst.size() / h;
        ASSERT_EQ(rowSize, (size_t)w * img.bpp);
        for (unsigned y = 0; y < h; y++)
            ASSERT_EQ(memcmp(img.pixels + y * rowSize, topFirst.data() + (h - 1 - y) * rowSize, rowSize), 0)
                << y;
    }
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
