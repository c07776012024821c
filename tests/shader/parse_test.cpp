#include "shadertest.h"

#include "fs/filemgr.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <sys/stat.h>

namespace
{
// Whole, and from an archive only indexed with each block parsed at its name's first lookup: the same.
std::string ParseBothWays(const std::string& script)
{
    gFileMgr.Reset();
    gShaderMgr.Reset();
    gShaderMgr.Init();
    EXPECT_TRUE(ParseText(script));
    const std::string whole = DescribeLibrary();
    const size_t records = gShaderMgr.shaders.size();
    std::vector<std::string> words;
    for (std::istringstream in(script); in >> words.emplace_back();)
    {
    }
    for (const auto& entry : gShaderMgr.index)
        words.push_back(entry.first);
    gShaderMgr.Reset();
    ZipBuilder zip;
    zip.AddFile("scripts/s.shader", script, true);
    EXPECT_TRUE(zip.Write("s.pk3") && gFileMgr.MountZip("s.pk3") && gShaderMgr.ParseAllScripts() == 1);
    for (const std::string& word : words)
        gShaderMgr.Find(word.c_str());
    EXPECT_EQ(DescribeLibrary() + std::to_string(gShaderMgr.shaders.size()), whole + std::to_string(records));
    return whole;
}

std::string Repeat(const std::string& part, int n)
{
    std::string all;
    while (n-- > 0)
        all += part;
    return all;
}
} // namespace

