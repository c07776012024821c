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

    // The one stage of shader "s" written with these lines in a fresh library.
    const cShaderStage& Stage(const std::string& lines)
    {
        SetUp();
        Parse("s\n{\n{\n" + lines + "\n}\n}\n");
        static const cShaderStage none;
        const cShader* s = Get("s");
        EXPECT_TRUE(s && s->stages.size() == 1) << lines;
        return s && s->stages.size() == 1 ? s->stages[0] : none;
    }
};
} // namespace

TEST_F(ParseTest, BlocksNamesAndStagesInOrder)
{
    ASSERT_TRUE(Parse("// header\ntextures/x/y\n{\n\tsurfaceparm nodraw\n  {\n    map first.tga\n  }\n"
                      "  {\n    map second.tga\n    blendfunc add\n  }\n}\n"
                      "other\r\n{\r\n\tcull none\r\n}\r\n"
                      "oneline\n{\n{ map foo }\n}\n"));
    EXPECT_EQ(gShaderMgr.shaders.size(), 4u);
    const cShader* s = Get("textures/x/y");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->flags, SURF_NODRAW);
    ASSERT_EQ(s->stages.size(), 2u);
    EXPECT_EQ(s->stages[0].map, "first.tga");
    EXPECT_EQ(s->stages[1].map, "second.tga");
    EXPECT_EQ(s->stages[1].flags, STAGE_BLEND | STAGE_NODEPTHWRITE);
    EXPECT_EQ(Get("other")->flags, SHADER_CULL_NONE);
    EXPECT_EQ(Get("Other"), nullptr);
    // "{ map foo }" on one line opens a stage but the map is not read
    ASSERT_EQ(Get("oneline")->stages.size(), 1u);
    EXPECT_EQ(Get("oneline")->stages[0].map, "");

    memfile_t none;
    EXPECT_FALSE(gShaderMgr.ParseScript(none));
}

TEST_F(ParseTest, FirstDefinitionWinsAndStrayKeywordsMoveOn)
{
    Parse("dup\n{\n{\nmap a.tga\n}\n}\ndup\n{\n{\nmap b.tga\n}\n{\nmap c.tga\n}\n}\n");
    Parse("dup\n{\n}\n$default\n{\n{\nmap d.tga\n}\n}\n");
    EXPECT_EQ(gShaderMgr.shaders.size(), 2u);
    ASSERT_EQ(Get("dup")->stages.size(), 1u);
    EXPECT_EQ(Get("dup")->stages[0].map, "a.tga");
    EXPECT_EQ(gShaderMgr.shaders[0].stages[0].map, "");

    // A stage keyword after the last stage lands in the first stage of the next shader.
    Parse("a\n{\n{\nmap a.tga\n}\nblendfunc add\n}\nb\n{\n{\nmap b.tga\n}\n}\n");
    EXPECT_EQ(Get("a")->stages[0].flags, 0u);
    EXPECT_EQ(Get("b")->stages[0].flags, STAGE_BLEND | STAGE_NODEPTHWRITE);
}

