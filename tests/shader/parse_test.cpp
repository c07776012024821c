// Shader scripts: each read whole and indexed with its blocks parsed at first lookup, which must
// agree; the order of precedence of every script found; hostile scripts.
#include "shadertest.h"

#include "fs/filemgr.h"
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <sys/stat.h>

namespace
{
// Reads script whole, then from an archive that ParseAllScripts only indexes, looking up every
// word of the script (or, for long scripts, the names the whole read found) so that each block is
// parsed when first asked for. Both ways must give the same records; answers them described.
std::string ParseBothWays(const std::string& script, bool everyWord)
{
    gFileMgr.Reset();
    gShaderMgr.Reset();
    gShaderMgr.Init();
    EXPECT_TRUE(ParseText(script));
    const std::string whole = DescribeLibrary();
    const size_t records = gShaderMgr.shaders.size();
    std::vector<std::string> words;
    for (std::istringstream in(script); everyWord && in >> words.emplace_back();)
    {
    }
    for (const auto& entry : gShaderMgr.index)
        words.push_back(entry.first);
    gShaderMgr.Reset();
    ZipBuilder zip;
    zip.AddFile("scripts/s.shader", script, true);
    EXPECT_TRUE(zip.Write("s.pk3") && gFileMgr.MountZip("s.pk3"));
    EXPECT_EQ(gShaderMgr.ParseAllScripts(), 1);
    for (const std::string& word : words)
        gShaderMgr.Find(word.c_str());
    EXPECT_EQ(DescribeLibrary(), whole);
    EXPECT_EQ(gShaderMgr.shaders.size(), records);
    return whole;
}
} // namespace

