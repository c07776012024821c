// One image decoder, chosen by the file name the build gives (FUZZ_IMAGE_NAME); a name without
// a known extension runs the fallback order. A decoded picture is checked and turned around.
#include "image/image.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzWorkDir(); // WAL decoding looks for the colour map below the working folder
    cImage image;
    if (!image.Load(data, static_cast<uint32_t>(size), FUZZ_IMAGE_NAME))
    {
        if (image.pixels || image.width || image.height)
            abort();
        return 0;
    }
    if (!image.pixels || !image.width || !image.height ||
        (image.bpp != 1 && image.bpp != 3 && image.bpp != 4))
        abort();
    // Touch the last byte, so a buffer smaller than its shape is caught.
    volatile unsigned char last = image.pixels[size_t(image.width) * image.height * image.bpp - 1];
    (void)last;
    image.SwapRedBlue();
    image.FlipVertically();
    return 0;
}