TEST_F(ParseTest, StageFlagsAndValues)
{
    struct sCase
    {
        const char* lines;
        uint32_t flags;
        uint16_t blendSrc, blendDst, depthFunc, alphaFunc;
    };
    const uint32_t B = STAGE_BLEND, NW = STAGE_NODEPTHWRITE, AT = STAGE_ALPHATEST, DF = STAGE_DEPTHFUNC;
    const sCase cases[] = {
        {"BLENDFUNC GL_DST_COLOR gl_Zero", B | NW, 0x306, 0, 0x203, 0x207},
        {"blendfunc gl_one_minus_dst_color gl_one_minus_src_color", B | NW, 0x307, 0x301, 0x203, 0x207},
        {"blendfunc gl_one gl_one_minus_src_colour", B | NW, 1, 0xFFFF, 0x203, 0x207},
        {"blendfunc gl_one gl_zero", 0, 1, 0, 0x203, 0x207},
        {"blendfunc blend", B | NW, 0x302, 0x303, 0x203, 0x207},
        {"blendfunc sideways", 0, 1, 0, 0x203, 0x207}, // keeps one-zero, so no blending
        {"blendfunc add\ndepthwrite", B, 1, 1, 0x203, 0x207},
        {"blendfunc add\ndepthfunc equal", B | DF, 1, 1, 0x202, 0x207},
        {"depthfunc bogus\nalphafunc GE128", DF | AT | NW, 1, 0, 0x203, 0x206},
        {"alphafunc sometimes", AT | NW, 1, 0, 0x203, 0xFFFF},
        {"map $lightmap", STAGE_LIGHTMAP, 1, 0, 0x203, 0x207},
        {"map $whiteimage\ndetail", STAGE_SPECIALMAP | STAGE_DETAIL, 1, 0, 0x203, 0x207},
        {"clampmap $x.tga", STAGE_CLAMP, 1, 0, 0x203, 0x207},
        {"tcgen environment", STAGE_TCGEN, 1, 0, 0x203, 0x207},
    };
    for (const sCase& c : cases)
    {
        const cShaderStage& st = Stage(c.lines);
        EXPECT_EQ(st.flags, c.flags) << c.lines;
        EXPECT_EQ(st.blendSrc, c.blendSrc) << c.lines;
        EXPECT_EQ(st.blendDst, c.blendDst) << c.lines;
        EXPECT_EQ(st.depthFunc, c.depthFunc) << c.lines;
        EXPECT_EQ(st.alphaFunc, c.alphaFunc) << c.lines;
    }
    EXPECT_EQ(Stage("Map Foo.TGA").map, "Foo.TGA");
    EXPECT_EQ(Stage("map x.tga // comment").map, "x.tga");
    EXPECT_EQ(Stage("map").map, "");
    EXPECT_EQ(Stage("rgbgen wave triangle 0.5 0.25 0.1 2").rgbWave.phase, 0.1f);
    EXPECT_EQ(Stage("rgbgen wave InverseSawtooth 0 1 0 1").rgbWave.func, WAVE_INVERSESAWTOOTH);
}