TEST(ShaderParse, ScriptsReadWholeAndBlockByBlock)
{
    // Hostile blocks stay within their caps: many frames, deep nesting, a flood of stages and of
    // tcmods, a flood of closing braces.
    const std::string longName(1020, 'n');
    std::string hostile = "frames\n{\n{\nanimmap 4", described = "deep: 0 []; flood: 0", frames, mods;
    for (int i = 0; i < 500; i++)
        hostile += " f", frames += " f";
    hostile += "\n}\n}\ndeep\n";
    for (int i = 0; i < 10000; i++)
        hostile += i < 5000 ? "{\n" : "}\n";
    hostile += "flood\n{\n";
    for (int i = 0; i < 5000; i++)
        hostile += "{\n}\n", described += i < SHADER_MAX_STAGES ? " []" : "";
    hostile += "}\nmods\n{\n{\n";
    for (int i = 0; i < 100; i++)
        hostile += "tcmod scroll 1 1\n", mods += i < SHADER_MAX_TCMODS ? " m3:1,1,0,0,0,0" : "";
    hostile += "}\n}\n" + std::string(100000, '}');
    described += "; frames: 0 [$animmap f100 n4" + frames + "]; mods: 800 [ f10" + mods + "]";
    const std::pair<std::string, std::string> cases[] = {
        // Stage keywords and their arguments: blending, depth and alpha test (unknown words keep
        // the defaults), maps, colour and alpha sources as real scripts spell them (the words
        // after a source are its arguments, "portal" too), animmap and tcmod.
        {Blocks("dst=blendfunc GL_DST_COLOR gl_Zero|colour=blendfunc gl_one gl_one_minus_src_colour|"
                "blend=blendfunc blend|sideways=blendfunc sideways|write=blendfunc add;depthwrite|"
                "equal=blendfunc add;depthfunc equal|ge128=depthfunc bogus;alphafunc GE128|"
                "sometimes=alphafunc sometimes|lm=map $lightmap|white=map $whiteimage;detail|"
                "clamp=clampmap $x.tga|env=tcgen environment|case=Map Foo.TGA // comment|nomap=map"),
         "blend: 0 [ f42 b302,303]; case: 0 [Foo.TGA]; clamp: 0 [$x.tga f80]; "
         "colour: 0 [ f42 b1,ffff]; dst: 0 [ f42 b306,0]; env: 80 [ f8 t1]; "
         "equal: 0 [ f22 b1,1 d202]; ge128: 0 [ f64 a206,0.5]; lm: 100 [$lightmap f400]; nomap: 0 []; "
         "sideways: 0 []; sometimes: 0 [ f44 affff,0]; white: 200 [$whiteimage fa00]; "
         "write: 0 [ f2 b1,1]"},
        {Blocks("il=rgbGen identityLighting|diffuse=RGBGEN LIGHTINGDIFFUSE;alphaGen lightingSpecular|"
                "lightning=rgbGen lightningDiffuse map x.tga|"
                "const=rgbGen const ( 0.5 .25 1 );alphaGen const 0.45|tight=rgbGen Const (0.5 0.25 1)|"
                "short=rgbGen const ( 0.5 0.25 );alphaGen const;rgbgen wave sin 1|"
                "tri=rgbgen wave triangle 0.5 0.25 0.1 2;alphaGen wave InverseSawtooth 0 1 0 1|"
                "noise=rgbGen wave noise 0.5 1 0 5.37 // style 10;alphaGen wave NOISE 0 1 0 1|"
                "vertex=rgbGen vertex;alphaGen Vertex|entity=rgbGen entity;alphaGen entity|"
                "minus=rgbGen oneMinusEntity;alphaGen oneMinusEntity|portal256=alphaGen portal 256|"
                "port=portal|sky=skyParms - 512 -|fog=surfaceparm trans fogParms ( 1 1 1 ) 128|"
                "anim=animmap 10 a.tga b.tga c.tga|"
                "mods=tcmod scroll 0.5;tcmod stretch sin 0.8 0.2 0 1;tcmod spin 3 4;tcmod rotate;tcmod "
                "transform 1 2 3 4 5 6 7 8 9"),
         "anim: 0 [$animmap f100 n10 a.tga b.tga c.tga]; const: 400 [ c8,6 k0.5,0.25,1 K0.45]; "
         "diffuse: 400 [ c7,4]; entity: 400 [ c5,8]; fog: 0 []; il: 400 [ c1,0]; "
         "lightning: 400 [ c7,0]; minus: 400 [ c6,9]; "
         "mods: 800 [ f10 m3:0.5,0,0,0,0,0 m4:0,0.8,0.2,0,1,0 m5:1,2,3,4,5,6]; "
         "noise: 400 [ c2,5 w6,0.5,1,0,5.37 w6,0,1,0,1]; port: 2000 []; portal256: 400 [ c0,10]; "
         "short: 400 []; sky: 1000 []; tight: 400 [ c8,0 k0.5,0.25,1]; "
         "tri: 400 [ c2,5 w2,0.5,0.25,0.1,2 w5,0,1,0,1]; vertex: 400 [ c3,7]"},
        // Deformations; short lines change nothing.
        {"d\n{\ndeformvertexes wave 100 sin 0 3 0 0.5\ndeformvertexes move 1 2 3 square 4 5 6 7\n}\n"
         "short\n{\ndeformvertexes wave 100 sin 0 3 0\ndeformvertexes move 1 2 3\n}\n"
         "sprite\n{\ndeformVertexes AutoSprite2\ndeformvertexes bulge 1 2 3\n}\n",
         "d: 40 D0:100,0,0/1,0,3,0.5 D3:1,2,3/3,4,5,7; short: 0; sprite: 8040"},
        // Blocks, names and stages in order; "{ map foo }" on one line opens a stage, reads no map.
        {"// header\ntextures/x/y\n{\n\tsurfaceparm nodraw\n  {\n    map first.tga\n  }\n"
         "  {\n    map second.tga\n    blendfunc add\n  }\n}\nother\r\n{\r\n\tcull none\r\n}\r\n"
         "oneline\n{\n{ map foo }\n}\n",
         "oneline: 0 []; other: 1; textures/x/y: 80000 [first.tga] [second.tga f42 b1,1]"},
        // The first definition wins; "$default" is taken; a stage keyword after the last stage
        // lands in the first stage of the next shader.
        {"dup\n{\n{\nmap a.tga\n}\n}\ndup\n{\n{\nmap b.tga\n}\n{\nmap c.tga\n}\n}\n$default\n{\n{\nmap "
         "d\n}\n}\n",
         "dup: 0 [a.tga]"},
        {"a\n{\n{\nmap a.tga\n}\nblendfunc add\n}\nb\n{\n{\nmap b.tga\n}\n}\n",
         "a: 0 [a.tga]; b: 0 [b.tga f42 b1,1]"},
        // Comments and braces: a later "//" is a word, so the last plain word names the block;
        // stray closing braces go below depth 0 and nothing closes until it is back.
        {"  // indented comment {\na // b\n{\n}\n}\n}\nlost\n{\n}\n{\n{\nfound\n{\n}\nopen\n{\n{\nmap x\n}\n",
         "b: 0; found: 0"},
        // LF CR and doubled ends count as one break; a NUL ends the data.
        {"a\n\r{\n\n}\r\rb\n{\n}" + std::string("\0c\n{\n}\n", 7), "a: 0; b: 0"},
        // A long line is cut after 1024 characters; the next one is consumed as its end and the
        // rest reads as a line of its own.
        {Blocks("s=map " + longName + "Zblendfunc add"), "s: 0 [" + longName + " f42 b1,1]"},
        // Blocks that share parser state across their borders.
        {"a\n{\n{\nmap x\n}\n} b\n{\n{\nmap y\n}\n} cull none\nc\n{\n}\n", "a: 0 [x]; b: 0 [y]; c: 0"},
        {"// c\r\n\r\na // no comment\r\n{\r\n\t// { a stage in a comment }\r\n\t{ map x }\r\n}\r\nb\r\r{}\n",
         "comment: 0 []"},
        {"a\n{\nmap leak.tga\n}\nb\n{\n{\nblendFunc add\n}\n}\n", "a: 0; b: 0 [leak.tga f42 b1,1]"},
        {"a\n{\n{\nmap x\n}\nnone } cull front\nb\n{\n{\nmap y\n}\n}\n", "a: 0 [x]; b: 1 [y]"},
        {"rgbGen identity\n{\n{\nmap x\n}\n}\nsort\n{\n}\n", ": 0; identity: 0 [x]"},
        {"a\n{\n{\nmap x\n}\n" + std::string(1024, ' ') + "}\nb\n{\n}\n}\nc\n{\n}\n", "a: 0 [x] []; c: 0"},
        {std::string("a\n{\n{\nmap x") + '\0' + "y\n}\n}\nb\n{\n}\n", ""},
        {"a { { map x } { map y blendfunc add alphaGen const 0.5 } }\nb { { animMap 2 p q } }\t}{\n",
         "a: 0 [] []; b: 0 []"},
        {hostile, described},
    };
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    LogCapture log;
    for (const auto& [script, expected] : cases)
        EXPECT_EQ(ParseBothWays(script, true), expected) << script.substr(0, 200);
    EXPECT_NE(log.Debug().find("ShaderMgr:: flood : more than 32 stages"), std::string::npos);

    // Blocks of 32 stages with 500 animmap frames each cost some 600 KB apiece: past the
    // library's budget for scripts the rest are dropped, with one message.
    std::string heavy, stage = "{\nanimmap 4";
    for (int i = 0; i < 500; i++)
        stage += " f"; // the whole line stays under the 1024 characters a line is cut at
    for (int i = 0; i < 32; i++)
        heavy += stage + "\n}\n";
    std::string text;
    for (int i = 0; i < 150; i++)
        text += "heavy" + std::to_string(i) + "\n{\n" + heavy + "}\n";
    gShaderMgr.Reset();
    memfile_t heavyFile(reinterpret_cast<const unsigned char*>(text.data()), text.size(), "heavy.shader", false);
    gShaderMgr.ParseScript(heavyFile);
    EXPECT_TRUE(gShaderMgr.Find("heavy50") > 0 && gShaderMgr.Find("heavy149") < 0);
    EXPECT_LE(gShaderMgr.scriptBytes, SHADER_MAX_SCRIPT_BYTES);
    EXPECT_NE(log.Debug().find("ShaderMgr:: scripts hold more than"), std::string::npos);
    memfile_t none;
    EXPECT_FALSE(gShaderMgr.ParseScript(none));

    // Every script of the real archive.
    const std::string real = RealDataFolder();
    if (real.empty())
        return;
    gFileMgr.Reset();
    ASSERT_TRUE(gFileMgr.MountZip((real + "/pak0.pk3").c_str()));
    std::vector<std::string> names, scripts;
    gFileMgr.Zips()[0]->list("scripts/*.shader", names);
    for (const std::string& name : names)
    {
        memfile_t file(("scripts/" + name).c_str(), "rb");
        scripts.emplace_back(reinterpret_cast<const char*>(file.data), file.size);
    }
    ASSERT_GE(scripts.size(), 50u);
    for (const std::string& script : scripts)
        ParseBothWays(script, false);
    gShaderMgr.Reset();
    gFileMgr.Reset();
}

