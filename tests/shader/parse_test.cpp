// Shader script reading: blocks, keywords and their arguments, line handling, hostile input.
#include "fs/memfile.h"
#include "shader/shadermgr.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace
{
class ParseTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        gShaderMgr.Reset();
        gShaderMgr.Init();
    }
    void TearDown() override { gShaderMgr.Reset(); }

    bool Parse(const std::string& text)
    {
        memfile_t file(reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<uint32_t>(text.size()), "test.shader", false);
        bool ok = gShaderMgr.ParseScript(file);
        EXPECT_EQ(file.position, file.size);
        return ok;
    }

    const cShader* Get(const char* name)
    {
        int i = gShaderMgr.Find(name);
        return i < 0 ? nullptr : &gShaderMgr.shaders[i];
    }

    // The one stage of "s" after parsing "s { { lines } }".
    const cShaderStage* Stage(const std::string& lines)
    {
        gShaderMgr.Reset();
        gShaderMgr.Init();
        Parse("s\n{\n{\n" + lines + "\n}\n}\n");
        const cShader* s = Get("s");
        if (!s || s->stages.size() != 1)
            return nullptr;
        return &s->stages[0];
    }
};
} // namespace

TEST_F(ParseTest, BlocksNamesAndStagesInOrder)
{
    ASSERT_TRUE(Parse("// header\n"
                      "textures/x/y\n"
                      "{\n"
                      "\tsurfaceparm nodraw\n"
                      "  {\n    map first.tga\n  }\n"
                      "  {\n    map second.tga\n    blendfunc add\n  }\n"
                      "}\n"
                      "other\r\n{\r\n\tcull none\r\n}\r\n"));
    EXPECT_EQ(gShaderMgr.shaders.size(), 3u);
    const cShader* s = Get("textures/x/y");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(gShaderMgr.Find("textures/x/y"), 1);
    EXPECT_EQ(s->flags, SURF_NODRAW);
    EXPECT_EQ(s->sort, 3);
    ASSERT_EQ(s->stages.size(), 2u);
    EXPECT_EQ(s->stages[0].map, "first.tga");
    EXPECT_EQ(s->stages[1].map, "second.tga");
    EXPECT_EQ(s->stages[0].flags, 0u);
    EXPECT_EQ(s->stages[1].flags, STAGE_BLEND | STAGE_NODEPTHWRITE);
    ASSERT_NE(Get("other"), nullptr);
    EXPECT_EQ(Get("other")->flags, SHADER_CULL_NONE);
    EXPECT_EQ(Get("Other"), nullptr); // names are case-sensitive
}

TEST_F(ParseTest, EmptyFileIsRefused)
{
    memfile_t none;
    EXPECT_FALSE(gShaderMgr.ParseScript(none));
    EXPECT_TRUE(Parse("// nothing but a comment"));
    EXPECT_EQ(gShaderMgr.shaders.size(), 1u);
}

TEST_F(ParseTest, OneLineStageLosesItsMap)
{
    Parse("s\n{\n{ map foo }\n}\n");
    ASSERT_NE(Get("s"), nullptr);
    ASSERT_EQ(Get("s")->stages.size(), 1u);
    EXPECT_EQ(Get("s")->stages[0].map, "");
}

TEST_F(ParseTest, KeywordCaseIgnoredArgumentCaseKept)
{
    const cShaderStage* st = Stage("Map Foo.TGA\nBLENDFUNC GL_DST_COLOR gl_Zero");
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->map, "Foo.TGA");
    EXPECT_EQ(st->blendSrc, 0x306);
    EXPECT_EQ(st->blendDst, 0);
}

TEST_F(ParseTest, FirstDefinitionWinsAcrossFiles)
{
    Parse("dup\n{\n{\nmap a.tga\n}\n}\ndup\n{\n{\nmap b.tga\n}\n{\nmap c.tga\n}\n}\n");
    Parse("dup\n{\n}\n$default\n{\n{\nmap d.tga\n}\n}\n");
    EXPECT_EQ(gShaderMgr.shaders.size(), 2u);
    ASSERT_EQ(Get("dup")->stages.size(), 1u);
    EXPECT_EQ(Get("dup")->stages[0].map, "a.tga");
    EXPECT_EQ(gShaderMgr.shaders[0].name, "$default");
    EXPECT_EQ(gShaderMgr.shaders[0].stages[0].map, "");
}

