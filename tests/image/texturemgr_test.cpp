// Texture manager tests in a real GL context: the cache, the log line and the upload choices.
#include "image/texturemgr.h"

#include "fs/memfile.h"
#include "image/image.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
class TextureMgrTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGLContext());
        gTextureMgr.Destroy();
    }
    void TearDown() override { gTextureMgr.Destroy(); }
};

cImage* MakeImage(const Bytes& tga, const char* name)
{
    cImage* img = new cImage;
    EXPECT_TRUE(img->Load(tga.data(), (uint32_t)tga.size(), name));
    return img;
}

// A parameter of level 0 (level true) or of the texture itself.
GLint Param(GLuint tex, GLenum param, bool level = false)
{
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, tex);
    level ? glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, param, &value)
          : glGetTexParameteriv(GL_TEXTURE_2D, param, &value);
    return value;
}

int CountOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

const Bytes kRgba2x2 = BuildTga(2, 32, 2, 2, 0, Bytes(16, 100));
} // namespace

TEST_F(TextureMgrTest, OneDecodeAndLogLinePerName)
{
    LogCapture log;
    Bytes tga = kRgba2x2;
    memfile_t a(tga.data(), (uint32_t)tga.size(), "tex/a.tga", false);
    memfile_t b(tga.data(), (uint32_t)tga.size(), "tex/b.tga", false);
    GLuint first = gTextureMgr.Load(a, GL_REPEAT, GL_LINEAR, GL_MODULATE, true);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(gTextureMgr.Load(a, GL_CLAMP, GL_NEAREST, GL_MODULATE, false), first);
    GLuint second = gTextureMgr.Load(b, GL_REPEAT, GL_LINEAR, GL_MODULATE, true);
    EXPECT_NE(second, first);
    EXPECT_EQ(gTextureMgr.Find("tex/a.tga"), first);
    EXPECT_EQ(gTextureMgr.Find("tex/A.tga"), 0u); // names are case-sensitive
    // parameters of the later request were ignored
    EXPECT_EQ(Param(first, GL_TEXTURE_WRAP_S), GL_REPEAT);

    std::string text = log.LogText();
    EXPECT_EQ(CountOf(text, "TextureMgr:: loaded tex/a.tga [0 - 2,2,4]"), 1) << text;
    EXPECT_EQ(CountOf(text, "TextureMgr:: loaded tex/b.tga [1 - 2,2,4]"), 1) << text;
    EXPECT_EQ(CountOf(text, "TextureMgr:: loaded"), 2);

    // An empty file and a failed decode give 0; the failure is not remembered.
    memfile_t empty(nullptr, 0, "tex/c.tga", false);
    EXPECT_EQ(gTextureMgr.Load(empty, GL_REPEAT, GL_LINEAR, GL_MODULATE, true), 0u);
    Bytes broken(tga.begin(), tga.begin() + 10);
    memfile_t bad(broken.data(), (uint32_t)broken.size(), "tex/c.tga", false);
    EXPECT_EQ(gTextureMgr.Load(bad, GL_REPEAT, GL_LINEAR, GL_MODULATE, true), 0u);
    memfile_t good(tga.data(), (uint32_t)tga.size(), "tex/c.tga", false);
    EXPECT_NE(gTextureMgr.Load(good, GL_REPEAT, GL_LINEAR, GL_MODULATE, true), 0u);
    EXPECT_EQ(gTextureMgr.Count(), 3u);

    gTextureMgr.Destroy();
    EXPECT_EQ(gTextureMgr.Find("tex/a.tga"), 0u);
    EXPECT_FALSE(glIsTexture(first));
}

TEST_F(TextureMgrTest, UploadFormatsAndFilters)
{
    std::unique_ptr<cImage> rgba(MakeImage(kRgba2x2, "rgba.tga"));
    GLuint mip = MakeTexture(*rgba, GL_CLAMP, GL_NEAREST, GL_MODULATE, true);
    GLuint flat = MakeTexture(*rgba, GL_CLAMP, GL_NEAREST, GL_MODULATE, false);
    EXPECT_GT(Param(mip, GL_TEXTURE_ALPHA_SIZE, true), 0);
    EXPECT_EQ(Param(flat, GL_TEXTURE_ALPHA_SIZE, true), 0);
    EXPECT_EQ(Param(mip, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(Param(flat, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(Param(flat, GL_TEXTURE_WRAP_T), GL_CLAMP);
    GLuint linear = gTextureMgr.Create(*rgba, GL_REPEAT, GL_LINEAR, GL_MODULATE, true);
    EXPECT_EQ(Param(linear, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(Param(linear, GL_TEXTURE_MAG_FILTER), GL_LINEAR);

    // One byte a pixel goes up as luminance.
    std::unique_ptr<cImage> grey(MakeImage(BuildTga(3, 8, 2, 1, 0, {40, 200}), "grey.tga"));
    GLuint lum = MakeTexture(*grey, GL_CLAMP, GL_NEAREST, GL_MODULATE, true);
    EXPECT_GT(Param(lum, GL_TEXTURE_LUMINANCE_SIZE, true), 0);
    EXPECT_EQ(Param(lum, GL_TEXTURE_RED_SIZE, true), 0);
    unsigned char back[2];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, back);
    EXPECT_EQ(Bytes(back, back + 2), (Bytes{40, 200}));

    // Sides that are not powers of two stay as they are where the GL accepts them.
    std::unique_ptr<cImage> odd(MakeImage(BuildTga(2, 24, 3, 5, 0, Bytes(45, 9)), "odd.tga"));
    GLuint oddTex = MakeTexture(*odd, GL_CLAMP, GL_LINEAR, GL_MODULATE, false);
    EXPECT_EQ(Param(oddTex, GL_TEXTURE_WIDTH, true), 3);
    EXPECT_EQ(Param(oddTex, GL_TEXTURE_HEIGHT, true), 5);
    GLuint textures[] = {mip, flat, lum, oddTex};
    glDeleteTextures(4, textures);
}