// Scripts are the regular files scripts/*.shader; the loose folder beats every archive, and an
// archive later in name order an earlier one.
TEST(ShaderParse, EveryScriptInTheOrderOfPrecedence)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    LogCapture log;
    gFileMgr.Reset();
    gShaderMgr.Reset();
    mkdir("game", 0755);
    mkdir("scripts", 0755);
    ZipBuilder pak0, pak1;
    pak0.AddFile("scripts/B.SHADER", Blocks("z=map pak0-B|x=map pak0-B"), true);
    pak0.AddFile("scripts/a.shader", Blocks("z=map pak0-a|only0=map pak0-a"));
    pak0.AddFile("scripts/broken.shader", Blocks("broken=map pak0-broken")).method = 99;
    pak0.AddFile("scripts/readme.txt", Blocks("txt=map pak0-txt"));
    pak0.AddFile("scripts/sub/deep.shader", Blocks("deep=map pak0-deep"));
    pak0.AddFile("models.shader", Blocks("root=map pak0-root"));
    pak1.AddFile("Scripts/b.shader", Blocks("x=map pak1-b|y=map pak1-b"), true);
    ASSERT_TRUE(pak0.Write("game/pak0.pk3") && pak1.Write("game/pak1.pk3"));
    PakBuilder pak;
    pak.AddFile("scripts/p.shader", Blocks("p=map pak-p|x=map pak-p"));
    ASSERT_TRUE(pak.Write("game/extra.pak"));
    ASSERT_TRUE(WriteFileText("scripts/c.shader", Blocks("y=map loose-c")));
    mkdir("scripts/folder.shader", 0755);
    mkfifo("scripts/pipe.shader", 0644); // refused at once, never waited on

    ASSERT_EQ(gFileMgr.MountZipFolder("game"), 2);
    ASSERT_TRUE(gFileMgr.MountPak("game/extra.pak"));
    // loose c; pak1 b; pak0 a and B (broken fails); pak p
    EXPECT_EQ(gShaderMgr.ParseAllScripts(), 5);
    std::string maps;
    for (const char* name : {"y", "x", "z", "only0", "p", "broken", "txt", "deep", "root"})
    {
        const int i = gShaderMgr.Find(name);
        maps += i < 0 ? " -" : " " + gShaderMgr.shaders[i].stages[0].map;
    }
    EXPECT_EQ(maps, " loose-c pak1-b pak0-a pak0-a pak-p - - - -");
    EXPECT_NE(log.Debug().find("ShaderMgr:: can`t read script : scripts/broken.shader in game/pak0.pk3"),
              std::string::npos);
    EXPECT_NE(log.LogText().find("ShaderMgr:: 5 shader scripts parsed"), std::string::npos);

    gFileMgr.Reset();
    gShaderMgr.Reset();
}