TEST_F(ParseTest, BlendFunctions)
{
    const cShaderStage* st = Stage("blendfunc gl_one gl_one_minus_src_color");
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->blendSrc, 1);
    EXPECT_EQ(st->blendDst, 0xFFFF);
    EXPECT_EQ(st->flags, STAGE_BLEND | STAGE_NODEPTHWRITE);

    st = Stage("blendfunc gl_one gl_zero");
    EXPECT_EQ(st->flags, 0u);

    st = Stage("blendfunc filter");
    EXPECT_EQ(st->blendSrc, 0x306);
    EXPECT_EQ(st->blendDst, 0);
    st = Stage("blendfunc blend");
    EXPECT_EQ(st->blendSrc, 0x302);
    EXPECT_EQ(st->blendDst, 0x303);
    // An unknown single word keeps the one-zero factors, so the flags go again.
    st = Stage("blendfunc sideways");
    EXPECT_EQ(st->flags, 0u);
}

TEST_F(ParseTest, DepthWriteFlags)
{
    EXPECT_EQ(Stage("blendfunc add\ndepthwrite")->flags, STAGE_BLEND);
    const cShaderStage* st = Stage("blendfunc add\ndepthfunc equal");
    EXPECT_EQ(st->flags, STAGE_BLEND | STAGE_DEPTHFUNC);
    EXPECT_EQ(st->depthFunc, 0x202);
    // A blend after the depth function sets the no-write flag again.
    st = Stage("depthfunc bogus\nalphafunc GE128");
    EXPECT_EQ(st->flags, STAGE_DEPTHFUNC | STAGE_ALPHATEST | STAGE_NODEPTHWRITE);
    EXPECT_EQ(st->depthFunc, 0x203);
    EXPECT_EQ(st->alphaFunc, 0x206);
    EXPECT_FLOAT_EQ(st->alphaRef, 0.5f);
    st = Stage("alphafunc sometimes");
    EXPECT_EQ(st->alphaFunc, 0xFFFF);
    EXPECT_FLOAT_EQ(st->alphaRef, 0.0f);
}

TEST_F(ParseTest, MapsAndAnimMaps)
{
    const cShaderStage* st = Stage("animmap 10 a.tga b.tga c.tga");
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->map, "$animmap");
    EXPECT_EQ(st->flags, STAGE_ANIMMAP);
    EXPECT_DOUBLE_EQ(st->anim.frequency, 10.0);
    EXPECT_EQ(st->anim.names, (std::vector<std::string>{"a.tga", "b.tga", "c.tga"}));
    EXPECT_EQ(st->anim.textures, (std::vector<uint32_t>{0, 0, 0}));

    EXPECT_EQ(Stage("map $lightmap")->flags, STAGE_LIGHTMAP);
    EXPECT_EQ(Get("s")->flags, SHADER_LIGHTMAP);
    EXPECT_EQ(Stage("map $whiteimage")->flags, STAGE_SPECIALMAP);
    EXPECT_EQ(Get("s")->flags, SHADER_SPECIALMAP);
    st = Stage("clampmap $x.tga");
    EXPECT_EQ(st->flags, STAGE_CLAMP);
    EXPECT_EQ(st->map, "$x.tga");
    EXPECT_EQ(Stage("map")->map, ""); // too few arguments
    EXPECT_EQ(Stage("map x.tga // comment")->map, "x.tga");
}

TEST_F(ParseTest, TcModParameters)
{
    const cShaderStage* st = Stage("tcmod scroll 0.5\ntcmod stretch sin 0.8 0.2 0 1\ntcmod spin 3 4");
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->flags, STAGE_TCMOD);
    EXPECT_EQ(Get("s")->flags, SHADER_TCMOD);
    ASSERT_EQ(st->tcMods.size(), 2u);
    EXPECT_EQ(st->tcMods[0].type, TCMOD_SCROLL);
    EXPECT_FLOAT_EQ(st->tcMods[0].params[0], 0.5f);
    EXPECT_FLOAT_EQ(st->tcMods[0].params[1], 0.0f);
    EXPECT_EQ(st->tcMods[1].type, TCMOD_STRETCH);
    const float stretch[6] = {0, 0.8f, 0.2f, 0, 1, 0};
    for (int k = 0; k < 6; k++)
        EXPECT_FLOAT_EQ(st->tcMods[1].params[k], stretch[k]) << k;

    st = Stage("tcmod transform 1 2 3 4 5 6 7 8 9");
    ASSERT_EQ(st->tcMods.size(), 1u);
    EXPECT_FLOAT_EQ(st->tcMods[0].params[5], 6.0f);
    EXPECT_TRUE(Stage("tcmod rotate")->tcMods.empty());
}