// Colour and alpha sources with the spellings and forms of real scripts, the other spellings
// of keywords, and the words after a colour source taken as its arguments.
TEST_F(ParseTest, RealScriptSpellingsAndSources)
{
    struct sCase
    {
        const char* lines;
        int32_t rgbGen, alphaGen;
        uint32_t shaderFlags;
        std::vector<float> color; // constColor, when the case sets it
    };
    const uint32_t C = SHADER_COLORS;
    const int32_t ID = RGBGEN_IDENTITY, DIFFUSE = RGBGEN_LIGHTNINGDIFFUSE, NONE = ALPHAGEN_NONE;
    const int32_t SPECULAR = ALPHAGEN_LIGHTNINGSPECULAR, ONE_MINUS = RGBGEN_ONEMINUSENTITY;
    const sCase cases[] = {
        {"rgbGen identityLighting", RGBGEN_IDENTITYLIGHTNING, NONE, C, {}},
        {"RGBGEN LIGHTINGDIFFUSE\nalphaGen lightingSpecular", DIFFUSE, SPECULAR, C, {}},
        {"rgbGen lightningDiffuse map x.tga", DIFFUSE, NONE, C, {}},
        {"rgbGen const ( 0.5 .25 1 )\nalphaGen const 0.45",
         RGBGEN_CONST,
         ALPHAGEN_CONST,
         C,
         {.5f, .25f, 1, .45f}},
        {"rgbGen Const (0.5 0.25 1)", RGBGEN_CONST, NONE, C, {0.5f, 0.25f, 1, 1}},
        {"rgbGen const ( 0.5 0.25 )\nalphaGen const", ID, NONE, C, {1, 1, 1, 1}},
        {"rgbgen wave sin 1", ID, NONE, C, {}}, // too short: unchanged, but still coloured
        {"rgbGen vertex\nalphaGen Vertex", RGBGEN_VERTEX, ALPHAGEN_VERTEX, C, {}},
        {"rgbGen entity\nalphaGen entity", RGBGEN_ENTITY, ALPHAGEN_ENTITY, C, {}},
        {"rgbGen oneMinusEntity\nalphaGen oneMinusEntity", ONE_MINUS, ALPHAGEN_ONEMINUSENTITY, C, {}},
        // "portal" after alphaGen is its argument, not the shader keyword.
        {"alphaGen portal 256", ID, ALPHAGEN_PORTAL, C, {}},
        {"portal", ID, NONE, SHADER_PORTAL, {}},
        {"skyParms - 512 -", ID, NONE, SHADER_SKY, {}},
        // fogParms is a keyword: it takes the line over from surfaceparm.
        {"surfaceparm trans fogParms ( 1 1 1 ) 128", ID, NONE, 0, {}},
    };
    for (const sCase& c : cases)
    {
        const cShaderStage& st = Stage(c.lines);
        EXPECT_EQ(st.rgbGen, c.rgbGen) << c.lines;
        EXPECT_EQ(st.alphaGen, c.alphaGen) << c.lines;
        EXPECT_EQ(st.map, "") << c.lines;
        EXPECT_EQ(Get("s")->flags, c.shaderFlags) << c.lines;
        if (!c.color.empty())
        {
            EXPECT_EQ(std::vector<float>(st.constColor, st.constColor + 4), c.color) << c.lines;
        }
    }
    const cShaderStage& noise =
        Stage("rgbGen wave noise 0.5 1 0 5.37 // style 10\nalphaGen wave NOISE 0 1 0 1");
    EXPECT_TRUE(noise.rgbGen == RGBGEN_WAVE && noise.rgbWave.func == WAVE_NOISE &&
                noise.rgbWave.frequency == 5.37f);
    EXPECT_TRUE(noise.alphaGen == ALPHAGEN_WAVE && noise.alphaWave.func == WAVE_NOISE);
}

TEST_F(ParseTest, AnimMapTcModAndDeformArguments)
{
    const cShaderStage& anim = Stage("animmap 10 a.tga b.tga c.tga");
    EXPECT_EQ(anim.map, "$animmap");
    EXPECT_EQ(anim.flags, STAGE_ANIMMAP);
    EXPECT_DOUBLE_EQ(anim.anim.frequency, 10.0);
    EXPECT_EQ(anim.anim.names, (std::vector<std::string>{"a.tga", "b.tga", "c.tga"}));
    EXPECT_EQ(anim.anim.textures.size(), 3u);

    const cShaderStage& st = Stage("tcmod scroll 0.5\ntcmod stretch sin 0.8 0.2 0 1\ntcmod spin 3 4\n"
                                   "tcmod transform 1 2 3 4 5 6 7 8 9\ntcmod rotate");
    EXPECT_EQ(Get("s")->flags, SHADER_TCMOD);
    ASSERT_EQ(st.tcMods.size(), 3u);
    EXPECT_EQ(st.tcMods[0].type, TCMOD_SCROLL);
    EXPECT_EQ(st.tcMods[0].params[0], 0.5f);
    const float stretch[6] = {0, 0.8f, 0.2f, 0, 1, 0};
    for (int k = 0; k < 6; k++)
        EXPECT_EQ(st.tcMods[1].params[k], stretch[k]) << k;
    EXPECT_EQ(st.tcMods[2].params[5], 6.0f);

    Parse("d\n{\ndeformvertexes wave 100 sin 0 3 0 0.5\ndeformvertexes move 1 2 3 square 4 5 6 7\n}\n"
          "short\n{\ndeformvertexes wave 100 sin 0 3 0\ndeformvertexes move 1 2 3\n}\n"
          "sprite\n{\ndeformVertexes AutoSprite2\ndeformvertexes bulge 1 2 3\n}\n");
    const cShader* d = Get("d");
    ASSERT_EQ(d->deforms.size(), 2u);
    const sDeform &w = d->deforms[0], &m = d->deforms[1];
    EXPECT_TRUE(w.type == DEFORM_WAVE && w.params[0] == 100.0f && w.wave.func == WAVE_SIN);
    EXPECT_TRUE(w.wave.amplitude == 3.0f && w.wave.frequency == 0.5f);
    EXPECT_TRUE(m.type == DEFORM_MOVE && m.params[2] == 3.0f && m.wave.func == WAVE_SQUARE);
    EXPECT_TRUE(m.wave.base == 4.0f && m.wave.frequency == 7.0f);
    EXPECT_EQ(Get("short")->flags, 0u);
    EXPECT_TRUE(Get("short")->deforms.empty());
    EXPECT_EQ(Get("sprite")->flags, SHADER_AUTOSPRITE2 | SHADER_DEFORM);
    EXPECT_TRUE(Get("sprite")->deforms.empty());
}

