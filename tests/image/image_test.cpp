// Decoders over images built in memory (layouts, orientation, fallbacks, bad input), and the
// texture manager's cache and upload choices in a real GL context; the side choice without GL.
#include "image/image.h"
#include "image/texturemgr.h"

#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>

// Arrays come from malloc here, so that the largest one a decoder asks for is seen, touched or not.
static size_t largestArray = 0;
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    largestArray = std::max(largestArray, size);
    return malloc(size ? size : 1);
}
void* operator new[](size_t size)
{
    void* p = operator new[](size, std::nothrow);
    return p ? p : throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }

namespace
{
Bytes Pixels(const cImage& i) { return Bytes(i.pixels, i.pixels + (size_t)i.width * i.height * i.bpp); }

Bytes Cut(Bytes b, size_t n) { return b.resize(n), b; }

Bytes Patch32(Bytes b, size_t at, uint32_t v) { return PutU32(b, at, v), b; }

bool Decode(cImage& i, const Bytes& f, const char* name)
{
    return i.Load(f.data(), (uint32_t)f.size(), name);
}

// The library's plain decode of a JPEG, its rows turned to our order, bottom row first.
Bytes JpegBottomFirst(const Bytes& file)
{
    unsigned w = 0, h = 0;
    Bytes top = DecodeJpegTopFirst(file, w, h), out;
    for (size_t row = top.size() / h, y = h; y-- > 0;)
        out.insert(out.end(), top.begin() + y * row, top.begin() + (y + 1) * row);
    return out;
}

// 2 x 2 BGR stored bottom row first (blue, green / red, white), and the same top row first; as RGB.
const Bytes kBgr = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
const Bytes kBgrTopFirst = {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
const Bytes kRgb = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
const Bytes kRgbTopFirst = {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0};

// A parameter of level 0 (level true) or of the texture itself.
GLint Param(GLuint tex, GLenum param, bool level = false)
{
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, tex);
    level ? glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, param, &value)
          : glGetTexParameteriv(GL_TEXTURE_2D, param, &value);
    return value;
}

GLuint Load(const Bytes& file, const char* name, GLenum wrap = GL_REPEAT, bool mipmaps = true)
{
    memfile_t view(file.data(), (uint32_t)file.size(), name, false);
    return gTextureMgr.Load(view, wrap, GL_LINEAR, GL_MODULATE, mipmaps);
}
} // namespace