TEST_F(ParseTest, DeformLines)
{
    Parse("s\n{\ndeformvertexes wave 100 sin 0 3 0 0.5\ndeformvertexes move 1 2 3 square 4 5 6 7\n"
          "deformvertexes normal 2 bogus 1 2 3 4\n}\n"
          "short\n{\ndeformvertexes wave 100 sin 0 3 0\ndeformvertexes move 1 2 3\n}\n"
          "sprite\n{\ndeformVertexes AutoSprite2\ndeformvertexes bulge 1 2 3\n}\n");
    const cShader* s = Get("s");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->flags, SHADER_DEFORM);
    ASSERT_EQ(s->deforms.size(), 3u);
    const sDeform& w = s->deforms[0];
    EXPECT_EQ(w.type, DEFORM_WAVE);
    EXPECT_FLOAT_EQ(w.params[0], 100.0f);
    EXPECT_EQ(w.wave.func, WAVE_SIN);
    EXPECT_FLOAT_EQ(w.wave.base, 0.0f);
    EXPECT_FLOAT_EQ(w.wave.amplitude, 3.0f);
    EXPECT_FLOAT_EQ(w.wave.phase, 0.0f);
    EXPECT_FLOAT_EQ(w.wave.frequency, 0.5f);
    const sDeform& m = s->deforms[1];
    EXPECT_EQ(m.type, DEFORM_MOVE);
    EXPECT_FLOAT_EQ(m.params[2], 3.0f);
    EXPECT_EQ(m.wave.func, WAVE_SQUARE);
    EXPECT_FLOAT_EQ(m.wave.base, 4.0f);
    EXPECT_FLOAT_EQ(m.wave.frequency, 7.0f);
    EXPECT_EQ(s->deforms[2].type, DEFORM_NORMAL);
    EXPECT_EQ(s->deforms[2].wave.func, WAVE_NONE);

    EXPECT_EQ(Get("short")->flags, 0u);
    EXPECT_TRUE(Get("short")->deforms.empty());
    EXPECT_EQ(Get("sprite")->flags, SHADER_AUTOSPRITE2 | SHADER_DEFORM);
    EXPECT_TRUE(Get("sprite")->deforms.empty());
}

TEST_F(ParseTest, ColourSourcesAndShaderKeywords)
{
    const cShaderStage* st = Stage("rgbgen wave triangle 0.5 0.25 0.1 2\nalphagen lightningspecular");
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->rgbGen, RGBGEN_WAVE);
    EXPECT_EQ(st->rgbWave.func, WAVE_TRIANGLE);
    EXPECT_FLOAT_EQ(st->rgbWave.phase, 0.1f);
    EXPECT_FLOAT_EQ(st->rgbWave.frequency, 2.0f);
    EXPECT_EQ(st->alphaGen, ALPHAGEN_LIGHTNINGSPECULAR);
    EXPECT_EQ(Get("s")->flags, SHADER_COLORS);

    EXPECT_EQ(Stage("rgbgen identity")->rgbGen, RGBGEN_IDENTITY);
    EXPECT_EQ(Get("s")->flags, 0u);
    // An unknown or short value still marks the shader as coloured, leaving the source alone.
    st = Stage("rgbgen wave sin 1");
    EXPECT_EQ(st->rgbGen, RGBGEN_IDENTITY);
    EXPECT_EQ(Get("s")->flags, SHADER_COLORS);

    Parse("k\n{\nsort additive\ncull back\ncull front\nnopicmip\nnomipmaps\npolygonoffset\nportal\n"
          "skyparams - 512 -\nsurfaceparm water\nsurfaceparm lava\ntesssize 64\n{\ntcgen environment\n}\n}\n"
          "n\n{\nsort 5\n}\n");
    const cShader* k = Get("k");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->sort, 9);
    EXPECT_EQ(k->flags, SHADER_CULL_BACK | SHADER_CULL_FRONT | SHADER_NOPICMIP | SHADER_NOMIPMAPS |
                            SHADER_POLYGONOFFSET | SHADER_PORTAL | SHADER_SKY | SURF_WATER |
                            SHADER_ENVIRONMENT);
    EXPECT_EQ(k->stages[0].tcGen, TCGEN_ENVIRONMENT);
    EXPECT_EQ(k->stages[0].flags, STAGE_TCGEN);
    EXPECT_EQ(Get("n")->sort, 3);
}

