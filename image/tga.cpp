// TGA decoding: uncompressed true colour and grey, and run-length true colour.
#include "image/image.h"

#include "platform/log.h"
#include "image/imagebytes.h"

#include <cstring>

namespace
{
const uint32_t TGA_HEADER_SIZE = 18;

// Expands run-length packets into out (count pixels of bpp bytes, written R, G, B(, A)).
// A run that reaches past the last pixel is cut there; answers false when the data ends first.
bool ExpandRuns(const unsigned char* data, uint32_t size, uint32_t pos, unsigned char* out, size_t count,
                int bpp)
{
    size_t done = 0;
    while (done < count)
    {
        if (pos >= size)
            return false;
        unsigned header = data[pos++];
        size_t packet = header < 128 ? header + 1 : header - 127;
        if (packet > count - done)
            packet = count - done;
        bool run = header >= 128;
        // a run repeats one stored pixel; a raw packet stores one pixel for each written
        if (!ImageFits(pos, (uint64_t)bpp * (run ? 1 : packet), size))
            return false;
        for (size_t i = 0; i < packet; i++, done++)
        {
            const unsigned char* src = data + pos + (run ? 0 : i * bpp);
            unsigned char* dst = out + done * bpp;
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            if (bpp == 4)
                dst[3] = src[3];
        }
        pos += (uint32_t)(run ? bpp : packet * bpp);
    }
    return true;
}
} // namespace

bool cImage::LoadTGA(const unsigned char* data, uint32_t size)
{
    if (size < TGA_HEADER_SIZE)
        return DebugLog("cImage:: %s is too short for a tga header", Name());
    int type = data[2];
    if (type != 2 && type != 3 && type != 10)
        return DebugLog("cImage:: does not support that tga format : %s", Name());
    int depth = data[16];
    // run-length data is always colour: a depth of 8 there has no meaning
    if ((depth != 8 && depth != 24 && depth != 32) || (type == 10 && depth == 8))
        return DebugLog("cImage:: does not support that tga pixel description : %s", Name());

    // sizes sit at 12 and 14; one to four bytes a pixel, stored blue first
    uint16_t w = ImageU16(data + 12), h = ImageU16(data + 14);
    uint8_t bytes = (uint8_t)(depth / 8);
    // the ID field and any colour map lie between the header and the pixels; the map is unused
    uint32_t start = TGA_HEADER_SIZE + data[0] + ImageU16(data + 5) * (data[7] / 8);
    if (!CheckShape(w, h))
        return false;

    // uncompressed data must hold every pixel; packets are checked as they are expanded
    size_t count = (size_t)w * h;
    if (type != 10 && !ImageFits(start, (uint64_t)count * bytes, size))
        return DebugLog("cImage:: %s is shorter than its pixels", Name());
    unsigned char* buffer = Allocate(w, h, bytes);
    if (!buffer)
        return false;
    if (type != 10)
        memcpy(buffer, data + start, count * bytes);
    else if (!ExpandRuns(data, size, start, buffer, count, bytes))
    {
        delete[] buffer;
        return DebugLog("cImage:: %s is shorter than its pixels", Name());
    }

    Adopt(buffer, w, h, bytes);
    if (type != 10)
        SwapRedBlue(); // expanded packets are written in RGB order already
    // only an exact top-left origin flag is turned over; other descriptors are bottom-up
    if (data[17] == 0x20)
        FlipVertically();
    return true;
}
