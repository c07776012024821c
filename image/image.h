// A decoded picture: TGA, JPEG, BMP, PCX and WAL files turned into one pixel buffer whose rows
// run from the bottom of the picture to the top, components R, G, B (and A). Every decoder checks
// the picture's sizes against IMAGE_MAX_PIXELS (8192 x 8192) as soon as its header is read, before
// it allocates anything, and the buffer it allocates is the only one the size of the picture.
#pragma once

#include <cstdint>

// Largest picture any decoder accepts: 64 M pixels (256 MB at four bytes a pixel).
const uint64_t IMAGE_MAX_PIXELS = 8192ull * 8192ull;

class memfile_t;

class cImage
{
  public:
    cImage() {}
    virtual ~cImage();
    cImage(const cImage&) = delete;
    cImage& operator=(const cImage&) = delete;

    // Decodes size bytes of data. A non-null name replaces the stored one; the format is chosen
    // by its extension. On failure, running out of memory included, the old pixels stay and a
    // message went to the debug file.
    bool Load(const unsigned char* data, uint32_t size, const char* newName);
    // Load with the data, size and name of an open file view.
    bool LoadFromFile(const memfile_t& file);
    // Frees pixels and name, zeroes the sizes.
    void Destroy();

    // Exchanges the first and third byte of every pixel (BGR to RGB) when bpp is 3 or more.
    void SwapRedBlue();
    // Exchanges row i with row height - 1 - i.
    void FlipVertically();

    // The 256 RGB entries used for WAL images. Until one is set, the first WAL decode takes
    // the palette of "pics/colormap.pcx" through the file manager, or else a grey ramp.
    // Setting null forgets the palette, so that the next WAL decode looks again.
    static void SetWalPalette(const unsigned char rgb[768]);
    static const unsigned char* WalPalette();

    unsigned char* pixels = nullptr; // width * height * bpp bytes, rows packed
    uint8_t bpp = 0;                 // bytes per pixel: 1, 3 or 4
    uint16_t height = 0;
    uint16_t width = 0;
    char* name = nullptr;

  private:
    // Load without the guard against running out of memory.
    bool Decode(const unsigned char* data, uint32_t size, const char* newName);
    bool LoadTGA(const unsigned char* data, uint32_t size);
    bool LoadJPG(const unsigned char* data, uint32_t size);
    bool LoadBMP(const unsigned char* data, uint32_t size);
    bool LoadPCX(const unsigned char* data, uint32_t size);
    bool LoadWAL(const unsigned char* data, uint32_t size);
    // Refuses pictures without pixels and pictures too large to allocate.
    bool CheckShape(uint32_t w, uint32_t h) const;
    // Allocates a buffer for w * h * bytesPerPixel bytes, or logs and answers null.
    unsigned char* Allocate(uint32_t w, uint32_t h, uint8_t bytesPerPixel) const;
    // Replaces the pixels with a decoded buffer (allocated with new[]) of the given shape.
    void Adopt(unsigned char* newPixels, uint16_t w, uint16_t h, uint8_t bytesPerPixel);
    const char* Name() const { return name ? name : ""; }
};
