// TGA decoding: uncompressed true colour and grey, and run-length true colour.
#include "image/image.h"

#include "platform/log.h"
#include "platform/bytereader.h"

#include <cstring>

namespace
{
// The most pixels run-length data of left bytes can give: every packet takes its count byte and
// at least one stored pixel, and writes at most 128 pixels.
uint64_t MostRunPixels(uint64_t left, int bpp) { return left / (1 + bpp) * 128; }

// Expands run-length packets into out (count pixels of bpp bytes, written R, G, B(, A)).
// A packet that reaches past the last pixel is cut there; answers false when the data ends first.
bool ExpandRuns(cByteReader& in, unsigned char* out, size_t count, int bpp)
{
    size_t done = 0;
    while (done < count)
    {
        unsigned header = in.U8();
        bool run = header >= 128;
        size_t packet = run ? header - 127 : header + 1;
        if (packet > count - done)
            packet = count - done;
        // a run repeats one stored pixel; a raw packet stores one pixel for each written
        const unsigned char* src = in.Bytes((uint64_t)bpp * (run ? 1 : packet));
        if (!src)
            return false;
        for (size_t i = 0; i < packet; i++, done++)
        {
            const unsigned char* p = src + (run ? 0 : i * bpp);
            unsigned char* dst = out + done * bpp;
            dst[0] = p[2];
            dst[1] = p[1];
            dst[2] = p[0];
            if (bpp == 4)
                dst[3] = p[3];
        }
    }
    return true;
}
} // namespace

bool cImage::LoadTGA(const unsigned char* data, uint32_t size)
{
    // 18 bytes: ID length, colour map type, image type, colour map start, length and entry bits,
    // picture origin, width, height, depth and descriptor
    cByteReader in(data, size);
    uint8_t idLength = in.U8();
    in.Skip(1);
    uint8_t type = in.U8();
    in.Skip(2);
    uint16_t mapLength = in.U16();
    uint8_t mapBits = in.U8();
    in.Skip(4);
    uint16_t w = in.U16(), h = in.U16();
    uint8_t depth = in.U8(), descriptor = in.U8();
    if (!in.Ok())
        return DebugLog("cImage:: %s is too short for a tga header", Name());
    if (type != 2 && type != 3 && type != 10)
        return DebugLog("cImage:: does not support that tga format : %s", Name());
    // run-length data is always colour: a depth of 8 there has no meaning
    if ((depth != 8 && depth != 24 && depth != 32) || (type == 10 && depth == 8))
        return DebugLog("cImage:: does not support that tga pixel description : %s", Name());
    if (!CheckShape(w, h))
        return false;

    // The ID field and any colour map lie between the header and the pixels; the map is unused.
    // Uncompressed data must hold every pixel, run-length data at least enough packets for them.
    uint8_t bytes = (uint8_t)(depth / 8);
    size_t count = (size_t)w * h;
    in.Skip(idLength + (uint32_t)mapLength * (mapBits / 8));
    const unsigned char* stored = nullptr;
    if (type != 10)
        stored = in.Bytes((uint64_t)count * bytes);
    else if (count > MostRunPixels(in.Left(), bytes))
        in.Fail();
    if (!in.Ok())
        return DebugLog("cImage:: %s is shorter than its pixels", Name());

    unsigned char* buffer = Allocate(w, h, bytes);
    if (!buffer)
        return false;
    if (type != 10)
        memcpy(buffer, stored, count * bytes);
    else if (!ExpandRuns(in, buffer, count, bytes))
    {
        delete[] buffer;
        return DebugLog("cImage:: %s is shorter than its pixels", Name());
    }

    Adopt(buffer, w, h, bytes);
    if (type != 10)
        SwapRedBlue(); // expanded packets are written in RGB order already
    // only an exact top-left origin flag is turned over; other descriptors are bottom-up
    if (descriptor == 0x20)
        FlipVertically();
    return true;
}
