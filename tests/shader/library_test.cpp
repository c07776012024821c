#include "shadertest.h"
#include "fs/filemgr.h"
#include "image/texturemgr.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <cctype>
#include <cstring>
#include <sys/stat.h>

namespace
{
// Each stage's textures ([animmap frames]) by file name with wrap and min filter (hex), or number.
std::string Textures(int shader)
{
    std::ostringstream out;
    for (const cShaderStage& st : gShaderMgr.shaders[shader].stages)
    {
        out << (st.flags & STAGE_ANIMMAP ? " [" : "");
        for (uint32_t t : st.flags& STAGE_ANIMMAP ? st.anim.textures : std::vector<uint32_t>{st.texture})
        {
            GLint wrap = 0, filter = 0;
            glBindTexture(GL_TEXTURE_2D, t);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
            std::string name = std::to_string(t);
            for (const char* file :
                 {"textures/a.tga", "textures/b.jpg", "textures/c.tga", "models/x/skin.jpg"})
                if (t && gTextureMgr.Find(file) == t)
                    name = strrchr(file, '/') + 1;
            out << ' ' << name;
            if (!isdigit(name[0]))
                out << std::hex << ' ' << wrap << ',' << filter << std::dec;
        }
        out << (st.flags & STAGE_ANIMMAP ? " ]" : "");
    }
    return out.str();
}

} // namespace

// A scripted .tga falls back to the .jpg; clampmap clamps (to the edge under the game look, which
// also reads maps written from the root); a missing animmap frame keeps 0 in its slot.
TEST_F(ShaderGLTest, ScriptedAndImageShadersLoadTheirTexturesOnce)
{
    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    gFileMgr.Reset();
    for (const char* sub : {"textures", "models", "models/x"})
        mkdir(sub, 0755);
    for (const char* tga : {"textures/a.tga", "textures/c.tga"})
        WriteFileBytes(tga, BuildTga(2, 24, 2, 2, 0, Bytes(2 * 2 * 3, 128)));
    WriteFileBytes("textures/b.jpg", BuildJpeg(8, 8, 3, Bytes(8 * 8 * 3, 200)));
    WriteFileBytes("models/x/skin.jpg", BuildJpeg(8, 8, 3, Bytes(8 * 8 * 3, 50)));
    const std::string edge =
        "\n{\n{\nclampmap /textures/a.tga\n}\n{\nanimmap 1 /textures/c //textures/b\n}\n}\n";
    ParseText("console\n{\n{\nmap textures/a.tga\n}\n{\nclampmap textures/b.tga\nblendfunc add\n}\n"
              "{\nanimmap 1 textures/a.tga textures/missing.tga textures/b\n}\n{\nmap $lightmap\n}\n"
              "{\nmap $whiteimage\n}\n{\nmap textures/nothing\n}\n}\nedge" +
              edge + "gameedge" + edge);
    const int i = gShaderMgr.Find("console");
    EXPECT_EQ(Textures(i), " 0 0 [ 0 0 0 ] 0 0 0");
    for (int pass = 0; pass < 2; pass++)
    {
        EXPECT_EQ(gShaderMgr.Load("console"), i);
        EXPECT_EQ(Textures(i),
                  " a.tga 2901,2703 b.jpg 2900,2703 [ a.tga 2901,2703 0 b.jpg 2900,2703 ] 65002 65001 0");
        EXPECT_EQ(gTextureMgr.Count(), 2u);
    }
    EXPECT_EQ(Textures(gShaderMgr.Load("edge")), " 0 [ 0 0 ]");
    gTextureMgr.Destroy();
    gGameLook = true;
    EXPECT_EQ(Textures(gShaderMgr.Load("gameedge")), " a.tga 812f,2703 [ c.tga 2901,2703 b.jpg 2901,2703 ]");
    gGameLook = false;
    gTextureMgr.Destroy();

    // Image shaders; backslashes are tried as slashes. A miss is searched again only after
    // someone else changed the file layer; the library's own texture reads are no such change.
    const size_t before = gShaderMgr.shaders.size();
    EXPECT_EQ(gShaderMgr.Load("models/x/none") + gShaderMgr.Load(nullptr), 0);
    const int k = gShaderMgr.Load("models\\x\\skin");
    EXPECT_TRUE(k == static_cast<int>(before) && gShaderMgr.shaders[k].name == "models/x/skin" &&
                gShaderMgr.shaders[k].flags == (SHADER_CULL_BACK | SHADER_LOADED));
    EXPECT_EQ(Textures(k), " skin.jpg 2901,2703");
    EXPECT_TRUE(gShaderMgr.Load("models/x/skin") == k && gShaderMgr.Load("models/x/skin.tga") == k &&
                gShaderMgr.Find("models\\x\\skin") == k);
    EXPECT_TRUE(gShaderMgr.Load("models\\x\\none") == 0 && gShaderMgr.Find("models\\x\\none") == -1);
    ParseText("models/x/scripted\n{\n{\nmap textures\\a.tga\n}\n}\nreads\n{\n{\nmap textures/c\n}\n}\n");
    EXPECT_EQ(Textures(gShaderMgr.Load("models\\x\\scripted")), " a.tga 2901,2703");
    EXPECT_EQ(gShaderMgr.shaders.size(), before + 3);

    EXPECT_EQ(gShaderMgr.Load("late"), 0);
    WriteFileBytes("late.tga", BuildTga(2, 24, 2, 2, 0, Bytes(2 * 2 * 3, 128)));
    EXPECT_EQ(Textures(gShaderMgr.Load("reads")), " c.tga 2901,2703");
    EXPECT_EQ(gShaderMgr.Load("late"), 0);
    WriteFileText("other.txt", "x");
    ASSERT_NE(gFileMgr.find("other.txt", "rb"), nullptr);
    EXPECT_GT(gShaderMgr.Load("late"), 0);
    gTextureMgr.Destroy();
    gFileMgr.Reset();
}
