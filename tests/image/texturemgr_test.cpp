// Texture manager tests in a real GL context: the cache, the log line and the upload choices;
// the side choice without GL.
#include "image/texturemgr.h"

#include "fs/memfile.h"
#include "image/image.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace
{
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

// One decode and one log line per name (names are case-sensitive), the parameters of the first
// request; failures are not remembered. Mipmapped pictures keep their alpha, flat ones drop it,
// one byte a pixel goes up as luminance.
TEST(TextureMgrTest, CachesByNameAndUploadsEachPixelSize)
{
    ASSERT_TRUE(OpenTestGLContext());
    gTextureMgr.Destroy();
    LogCapture log;
    const Bytes rgba = BuildTga(2, 32, 2, 2, 0, Bytes(16, 100));
    const GLuint first = Load(rgba, "tex/a.tga");
    EXPECT_TRUE(first && Load(rgba, "tex/a.tga", GL_CLAMP, false) == first &&
                gTextureMgr.Find("tex/a.tga") == first);
    EXPECT_TRUE(Load(rgba, "tex/b.tga") != first && gTextureMgr.Find("tex/A.tga") == 0);
    EXPECT_TRUE(Load({}, "tex/c.tga") == 0 && Load(Bytes(rgba.begin(), rgba.begin() + 10), "tex/c.tga") == 0);
    EXPECT_NE(Load(rgba, "tex/c.tga"), 0u);
    EXPECT_EQ(log.LogText(),
              "TextureMgr:: loaded tex/a.tga [0 - 2,2,4]\nTextureMgr:: loaded tex/b.tga [1 - 2,2,4]\n"
              "TextureMgr:: loaded tex/c.tga [2 - 2,2,4]\n");

    // A side that is no power of two stays as it is where the GL takes it.
    const Bytes odd = BuildTga(2, 32, 3, 1, 0, Bytes(12, 100)), g = BuildTga(3, 8, 2, 1, 0, {40, 200});
    cImage colour, grey;
    ASSERT_TRUE(colour.Load(odd.data(), odd.size(), "c.tga") && grey.Load(g.data(), g.size(), "g.tga"));
    const GLuint flat = MakeTexture(colour, GL_CLAMP, GL_NEAREST, GL_MODULATE, false);
    const GLuint mip = MakeTexture(colour, GL_CLAMP, GL_NEAREST, GL_MODULATE, true);
    const GLuint lum = MakeTexture(grey, GL_CLAMP, GL_NEAREST, GL_MODULATE, true);
    EXPECT_EQ((std::vector<int>{Param(first, GL_TEXTURE_WRAP_S), Param(first, GL_TEXTURE_MIN_FILTER),
                                Param(flat, GL_TEXTURE_MIN_FILTER), Param(flat, GL_TEXTURE_WRAP_T),
                                Param(flat, GL_TEXTURE_WIDTH, true), Param(mip, GL_TEXTURE_MIN_FILTER),
                                Param(mip, GL_TEXTURE_ALPHA_SIZE, true) > 0,
                                Param(flat, GL_TEXTURE_ALPHA_SIZE, true) > 0,
                                Param(lum, GL_TEXTURE_LUMINANCE_SIZE, true) > 0,
                                Param(lum, GL_TEXTURE_RED_SIZE, true) > 0}),
              (std::vector<int>{GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_NEAREST, GL_CLAMP, 3,
                                GL_LINEAR_MIPMAP_NEAREST, 1, 0, 1, 0}));
    unsigned char back[2];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, back);
    EXPECT_EQ(Bytes(back, back + 2), (Bytes{40, 200}));
    const GLuint made[] = {flat, mip, lum};
    glDeleteTextures(3, made);

    gTextureMgr.Destroy();
    EXPECT_TRUE(gTextureMgr.Find("tex/a.tga") == 0 && !glIsTexture(first));
}

// Sides without mipmaps: unchanged where the GL takes any size or for a power of two within the
// largest size, else the nearest power of two, upwards on a tie, at most the largest size.
TEST(TextureMgrTest, SideOfAnUnmipmappedTexture)
{
    const int cases[][4] = {{3, 1, 64, 3}, {64, 0, 64, 64},    {96, 0, 256, 128},   {80, 0, 256, 64},
                            {3, 0, 64, 4}, {300, 1, 256, 256}, {1000, 0, 256, 256}, {1, 0, 64, 1}};
    for (const auto& c : cases) // side, any size, largest size, expected
        EXPECT_EQ(TextureSide(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}
