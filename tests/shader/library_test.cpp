// The shader library with real files and textures: scripted shaders load their stage textures
// once, plain images become shaders of their own, and names that lead nowhere are remembered.
#include "glfixture.h"
#include "fs/filemgr.h"
#include "image/texturemgr.h"
#include "platform/gamelook.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <sys/stat.h>

namespace
{
GLint TextureParameter(GLuint texture, GLenum name)
{
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

class ShaderLibraryTest : public ShaderGLTest
{
  protected:
    void SetUp() override
    {
        ShaderGLTest::SetUp();
        gFileMgr.Reset();
        gTextureMgr.Destroy();
        for (const char* sub : {"textures", "models", "models/x"})
            mkdir(dir.File(sub).c_str(), 0755);
        const Bytes grey(2 * 2 * 3, 128);
        WriteFileBytes(dir.File("textures/a.tga"), BuildTga(2, 24, 2, 2, 0, grey));
        WriteFileBytes(dir.File("textures/c.tga"), BuildTga(2, 24, 2, 2, 0, grey));
        WriteFileBytes(dir.File("textures/b.jpg"), BuildJpeg(8, 8, 3, Bytes(8 * 8 * 3, 200)));
        WriteFileBytes(dir.File("models/x/skin.jpg"), BuildJpeg(8, 8, 3, Bytes(8 * 8 * 3, 50)));
    }
    void TearDown() override
    {
        gTextureMgr.Destroy();
        gFileMgr.Reset();
        ShaderGLTest::TearDown();
    }

    TempDir dir;
    ScopedWorkDir work{dir.Path()};
};
} // namespace

TEST_F(ShaderLibraryTest, ScriptedShaderLoadsItsTexturesOnce)
{
    Parse("console\n{\n"
          "{\nmap textures/a.tga\n}\n"
          "{\nclampmap textures/b.tga\nblendfunc add\n}\n"
          "{\nanimmap 1 textures/a.tga textures/missing.tga textures/b\n}\n"
          "{\nmap $lightmap\n}\n{\nmap $whiteimage\n}\n{\nmap textures/nothing\n}\n}\n"
          "flat\n{\nnomipmaps\n{\nmap textures/c\n}\n}\nbare\n{\nsurfaceparm nodraw\n}\n");
    const int i = gShaderMgr.Find("console");
    ASSERT_GT(i, 0);
    EXPECT_EQ(gShaderMgr.shaders[i].stages[0].texture, 0u);

    EXPECT_EQ(gShaderMgr.Load("console"), i);
    const cShader& s = gShaderMgr.shaders[i];
    EXPECT_TRUE(s.flags & SHADER_LOADED);
    const GLuint a = gTextureMgr.Find("textures/a.tga");
    const GLuint b = gTextureMgr.Find("textures/b.jpg");
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(s.stages[0].texture, a);
    EXPECT_EQ(s.stages[0].map, "");
    // A scripted .tga name falls back to the .jpg of the same name.
    EXPECT_EQ(s.stages[1].texture, b);
    EXPECT_EQ(TextureParameter(a, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TextureParameter(b, GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(TextureParameter(a, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    // A missing frame keeps 0 in its slot.
    EXPECT_EQ(s.stages[2].anim.textures, (std::vector<uint32_t>{a, 0, b}));
    EXPECT_TRUE(s.stages[2].anim.names.empty());
    EXPECT_EQ(s.stages[3].texture, 65002u);
    EXPECT_EQ(s.stages[4].texture, 65001u);
    EXPECT_EQ(s.stages[5].texture, 0u);
    EXPECT_EQ(gTextureMgr.Count(), 2u);
    EXPECT_EQ(gShaderMgr.Load("console"), i); // the second load changes nothing
    EXPECT_EQ(gTextureMgr.Count(), 2u);
    EXPECT_EQ(s.stages[0].texture, a);

    const GLuint c = gShaderMgr.shaders[gShaderMgr.Load("flat")].stages[0].texture;
    ASSERT_NE(c, 0u);
    EXPECT_EQ(TextureParameter(c, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(gShaderMgr.shaders[gShaderMgr.Load("bare")].flags, SURF_NODRAW | SHADER_LOADED);
}

TEST_F(ShaderLibraryTest, ShadersMadeFromImages)
{
    const size_t before = gShaderMgr.shaders.size();
    EXPECT_EQ(gShaderMgr.Load("models/x/none"), 0);
    EXPECT_EQ(gShaderMgr.Load(nullptr), 0);
    EXPECT_EQ(gShaderMgr.shaders.size(), before);

    const int i = gShaderMgr.Load("models\\x\\skin"); // backslashes are tried as slashes
    ASSERT_EQ(i, static_cast<int>(before));
    const cShader& s = gShaderMgr.shaders[i];
    EXPECT_EQ(s.name, "models/x/skin");
    EXPECT_EQ(s.flags, SHADER_CULL_BACK | SHADER_LOADED);
    ASSERT_EQ(s.stages.size(), 1u);
    EXPECT_EQ(s.stages[0].texture, gTextureMgr.Find("models/x/skin.jpg"));
    EXPECT_NE(s.stages[0].texture, 0u);
    // Asking again, with slashes, backslashes or the extension, finds the same record.
    EXPECT_EQ(gShaderMgr.Load("models/x/skin"), i);
    EXPECT_EQ(gShaderMgr.Load("models/x/skin.tga"), i);
    EXPECT_EQ(gShaderMgr.Load("models/x/skin.tga"), i);
    EXPECT_EQ(gShaderMgr.Find("models\\x\\skin"), i);
    EXPECT_EQ(gShaderMgr.Load("models\\x\\none"), 0);
    EXPECT_EQ(gShaderMgr.Find("models\\x\\none"), -1);
    EXPECT_EQ(gShaderMgr.shaders.size(), before + 1);

    Parse("models/x/scripted\n{\n{\nmap textures\\a.tga\n}\n}\n");
    const int scripted = gShaderMgr.Load("models\\x\\scripted");
    ASSERT_GT(scripted, 0);
    EXPECT_EQ(gShaderMgr.shaders[scripted].name, "models/x/scripted");
    EXPECT_EQ(gShaderMgr.shaders[scripted].stages[0].texture, gTextureMgr.Find("textures/a.tga"));
    EXPECT_NE(gShaderMgr.shaders[scripted].stages[0].texture, 0u);
}

TEST_F(ShaderLibraryTest, GameLookClampsToTheEdgeAndReadsMapsFromTheRoot)
{
    Parse("edge\n{\n{\nclampmap /textures/a.tga\n}\n{\nanimmap 1 /textures/c //textures/b\n}\n}\n"
          "plain\n{\n{\nmap /textures/c\n}\n}\n");
    gGameLook = true;
    const cShader& edge = gShaderMgr.shaders[gShaderMgr.Load("edge")];
    gGameLook = false;
    const GLuint a = gTextureMgr.Find("textures/a.tga");
    ASSERT_NE(a, 0u);
    EXPECT_EQ(edge.stages[0].texture, a);
    EXPECT_EQ(TextureParameter(a, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(edge.stages[1].anim.textures, (std::vector<uint32_t>{gTextureMgr.Find("textures/c.tga"),
                                                                   gTextureMgr.Find("textures/b.jpg")}));
    EXPECT_NE(edge.stages[1].anim.textures[1], 0u);
    // Without the game look a name written from the root finds nothing.
    EXPECT_EQ(gShaderMgr.shaders[gShaderMgr.Load("plain")].stages[0].texture, 0u);
}

// A miss searches every folder and archive, so it is searched again only after someone else
// changed the file layer; the library's own texture reads are no such change.
TEST_F(ShaderLibraryTest, MissedNameIsSearchedAgainOnlyAfterTheFileLayerChanges)
{
    Parse("scripted\n{\n{\nmap textures/a\n}\n}\n");
    EXPECT_EQ(gShaderMgr.Load("late"), 0);
    // The image appears on disk, but nothing told the file layer: the miss is remembered.
    WriteFileBytes(dir.File("late.tga"), BuildTga(2, 24, 2, 2, 0, Bytes(2 * 2 * 3, 128)));
    EXPECT_NE(gShaderMgr.shaders[gShaderMgr.Load("scripted")].stages[0].texture, 0u);
    EXPECT_EQ(gShaderMgr.Load("late"), 0);
    EXPECT_EQ(gShaderMgr.Find("late"), -1);

    // Reading any new file changes the file layer, so the name is tried again.
    WriteFileText(dir.File("other.txt"), "x");
    ASSERT_NE(gFileMgr.find("other.txt", "rb"), nullptr);
    const int late = gShaderMgr.Load("late");
    EXPECT_GT(late, 0);
    EXPECT_EQ(gShaderMgr.Find("late"), late);
}
