// BMP, PCX and WAL decoding: the formats whose pixels may be indices into a colour table.
#include "image/image.h"

#include "platform/log.h"
#include "platform/bytereader.h"

#include <cstring>

namespace
{
const uint32_t PCX_HEADER_SIZE = 128;
const uint32_t PCX_PALETTE_SIZE = 768;
const uint32_t PCX_LONGEST_RUN = 63;
} // namespace

bool cImage::LoadBMP(const unsigned char* data, uint32_t size)
{
    // 54 bytes: signature, file size, reserved, pixel offset, info size, width, height, planes,
    // bits a pixel, compression, image size, resolution, colours used, colours important
    cByteReader in(data, size);
    if (in.U16() != 0x4D42)
        return DebugLog("cImage:: this file : %s is not a bmp", Name());
    in.Skip(8);
    uint32_t offset = in.U32();
    in.Skip(4);
    // the picture takes the low halves of the 32-bit size fields
    uint16_t w = (uint16_t)in.U32(), h = (uint16_t)in.U32();
    in.Skip(2);
    uint32_t bits = in.U16();
    uint32_t compression = in.U32();
    in.Skip(12);
    uint32_t colours = in.U32();
    in.Skip(4);
    if (!in.Ok())
        return DebugLog("cImage:: %s is too short for a bmp header", Name());
    if (compression != 0)
        return DebugLog("cImage:: don`t support rle bmp decoding : %s", Name());

    // A colours-used count means one index byte a pixel into that table, which follows the
    // header; without one the pixels are stored BGR(A) or grey.
    if (colours == 0 && bits != 8 && bits != 24 && bits != 32)
        return DebugLog("cImage:: does not support a bmp of %u bits : %s", bits, Name());
    const unsigned char* table = colours ? in.Bytes((uint64_t)colours * 4) : nullptr;
    if (!in.Ok())
        return DebugLog("cImage:: %s has a colour table past its end", Name());
    if (!CheckShape(w, h))
        return false;
    // rows are taken as packed: no padding to four bytes is skipped
    uint8_t stored = colours ? 1 : (uint8_t)(bits / 8);
    size_t count = (size_t)w * h;
    in.Seek(offset);
    const unsigned char* src = in.Bytes((uint64_t)count * stored);
    if (!src)
        return DebugLog("cImage:: %s is shorter than its pixels", Name());

    uint8_t bytes = colours ? 3 : stored;
    unsigned char* buffer = Allocate(w, h, bytes);
    if (!buffer)
        return false;
    if (!colours)
    {
        memcpy(buffer, src, count * bytes);
        Adopt(buffer, w, h, bytes);
        SwapRedBlue();
        return true;
    }
    // table entries are blue, green, red, unused; an index past the table gives black
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

bool cImage::LoadPCX(const unsigned char* data, uint32_t size)
{
    // 128 bytes: maker (10), version, encoding, bits a pixel, the window xmin, ymin, xmax, ymax,
    // resolution, a 16-colour map, a reserved byte, the plane count at 65, and fields unused here
    cByteReader in(data, size);
    if (in.U8() != 10)
        return DebugLog("cImage:: %s is not a pcx file", Name());
    if (in.U8() != 5)
        return DebugLog("cImage:: %s is a wrong pcx file version (!=5)", Name());
    in.Skip(2);
    int xmin = in.U16(), ymin = in.U16();
    int xmax = in.U16(), ymax = in.U16();
    in.Seek(65);
    uint8_t planes = in.U8();
    if (!in.Ok() || size < PCX_HEADER_SIZE + PCX_PALETTE_SIZE)
        return DebugLog("cImage:: %s is too short for a pcx header and palette", Name());
    if (planes == 3)
        return DebugLog("cImage:: don`t support 24bit pcx images : %s", Name());

    // the picture spans the inclusive window xmin..xmax, ymin..ymax; every pixel is a palette index
    if (xmax < xmin || ymax < ymin)
        return DebugLog("cImage:: %s has no pixels (%d..%d x %d..%d)", Name(), xmin, xmax, ymin, ymax);
    uint32_t w = xmax - xmin + 1, h = ymax - ymin + 1;
    if (w > 0xFFFF || h > 0xFFFF)
        return DebugLog("cImage:: %s is too large (%ux%u)", Name(), w, h);
    if (!CheckShape(w, h))
        return false;

    // Run-length data lies between the header and the palette, the last 768 bytes of the file.
    // Each pair of bytes gives at most a run of 63 pixels, a lone byte one.
    uint32_t packedSize = size - PCX_HEADER_SIZE - PCX_PALETTE_SIZE;
    in.Seek(PCX_HEADER_SIZE);
    const unsigned char* packed = in.Bytes(packedSize);
    const unsigned char* palette = in.Bytes(PCX_PALETTE_SIZE);
    size_t count = (size_t)w * h, done = 0;
    if (!palette || count > (uint64_t)packedSize / 2 * PCX_LONGEST_RUN + packedSize % 2)
        return DebugLog("cImage:: %s is shorter than its pixels", Name());
    unsigned char* buffer = Allocate(w, h, 3);
    if (!buffer)
        return false;

    cByteReader runs(packed, packedSize);
    while (done < count)
    {
        // a byte with both top bits set is a count; the next byte is the index it repeats
        unsigned b = runs.U8();
        size_t run = 1;
        if ((b & 0xC0) == 0xC0)
        {
            run = b & 0x3F;
            b = runs.U8();
        }
        if (!runs.Ok())
        {
            delete[] buffer;
            return DebugLog("cImage:: %s is shorter than its pixels", Name());
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
    // a 32-byte name, then the 32-bit width and height and the offset of the first mip level
    cByteReader in(data, size);
    in.Skip(32);
    // the picture takes the low halves of the 32-bit size fields, and so does the pixel count
    uint16_t w = (uint16_t)in.U32(), h = (uint16_t)in.U32();
    uint32_t offset = in.U32();
    if (!in.Ok())
        return DebugLog("cImage:: %s is too short for a wal header", Name());
    if (!CheckShape(w, h))
        return false;
    size_t count = (size_t)w * h;
    in.Seek(offset);
    const unsigned char* indices = in.Bytes(count);
    if (!indices)
        return DebugLog("cImage:: %s is shorter than its pixels", Name());
    unsigned char* buffer = Allocate(w, h, 3);
    if (!buffer)
        return false;
    // only the first mip level is read; the smaller ones are not needed
    const unsigned char* palette = WalPalette();
    for (size_t i = 0; i < count; i++)
        memcpy(buffer + i * 3, palette + indices[i] * 3, 3);
    Adopt(buffer, w, h, 3);
    FlipVertically();
    return true;
}
