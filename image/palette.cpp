// BMP, PCX and WAL decoding: the formats whose pixels may be indices into a colour table.
#include "image/image.h"

#include "platform/log.h"
#include "image/imagebytes.h"

#include <cstring>

namespace
{
const uint32_t BMP_HEADER_SIZE = 54;
const uint32_t PCX_HEADER_SIZE = 128;
const uint32_t PCX_PALETTE_SIZE = 768;
const uint32_t WAL_HEADER_SIZE = 44; // name, the two sizes and the offset of the first mip level
} // namespace

bool cImage::LoadBMP(const unsigned char* data, uint32_t size)
{
    if (size < 2 || ImageU16(data) != 0x4D42)
        return DebugLog("cImage:: this file : %s is not a bmp", Name());
    if (size < BMP_HEADER_SIZE)
        return DebugLog("cImage:: %s is too short for a bmp header", Name());
    if (ImageU32(data + 30) != 0)
        return DebugLog("cImage:: don`t support rle bmp decoding : %s", Name());

    // Sizes are the low halves of 32-bit fields. A colours-used count means one index byte a
    // pixel into that table; without one the pixels are stored BGR(A) or grey.
    uint32_t colours = ImageU32(data + 46);
    uint16_t w = (uint16_t)ImageU32(data + 18), h = (uint16_t)ImageU32(data + 22);
    uint32_t bits = ImageU16(data + 28);
    uint32_t offset = ImageU32(data + 10);
    if (colours == 0 && bits != 8 && bits != 24 && bits != 32)
        return DebugLog("cImage:: does not support a bmp of %u bits : %s", bits, Name());
    if (!ImageFits(BMP_HEADER_SIZE, (uint64_t)colours * 4, size))
        return DebugLog("cImage:: %s has a colour table past its end", Name());
    if (!CheckShape(w, h))
        return false;
    // rows are taken as packed: no padding to four bytes is skipped
    uint8_t stored = colours ? 1 : (uint8_t)(bits / 8);
    size_t count = (size_t)w * h;
    if (!ImageFits(offset, (uint64_t)count * stored, size))
        return DebugLog("cImage:: %s is shorter than its pixels", Name());

    uint8_t bytes = colours ? 3 : stored;
    unsigned char* buffer = Allocate(w, h, bytes);
    if (!buffer)
        return false;
    if (colours)
    {
        // table entries are blue, green, red, unused; an index past the table gives black
        const unsigned char* table = data + BMP_HEADER_SIZE;
        const unsigned char* src = data + offset;
        for (size_t i = 0; i < count; i++)
        {
            unsigned char* dst = buffer + i * 3;
            unsigned index = src[i];
            if (index < colours)
            {
                dst[0] = table[index * 4 + 2];
                dst[1] = table[index * 4 + 1];
                dst[2] = table[index * 4];
            }
            else
                dst[0] = dst[1] = dst[2] = 0;
        }
        Adopt(buffer, w, h, bytes);
        return true;
    }
    memcpy(buffer, data + offset, count * bytes);
    Adopt(buffer, w, h, bytes);
    SwapRedBlue();
    return true;
}

bool cImage::LoadPCX(const unsigned char* data, uint32_t size)
{
    if (size < 1 || data[0] != 10)
        return DebugLog("cImage:: %s is not a pcx file", Name());
    if (size < 2 || data[1] != 5)
        return DebugLog("cImage:: %s is a wrong pcx file version (!=5)", Name());
    if (size < PCX_HEADER_SIZE + PCX_PALETTE_SIZE)
        return DebugLog("cImage:: %s is too short for a pcx header and palette", Name());
    if (data[65] == 3)
        return DebugLog("cImage:: don`t support 24bit pcx images : %s", Name());

    // the picture spans the inclusive window xmin..xmax, ymin..ymax; every pixel is a palette index
    int xmin = ImageU16(data + 4), ymin = ImageU16(data + 6);
    int xmax = ImageU16(data + 8), ymax = ImageU16(data + 10);
    if (xmax < xmin || ymax < ymin)
        return DebugLog("cImage:: %s has no pixels (%d..%d x %d..%d)", Name(), xmin, xmax, ymin, ymax);
    uint32_t w = xmax - xmin + 1, h = ymax - ymin + 1;
    if (w > 0xFFFF || h > 0xFFFF)
        return DebugLog("cImage:: %s is too large (%ux%u)", Name(), w, h);
    if (!CheckShape(w, h))
        return false;
    unsigned char* buffer = Allocate(w, h, 3);
    if (!buffer)
        return false;

    // run-length data lies between the header and the palette at the end of the file
    const unsigned char* palette = data + size - PCX_PALETTE_SIZE;
    uint32_t end = size - PCX_PALETTE_SIZE;
    uint32_t pos = PCX_HEADER_SIZE;
    size_t count = (size_t)w * h, done = 0;
    while (done < count)
    {
        if (pos >= end)
        {
            delete[] buffer;
            return DebugLog("cImage:: %s is shorter than its pixels", Name());
        }
        // a byte with both top bits set is a count; the next byte is the index it repeats
        unsigned b = data[pos++];
        size_t run = 1;
        if ((b & 0xC0) == 0xC0)
        {
            run = b & 0x3F;
            if (pos >= end)
                continue; // the loop top reports the missing value byte
            b = data[pos++];
        }
        if (run > count - done)
            run = count - done; // a run past the last pixel is cut there
        for (; run; run--, done++)
            memcpy(buffer + done * 3, palette + b * 3, 3);
    }
    Adopt(buffer, (uint16_t)w, (uint16_t)h, 3);
    FlipVertically(); // PCX stores the top row first
    return true;
}

bool cImage::LoadWAL(const unsigned char* data, uint32_t size)
{
    if (size < WAL_HEADER_SIZE)
        return DebugLog("cImage:: %s is too short for a wal header", Name());
    // the picture takes the low halves of the 32-bit size fields, and so does the pixel count
    uint16_t w = (uint16_t)ImageU32(data + 32), h = (uint16_t)ImageU32(data + 36);
    uint32_t offset = ImageU32(data + 40);
    if (!CheckShape(w, h))
        return false;
    size_t count = (size_t)w * h;
    if (!ImageFits(offset, count, size))
        return DebugLog("cImage:: %s is shorter than its pixels", Name());
    unsigned char* buffer = Allocate(w, h, 3);
    if (!buffer)
        return false;
    // only the first mip level is read; the smaller ones are not needed
    const unsigned char* palette = WalPalette();
    for (size_t i = 0; i < count; i++)
        memcpy(buffer + i * 3, palette + data[offset + i] * 3, 3);
    Adopt(buffer, w, h, 3);
    FlipVertically();
    return true;
}