TEST_F(ParseTest, KeywordsApplyWhereverTheyStand)
{
    // A stage keyword after the last stage lands in the first stage of the next shader.
    Parse("a\n{\n{\nmap a.tga\n}\nblendfunc add\n}\nb\n{\n{\nmap b.tga\n}\n}\n");
    EXPECT_EQ(Get("a")->stages[0].flags, 0u);
    EXPECT_EQ(Get("b")->stages[0].flags, STAGE_BLEND | STAGE_NODEPTHWRITE);
}

TEST_F(ParseTest, CommentsBracesAndUnfinishedShaders)
{
    Parse("  // indented comment {\n"
          "a // b\n{\n}\n"               // a later "//" is a word: the last plain word, b, names it
          "}\n}\nlost\n{\n}\n"           // depth -2, then -1 and -2 again: nothing closes
          "{\n{\nfound\n{\n}\n"          // back to 0, and found closes normally
          "open\n{\n{\nmap x.tga\n}\n"); // never closed
    EXPECT_EQ(gShaderMgr.shaders.size(), 3u);
    EXPECT_NE(Get("b"), nullptr);
    EXPECT_NE(Get("found"), nullptr);
    EXPECT_EQ(Get("a"), nullptr);
    EXPECT_EQ(Get("lost"), nullptr);
    EXPECT_EQ(Get("open"), nullptr);
}

TEST_F(ParseTest, LineEndsAndCuts)
{
    // LF CR and doubled ends count as one break; a NUL ends the data.
    std::string text = "a\n\r{\n\n}\r\rb\n{\n}";
    text += std::string("\0c\n{\n}\n", 7);
    Parse(text);
    EXPECT_NE(Get("a"), nullptr);
    EXPECT_NE(Get("b"), nullptr);
    EXPECT_EQ(Get("c"), nullptr);

    // A long line is cut after 1024 characters; the next one is consumed as its end and the
    // rest reads as a line of its own.
    const std::string name(1020, 'n');
    const cShaderStage* st = Stage("map " + name + "Zblendfunc add");
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->map, name);
    EXPECT_EQ(st->flags, STAGE_BLEND | STAGE_NODEPTHWRITE);
}

TEST_F(ParseTest, HostileScriptsStayBounded)
{
    LogCapture log;
    std::string frames = "animmap 4";
    for (int i = 0; i < 500; i++)
        frames += " f";
    const cShaderStage* st = Stage(frames);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->anim.names.size(), 500u);
    EXPECT_EQ(st->anim.textures.size(), 500u);

    // Deep nesting closes one stage; a flood of stages and tcmods is capped with one message.
    std::string deep = "deep\n";
    for (int i = 0; i < 5000; i++)
        deep += "{\n";
    for (int i = 0; i < 5000; i++)
        deep += "}\n";
    std::string flood = "flood\n{\n";
    for (int i = 0; i < 5000; i++)
        flood += "{ }\n";
    flood += "{\n";
    for (int i = 0; i < 100; i++)
        flood += "tcmod scroll 1 1\n";
    flood += "}\n}\n";
    Parse(deep + flood + std::string(100000, '}'));
    ASSERT_NE(Get("deep"), nullptr);
    EXPECT_EQ(Get("deep")->stages.size(), 1u);
    ASSERT_NE(Get("flood"), nullptr);
    EXPECT_EQ(Get("flood")->stages.size(), static_cast<size_t>(SHADER_MAX_STAGES));
    EXPECT_NE(log.Debug().find("ShaderMgr:: flood : more than 32 stages"), std::string::npos);

    // Random bytes: no crash, no hang, and "$default" stays first.
    unsigned seed = 12345;
    for (int round = 0; round < 50; round++)
    {
        std::string junk(4096, ' ');
        for (char& c : junk)
        {
            seed = seed * 1103515245u + 12345u;
            const char alphabet[] = "{}\n\r\t /$abcmaptcodrfig0123456789.";
            c = (seed >> 16) % 7 == 0 ? static_cast<char>(seed >> 8)
                                      : alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        EXPECT_TRUE(Parse(junk));
    }
    EXPECT_EQ(gShaderMgr.shaders[0].name, "$default");
}