// Every layout to its pixels, bottom row first; run-length packets past the last pixel are cut there.
// A WAL without a colour map is a grey ramp; a name without a known extension tries TGA, JPEG, BMP
// and PCX in turn, WAL only by its extension. A progressive JPEG keeps all its coefficients until its
// last scan: one of 2000 x 2000 with colour at full resolution shows a library allowance too small.
TEST(ImageTest, DecodesOrRefusesEachLayout)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();
    cImage::SetWalPalette(nullptr);
    const Bytes tgaRuns = {0x81, 1, 2, 3, 0x80, 4, 5, 6, 0x01, 7, 8, 9, 10, 11, 12}; // 2 + 1 + 2 for 4
    Bytes mapped = BuildTga(3, 8, 3, 1, 0, Bytes(2 + 6, 0xEE)); // an image ID of 2 bytes and a map
    mapped[0] = 2, mapped[5] = 2, mapped[7] = 24;               // of two 24-bit entries come first
    mapped.insert(mapped.end(), {1, 2, 3});
    Bytes ramp(2000 * 2000 * 3), pcxVersion = BuildPcx(1, 1, {1}), pcxPlanes = pcxVersion;
    for (size_t i = 0; i < ramp.size(); i++)
        ramp[i] = (unsigned char)(i / 3 % 2000 + i / 3 / 2000);
    pcxVersion[1] = 3, pcxPlanes[65] = 3;
    const Bytes jpegs[] = {BuildJpeg(16, 8, 3, Bytes(ramp.begin(), ramp.begin() + 16 * 8 * 3)),
                           BuildJpeg(4, 4, 1, Bytes(16, 128)), BuildJpeg(2000, 2000, 3, ramp, 95, true)};
    const struct
    {
        Bytes file;
        const char* name;
        Bytes pixels; // of one byte a pixel where there are as many as pixels
    } decoded[] = {
        {BuildTga(2, 24, 2, 2, 0, kBgr), "X.TGA", kRgb},
        {BuildTga(2, 24, 2, 2, 0x20, kBgrTopFirst), "x.Tga", kRgb},
        {BuildTga(2, 24, 2, 2, 0x28, kBgrTopFirst), "x.tga", kRgbTopFirst},
        {BuildTga(2, 32, 1, 1, 0, {10, 20, 30, 40}), "a.tga", {30, 20, 10, 40}},
        {mapped, "g.tga", {1, 2, 3}},
        {BuildTga(10, 24, 4, 1, 0, tgaRuns), "r.tga", {3, 2, 1, 3, 2, 1, 6, 5, 4, 9, 8, 7}},
        {BuildBmp(2, 2, 24, kBgr), "b.bmp", kRgb},
        {BuildBmp(3, 1, 8, {0, 2, 9}, 4), "b.BMP", {0, 0, 0, 6, 4, 2, 0, 0, 0}},
        {BuildBmp(2, 1, 8, {5, 6}), "b.bmp", {5, 6}},
        // top row entries 1 and 2 (a run of one), bottom row a run of two of entry 3
        {BuildPcx(2, 2, {1, 0xC1, 2, 0xC2, 3}), "p.pcx", {3, 252, 1, 3, 252, 1, 1, 254, 0, 2, 253, 1}},
        {BuildPcx(1, 1, {0xFF, 4}), "p.pcx", {4, 251, 2}},
        {BuildPcx(1, 1, {7}), nullptr, {7, 248, 3}},
        {BuildBmp(2, 2, 24, kBgr), "pic.dat", kRgb},
        {BuildWal(1, 2, 100, {77, 78}), "w.wal", {78, 78, 78, 77, 77, 77}},
        {jpegs[0], "j.jpg", JpegBottomFirst(jpegs[0])},
        {jpegs[1], "j.JPG", JpegBottomFirst(jpegs[1])},
        {jpegs[2], "j.jpg", JpegBottomFirst(jpegs[2])},
    };
    for (size_t n = 0; n < std::size(decoded); n++)
    {
        cImage img;
        EXPECT_TRUE(Decode(img, decoded[n].file, decoded[n].name) && Pixels(img) == decoded[n].pixels) << n;
    }

    // Refusals with (a part of) their debug message, which holds the file name; the old picture
    // stays. Sizes are checked as soon as a header is read: huge claims allocate nothing.
    const std::pair<Bytes, const char*> refused[] = {
        {BuildTga(1, 24, 2, 2, 0, kBgr), "cImage:: does not support that tga format : t.tga"},
        {BuildTga(2, 16, 2, 2, 0, kBgr), "cImage:: does not support that tga pixel description : t.tga"},
        {BuildTga(10, 32, 8000, 8000, 0, {0xFF, 1, 2, 3, 4}), "t.tga is shorter than its pixels"},
        {BuildTga(2, 32, 65535, 65535, 0, kBgr), "t.tga is too large"},
        {Patch32(BuildBmp(2, 2, 24, kBgr), 30, 1), "cImage:: don`t support rle bmp decoding : b.bmp"},
        {Patch32(BuildBmp(1, 1, 8, {0}, 2), 46, 1000000), "b.bmp has a colour table past its end"},
        {Bytes{'B', 'N', 0, 0}, "cImage:: this file : b.bmp is not a bmp"},
        {BuildBmp(2, 2, 16, Bytes(8, 0)), "does not support a bmp of 16 bits : b.bmp"},
        {Patch32(BuildBmp(2, 2, 24, kBgr), 10, 0xFFFFFFF0u), "b.bmp is shorter than its pixels"},
        {BuildPcx(2, 2, {1, 2}), "p.pcx is shorter than its pixels"}, // the palette marker is no pixel
        {BuildPcx(65535, 65535, {}), "p.pcx is too large (65535x65535)"},
        {Bytes{11, 5}, "cImage:: p.pcx is not a pcx file"},
        {pcxVersion, "cImage:: p.pcx is a wrong pcx file version (!=5)"},
        {pcxPlanes, "cImage:: don`t support 24bit pcx images : p.pcx"},
        {BuildPcx(8000, 8000, {0xFF, 1}), "p.pcx is shorter than its pixels"},
        {BuildWal(1, 1, 100, {1}), "cImage:: x.wa is not a pcx file"},
        {BuildWal(1, 1, 0xFFFFFFFFu, {1}), "w.wal is shorter than its pixels"},
        {BuildWal(0x10000, 1, 100, {1}), "w.wal has no pixels"},
        {BuildClaimingJpeg(65500, 65500), "cImage:: can`t decompress file :j.jpg"},
        {Cut(jpegs[0], 20), "cImage:: can`t read Independent JPEGGroup header from : j.jpg"},
        {Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xF0, 1, 2, 3}, "header from : j.jpg"}, // an APP1 past the end
        {Cut(jpegs[0], jpegs[0].size() - 8), "cImage:: corrupt jpeg data in j.jpg"},
    };
    cImage img;
    ASSERT_TRUE(Decode(img, jpegs[0], "old.jpg"));
    const Bytes old = Pixels(img);
    rusage atStart, atEnd;
    getrusage(RUSAGE_SELF, &atStart);
    largestArray = 0;
    for (const auto& [file, message] : refused)
    {
        const std::string text = message;
        const char* name = "x.wa";
        for (const char* n : {"t.tga", "b.bmp", "p.pcx", "w.wal", "j.jpg"})
            name = text.find(n) != std::string::npos ? n : name;
        LogCapture log;
        EXPECT_TRUE(!Decode(img, file, name) && Pixels(img) == old) << text;
        EXPECT_NE(log.Debug().find(text), std::string::npos) << text << "\n" << log.Debug();
    }
    getrusage(RUSAGE_SELF, &atEnd);
    EXPECT_LT(atEnd.ru_maxrss - atStart.ru_maxrss, 64 * 1024); // kilobytes, the JPEG library's too
    EXPECT_LT(largestArray, 1u << 20);

    // The game folder's colour map; sizes past 16 bits give the picture and pixel count their low halves.
    ASSERT_TRUE(mkdir("pics", 0755) == 0 && WriteFileBytes("pics/colormap.pcx", BuildPcx(1, 1, {0})));
    cImage::SetWalPalette(nullptr);
    ASSERT_TRUE(Decode(img, BuildWal(0x10002, 0x30001, 100, {1, 77}), "w.WAL"));
    EXPECT_TRUE(img.width == 2 && img.height == 1 && Pixels(img) == (Bytes{1, 254, 0, 77, 178, 38}));
    cImage::SetWalPalette(nullptr);
    gFileMgr.Reset();
}

