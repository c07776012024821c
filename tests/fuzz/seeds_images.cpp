// Starting inputs of the image targets, made with the test image builders.
#include "support/imagebuild.h"

#include <string>

void ImageSeeds(void (*seed)(const std::string&, const std::string&, const std::vector<unsigned char>&))
{
    Bytes rgb(4 * 3 * 3);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = static_cast<unsigned char>(i * 7);
    seed("image_tga", "rgb.tga", BuildTga(2, 24, 4, 3, 0, rgb));
    seed("image_tga", "rgba_top.tga", BuildTga(2, 32, 3, 3, 0x28, Bytes(36, 200)));
    seed("image_tga", "rle.tga",
         BuildTga(10, 24, 4, 2, 0, {0x83, 1, 2, 3, 0x03, 9, 9, 9, 8, 8, 8, 7, 7, 7, 6, 6, 6}));
    seed("image_tga", "grey.tga", BuildTga(3, 8, 2, 2, 0, {1, 2, 3, 4}));
    seed("image_bmp", "rgb.bmp", BuildBmp(3, 2, 24, Bytes(2 * 12, 90)));
    seed("image_bmp", "indexed.bmp", BuildBmp(4, 2, 8, {0, 1, 2, 3, 3, 2, 1, 0}, 4));
    seed("image_pcx", "small.pcx", BuildPcx(4, 2, {0xC2, 5, 6, 7, 0xC4, 9}));
    seed("image_wal", "small.wal", BuildWal(4, 4, 100, Bytes(16 + 4 + 1, 3)));
    seed("image_jpg", "grey.jpg", BuildJpeg(8, 8, 1, Bytes(64, 128)));
    seed("image_jpg", "rgb.jpg", BuildJpeg(9, 5, 3, Bytes(9 * 5 * 3, 60)));
    seed("image_jpg", "huge_progressive.jpg", BuildClaimingJpeg(65500, 65500));
    seed("image_any", "rgb.tga", BuildTga(2, 24, 4, 3, 0, rgb));
    seed("image_any", "rgb.jpg", BuildJpeg(4, 4, 3, Bytes(48, 10)));
    seed("image_any", "rgb.bmp", BuildBmp(2, 2, 24, Bytes(16, 1)));
    seed("image_any", "small.pcx", BuildPcx(2, 2, {1, 2, 3, 4}));
}
