// cImage: buffer handling and the choice of decoder by file name.
#include "image/image.h"

#include "app/log.h"
#include "fs/memfile.h"

#include <cstring>

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

bool cImage::Load(const unsigned char*, uint32_t, const char* newName)
{
    return DebugLog("cImage:: no decoder yet : %s", newName ? newName : "");
}

void cImage::SetWalPalette(const unsigned char*) {}
const unsigned char* cImage::WalPalette() { return nullptr; }
void cImage::SwapRedBlue() {}
void cImage::FlipVertically() {}