// Hostile blocks stay within their caps: many frames, deep nesting, floods of stages, tcmods and
// closing braces; past the budget for scripts the rest are dropped with one message.
TEST(ShaderParse, ScriptsReadWholeAndBlockByBlockInTheirOrder)
{
    const std::string longName(1020, 'n'), frames = Repeat(" f", 500);
    const std::string hostile = "frames\n{\n{\nanimmap 4" + frames + "\n}\n}\ndeep\n" + Repeat("{\n", 5000) +
                                Repeat("}\n", 5000) + "flood\n{\n" + Repeat("{\n}\n", 5000) +
                                "}\nmods\n{\n{\n" + Repeat("tcmod scroll 1 1\n", 100) + "}\n}\n" +
                                std::string(100000, '}');
    const std::string described = "deep: 0 []; flood: 0" + Repeat(" []", SHADER_MAX_STAGES) +
                                  "; frames: 0 [$animmap f100 n4" + frames + "]; mods: 800 [ f10" +
                                  Repeat(" m3:1,1,0,0,0,0", SHADER_MAX_TCMODS) + "]";
    const std::pair<std::string, std::string> cases[] = {
        {Blocks("sky=skyParms - 512 -|fog=surfaceparm trans fogParms ( 1 1 1 ) 128|port=portal|"
                "il=rgbGen identityLighting;alphaGen lightingSpecular|case=Map Foo.TGA // comment|nomap=map|"
                "diffuse=RGBGEN LIGHTINGDIFFUSE;alphaGen portal 256|lightning=rgbGen lightningDiffuse|"
                "blend=blendfunc GL_ONE_MINUS_SRC_COLOR GL_ONE_MINUS_DST_COLOR;depthfunc x;alphafunc GE128|"
                "noise=rgbGen wave noise 0.5 1 0 5.37 // style 10;alphaGen wave NOISE 0 1 0 1|"
                "tight=rgbGen Const (0.5 0.25 1)|short=rgbGen const ( 0.5 );alphaGen const;rgbgen wave sin"),
         "blend: 0 [ f66 b301,307 a206,0.5]; case: 0 [Foo.TGA]; diffuse: 400 [ c7,10]; fog: 0 []; il: 400 "
         "[ c1,4]; lightning: 400 [ c7,0]; noise: 400 [ c2,5 w6,0.5,1,0,5.37 w6,0,1,0,1]; nomap: 0 []; port: "
         "2000 []; short: 400 []; sky: 1000 []; tight: 400 [ c8,0 k0.5,0.25,1]"},
        {"d\n{\ndeformvertexes wave 100 sin 0 3 0 0.5\ndeformvertexes move 1 2 3 square 4 5 6 7\n}\n"
         "short\n{\ndeformvertexes wave 100 sin 0 3 0\ndeformvertexes move 1 2 3\n}\n"
         "sprite\n{\ndeformVertexes AutoSprite2\ndeformvertexes bulge 1 2 3\n}\n",
         "d: 40; short: 0; sprite: 8040"},
        {"// header\ntextures/x/y\n{\n\tsurfaceparm nodraw\n  {\n    map first.tga\n  }\n"
         "  {\n    map second.tga\n    blendfunc add\n  }\n}\nother\r\n{\r\n\tcull none\r\n}\r\n"
         "oneline\n{\n{ map foo }\n}\n",
         "oneline: 0 []; other: 1; textures/x/y: 80000 [first.tga] [second.tga f42 b1,1]"},
        {"dup\n{\n{\nmap a.tga\n}\n}\ndup\n{\n{\nmap b.tga\n}\n{\nmap c.tga\n}\n}\n$default\n{\n{\nmap "
         "d\n}\n}\n",
         "dup: 0 [a.tga]"},
        {"a\n{\n{\nmap a.tga\n}\nblendfunc add\n}\nb\n{\n{\nmap b.tga\n}\n}\n",
         "a: 0 [a.tga]; b: 0 [b.tga f42 b1,1]"},
        {"  // indented comment {\na // b\n{\n}\n}\n}\nlost\n{\n}\n{\n{\nfound\n{\n}\nopen\n{\n{\nmap x\n}\n",
         "b: 0; found: 0"},
        {"a\n\r{\n\n}\r\rb\n{\n}" + std::string("\0c\n{\n}\n", 7), "a: 0; b: 0"},
        {Blocks("s=map " + longName + "Zblendfunc add"), "s: 0 [" + longName + " f42 b1,1]"},
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
        EXPECT_EQ(ParseBothWays(script), expected) << script.substr(0, 200);
    EXPECT_NE(log.Debug().find("ShaderMgr:: flood : more than 32 stages"), std::string::npos);

    const std::string heavy = Repeat("{\nanimmap 4" + frames + "\n}\n", 32); // some 600 KB a block
    std::string text;
    for (int i = 0; i < 150; i++)
        text += "heavy" + std::to_string(i) + "\n{\n" + heavy + "}\n";
    gShaderMgr.Reset();
    EXPECT_FALSE(ParseText(""));
    ParseText(text);
    EXPECT_TRUE(gShaderMgr.Find("heavy50") > 0 && gShaderMgr.Find("heavy149") < 0);
    EXPECT_LE(gShaderMgr.scriptBytes, SHADER_MAX_SCRIPT_BYTES);
    EXPECT_NE(log.Debug().find("ShaderMgr:: scripts hold more than"), std::string::npos);

    // Scripts are the regular files scripts/*.shader (a FIFO is refused at once, never waited on);
    // the loose folder beats every archive, and an archive later in name order an earlier one.
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
    pak1.AddFile("Scripts/b.shader", Blocks("x=map pak1-b|y=map pak1-b"), true);
    ASSERT_TRUE(pak0.Write("game/pak0.pk3") && pak1.Write("game/pak1.pk3"));
    ASSERT_TRUE(WriteFileText("scripts/c.shader", Blocks("y=map loose-c")));
    mkdir("scripts/folder.shader", 0755);
    mkfifo("scripts/pipe.shader", 0644);
    PakBuilder pak;
    pak.AddFile("scripts/p.shader", Blocks("p=map pak-p|x=map pak-p"));
    ASSERT_TRUE(pak.Write("game/extra.pak") && gFileMgr.MountZipFolder("game") == 2 &&
                gFileMgr.MountPak("game/extra.pak"));
    // Read here or on a thread of their own while the caller goes on (its first lookup waits):
    // the same shaders and the same messages.
    std::string messages[2];
    for (bool threaded : {false, true})
    {
        gShaderMgr.Reset();
        const size_t debugStart = log.Debug().size(), logStart = log.LogText().size();
        if (threaded)
            gShaderMgr.StartAllScripts();
        else
            gShaderMgr.ParseAllScripts();
        std::string maps;
        for (const char* name : {"y", "x", "z", "only0", "p", "broken", "txt", "deep"})
            maps += gShaderMgr.Find(name) < 0 ? " -"
                                              : " " + gShaderMgr.shaders[gShaderMgr.Find(name)].stages[0].map;
        EXPECT_EQ(maps, " loose-c pak1-b pak0-a pak0-a pak-p - - -") << threaded;
        EXPECT_EQ(gShaderMgr.Settle(), 5);
        messages[threaded] = log.Debug().substr(debugStart) + log.LogText().substr(logStart);
    }
    EXPECT_EQ(messages[1], messages[0]);
    EXPECT_NE(messages[0].find("ShaderMgr:: 5 shader scripts parsed"), std::string::npos);
    EXPECT_NE(messages[0].find("can`t read script : scripts/broken.shader"), std::string::npos);
    gShaderMgr.Reset();
    gFileMgr.Reset();
}