TEST_F(ParseTest, CommentsBracesLineEndsAndCuts)
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

    // LF CR and doubled ends count as one break; a NUL ends the data.
    SetUp();
    Parse("a\n\r{\n\n}\r\rb\n{\n}" + std::string("\0c\n{\n}\n", 7));
    EXPECT_NE(Get("a"), nullptr);
    EXPECT_NE(Get("b"), nullptr);
    EXPECT_EQ(Get("c"), nullptr);

    // A long line is cut after 1024 characters; the next one is consumed as its end and the
    // rest reads as a line of its own.
    const std::string name(1020, 'n');
    const cShaderStage& st = Stage("map " + name + "Zblendfunc add");
    EXPECT_EQ(st.map, name);
    EXPECT_EQ(st.flags, STAGE_BLEND | STAGE_NODEPTHWRITE);
}

TEST_F(ParseTest, HostileScriptsStayBounded)
{
    LogCapture log;
    std::string frames = "animmap 4";
    for (int i = 0; i < 500; i++)
        frames += " f";
    EXPECT_EQ(Stage(frames).anim.names.size(), 500u);

    // Deep nesting closes one stage; a flood of stages and tcmods is capped with one message.
    std::string text = "deep\n";
    for (int i = 0; i < 10000; i++)
        text += i < 5000 ? "{\n" : "}\n";
    text += "flood\n{\n";
    for (int i = 0; i < 5000; i++)
        text += "{ }\n";
    text += "{\n";
    for (int i = 0; i < 100; i++)
        text += "tcmod scroll 1 1\n";
    Parse(text + "}\n}\n" + std::string(100000, '}'));
    ASSERT_NE(Get("deep"), nullptr);
    EXPECT_EQ(Get("deep")->stages.size(), 1u);
    ASSERT_NE(Get("flood"), nullptr);
    EXPECT_EQ(Get("flood")->stages.size(), static_cast<size_t>(SHADER_MAX_STAGES));
    EXPECT_NE(log.Debug().find("ShaderMgr:: flood : more than 32 stages"), std::string::npos);
    EXPECT_EQ(gShaderMgr.shaders[0].name, "$default");

    // Blocks of 32 stages with 500 animmap frames each cost some 600 KB apiece: past the
    // library's budget for scripts the rest are dropped, with one message.
    std::string heavy;
    for (int i = 0; i < 32; i++)
        heavy += "{\n" + frames + "\n}\n";
    text.clear();
    for (int i = 0; i < 150; i++)
        text += "heavy" + std::to_string(i) + "\n{\n" + heavy + "}\n";
    Parse(text);
    EXPECT_NE(Get("heavy50"), nullptr);
    EXPECT_EQ(Get("heavy149"), nullptr);
    EXPECT_LE(gShaderMgr.scriptBytes, SHADER_MAX_SCRIPT_BYTES);
    EXPECT_NE(log.Debug().find("ShaderMgr:: scripts hold more than"), std::string::npos);
}
