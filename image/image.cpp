// cImage: buffer handling, the row and channel helpers, and the choice of decoder by file name.
#include "image/image.h"

#include "platform/log.h"
#include "fs/memfile.h"
#include "platform/bytereader.h"

#include <cstring>
#include <new>
#include <strings.h>

namespace
{
unsigned char walPalette[768];
bool walPaletteSet = false;

// The palette of a PCX file is its last 768 bytes; answers false when the file is too short.
bool PaletteFromPCX(const char* path, unsigned char out[768])
{
    memfile_t file;
    if (!file.open(path, "rb"))
        return false;
    cByteReader in(file.data, file.size);
    if (in.U8() != 10 || in.Size() < 128 + 768)
        return false;
    return in.Seek(in.Size() - 768) && in.Read(out, 768);
}
} // namespace

cImage::~cImage() { Destroy(); }

void cImage::Destroy()
{
    delete[] pixels;
    pixels = nullptr;
    delete[] name;
    name = nullptr;
    width = height = 0;
    bpp = 0;
}

bool cImage::LoadFromFile(const memfile_t& file) { return Load(file.data, file.size, file.name); }

bool cImage::Load(const unsigned char* data, uint32_t size, const char* newName)
{
    // Running out of memory fails this one picture; the decoders replace the pixels only at the
    // end, so the old ones stay.
    try
    {
        return Decode(data, size, newName);
    }
    catch (const std::bad_alloc&)
    {
        return DebugLog("cImage:: out of memory for %s", Name());
    }
}

bool cImage::Decode(const unsigned char* data, uint32_t size, const char* newName)
{
    if (newName && newName != name)
    {
        size_t len = strlen(newName);
        char* copy = new char[len + 1];
        memcpy(copy, newName, len + 1);
        delete[] name;
        name = copy;
    }
    if (!data)
        size = 0; // every decoder then refuses the empty data with its own message

    // The last four characters pick the decoder; shorter names go through the fallback order.
    size_t len = name ? strlen(name) : 0;
    const char* ext = len >= 4 ? name + len - 4 : "";
    if (strcasecmp(ext, ".tga") == 0)
        return LoadTGA(data, size);
    if (strcasecmp(ext, ".jpg") == 0)
        return LoadJPG(data, size);
    if (strcasecmp(ext, ".bmp") == 0)
        return LoadBMP(data, size);
    if (strcasecmp(ext, ".pcx") == 0)
        return LoadPCX(data, size);
    if (strcasecmp(ext, ".wal") == 0)
        return LoadWAL(data, size);

    // Unknown extension: try the formats in turn; each failure leaves its message, and WAL,
    // which has no signature to refuse on, is never guessed.
    return LoadTGA(data, size) || LoadJPG(data, size) || LoadBMP(data, size) || LoadPCX(data, size);
}

void cImage::SwapRedBlue()
{
    if (bpp < 3 || !pixels)
        return;
    size_t count = (size_t)width * height;
    for (unsigned char* p = pixels; count--; p += bpp)
    {
        unsigned char t = p[0];
        p[0] = p[2];
        p[2] = t;
    }
}

void cImage::FlipVertically()
{
    if (height < 2 || !pixels)
        return;
    size_t rowSize = (size_t)width * bpp;
    for (unsigned i = 0; i < height / 2u; i++)
    {
        unsigned char* a = pixels + i * rowSize;
        unsigned char* b = pixels + (height - 1 - i) * rowSize;
        for (size_t k = 0; k < rowSize; k++)
        {
            unsigned char t = a[k];
            a[k] = b[k];
            b[k] = t;
        }
    }
}

bool cImage::CheckShape(uint32_t w, uint32_t h) const
{
    if (w == 0 || h == 0)
        return DebugLog("cImage:: %s has no pixels (%ux%u)", Name(), w, h);
    if ((uint64_t)w * h > IMAGE_MAX_PIXELS)
        return DebugLog("cImage:: %s is too large (%ux%u)", Name(), w, h);
    return true;
}

unsigned char* cImage::Allocate(uint32_t w, uint32_t h, uint8_t bytesPerPixel) const
{
    unsigned char* buffer = new (std::nothrow) unsigned char[(size_t)w * h * bytesPerPixel];
    if (!buffer)
        DebugLog("cImage:: out of memory for %s (%ux%u)", Name(), w, h);
    return buffer;
}

void cImage::Adopt(unsigned char* newPixels, uint16_t w, uint16_t h, uint8_t bytesPerPixel)
{
    delete[] pixels;
    pixels = newPixels;
    width = w;
    height = h;
    bpp = bytesPerPixel;
}

void cImage::SetWalPalette(const unsigned char rgb[768])
{
    if (rgb)
        memcpy(walPalette, rgb, 768);
    walPaletteSet = rgb != nullptr;
}

const unsigned char* cImage::WalPalette()
{
    if (!walPaletteSet)
    {
        // WAL files carry no colours of their own: use the game's colour map where there is
        // one, else a grey ramp so that the picture stays visible.
        if (!PaletteFromPCX("pics/colormap.pcx", walPalette))
            for (int i = 0; i < 256; i++)
                walPalette[i * 3] = walPalette[i * 3 + 1] = walPalette[i * 3 + 2] = (unsigned char)i;
        walPaletteSet = true;
    }
    return walPalette;
}