// One decode and one log line per name (names are case-sensitive), the parameters of the first request;
// failures are not remembered. Mipmapped pictures keep their alpha, flat ones drop it, one byte a pixel
// goes up as luminance. Without mipmaps a side stays where the GL takes any size or for a power of two
// within the largest size, else it is the nearest power of two, upwards on a tie, at most the largest.
TEST(TextureMgrTest, CachesByNameUploadsAndSizes)
{
    ASSERT_TRUE(OpenTestGLContext());
    gTextureMgr.Destroy();
    LogCapture log;
    const Bytes rgba = BuildTga(2, 32, 2, 2, 0, Bytes(16, 100));
    const GLuint first = Load(rgba, "tex/a.tga");
    EXPECT_TRUE(first && Load(rgba, "tex/a.tga", GL_CLAMP, false) == first &&
                gTextureMgr.Find("tex/a.tga") == first);
    EXPECT_TRUE(Load(rgba, "tex/b.tga") != first && gTextureMgr.Find("tex/A.tga") == 0);
    EXPECT_TRUE(!Load({}, "tex/c.tga") && !Load(Cut(rgba, 10), "tex/c.tga") && Load(rgba, "tex/c.tga"));
    EXPECT_EQ(log.LogText(),
              "TextureMgr:: loaded tex/a.tga [0 - 2,2,4]\nTextureMgr:: loaded tex/b.tga [1 - 2,2,4]\n"
              "TextureMgr:: loaded tex/c.tga [2 - 2,2,4]\n");
    cImage colour, grey;
    ASSERT_TRUE(Decode(colour, BuildTga(2, 32, 3, 1, 0, Bytes(12, 100)), "c.tga") &&
                Decode(grey, BuildTga(3, 8, 2, 1, 0, {40, 200}), "g.tga"));
    const GLuint flat = MakeTexture(colour, GL_CLAMP, GL_NEAREST, GL_MODULATE, false);
    const GLuint mip = MakeTexture(colour, GL_CLAMP, GL_NEAREST, GL_MODULATE, true);
    const GLuint lum = MakeTexture(grey, GL_CLAMP, GL_NEAREST, GL_MODULATE, true);
    EXPECT_EQ(
        (std::vector<int>{Param(first, GL_TEXTURE_WRAP_S), Param(flat, GL_TEXTURE_MIN_FILTER),
                          Param(flat, GL_TEXTURE_WRAP_T), Param(flat, GL_TEXTURE_WIDTH, true),
                          Param(mip, GL_TEXTURE_MIN_FILTER), Param(mip, GL_TEXTURE_ALPHA_SIZE, true) > 0,
                          Param(flat, GL_TEXTURE_ALPHA_SIZE, true) > 0,
                          Param(lum, GL_TEXTURE_LUMINANCE_SIZE, true) > 0}),
        (std::vector<int>{GL_REPEAT, GL_NEAREST, GL_CLAMP, 3, GL_LINEAR_MIPMAP_NEAREST, 1, 0, 1}));
    gTextureMgr.Destroy();
    EXPECT_TRUE(gTextureMgr.Find("tex/a.tga") == 0 && !glIsTexture(first));

    const int sides[][4] = {{3, 1, 64, 3}, {64, 0, 64, 64},    {96, 0, 256, 128},   {80, 0, 256, 64},
                            {3, 0, 64, 4}, {300, 1, 256, 256}, {1000, 0, 256, 256}, {1, 0, 64, 1}};
    for (const auto& c : sides) // side, any size, largest size, expected
        EXPECT_EQ(TextureSide(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}
