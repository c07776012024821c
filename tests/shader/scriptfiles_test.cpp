// Reading every shader script of the loose folder and the mounted archives, in the order that
// lets the right definition of a name win.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "shader/shadermgr.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <sys/stat.h>

namespace
{
// A script defining each name with one stage whose map says where it came from.
std::string Script(const std::string& from, std::initializer_list<const char*> names)
{
    std::string text;
    for (const char* name : names)
        text += std::string(name) + "\n{\n\t{\n\t\tmap " + from + "\n\t}\n}\n";
    return text;
}

std::string MapOf(const char* name)
{
    const int i = gShaderMgr.Find(name);
    return i < 0 || gShaderMgr.shaders[i].stages.empty() ? "-" : gShaderMgr.shaders[i].stages[0].map;
}
} // namespace

TEST(ShaderScripts, EveryScriptInTheOrderOfPrecedence)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    LogCapture log;
    gFileMgr.Reset();
    gShaderMgr.Reset();
    mkdir("game", 0755);
    mkdir("scripts", 0755);

    // Archives later in name order are searched first, and so override earlier ones.
    ZipBuilder pak0, pak1;
    pak0.AddFile("scripts/B.SHADER", Script("pak0-B", {"z", "x"}), true);
    pak0.AddFile("scripts/a.shader", Script("pak0-a", {"z", "only0"}));
    pak0.AddFile("scripts/broken.shader", Script("pak0-broken", {"broken"})).method = 99;
    pak0.AddFile("scripts/readme.txt", Script("pak0-txt", {"txt"}));
    pak0.AddFile("scripts/sub/deep.shader", Script("pak0-deep", {"deep"}));
    pak0.AddFile("models.shader", Script("pak0-root", {"root"}));
    pak1.AddFile("Scripts/b.shader", Script("pak1-b", {"x", "y"}), true);
    ASSERT_TRUE(pak0.Write("game/pak0.pk3") && pak1.Write("game/pak1.pk3"));
    PakBuilder pak;
    pak.AddFile("scripts/p.shader", Script("pak-p", {"p", "x"}));
    ASSERT_TRUE(pak.Write("game/extra.pak"));
    // The loose folder beats every archive.
    ASSERT_TRUE(WriteFileText("scripts/c.shader", Script("loose-c", {"y"})));
    ASSERT_TRUE(WriteFileText("scripts/notes.txt", Script("loose-txt", {"notes"})));
    mkdir("scripts/folder.shader", 0755);
    mkfifo("scripts/pipe.shader", 0644); // refused at once, never waited on

    ASSERT_EQ(gFileMgr.MountZipFolder("game"), 2);
    ASSERT_TRUE(gFileMgr.MountPak("game/extra.pak"));
    // loose c; pak1 b; pak0 a and B (broken fails); pak p
    EXPECT_EQ(gShaderMgr.ParseAllScripts(), 5);

    const std::pair<const char*, const char*> expected[] = {
        {"y", "loose-c"}, {"x", "pak1-b"}, {"z", "pak0-a"}, {"only0", "pak0-a"},
        {"p", "pak-p"},   {"broken", "-"}, {"txt", "-"},    {"deep", "-"},
        {"root", "-"},    {"notes", "-"},  {"$default", ""}};
    for (const auto& e : expected)
        EXPECT_EQ(MapOf(e.first), e.second) << e.first;
    EXPECT_NE(log.Debug().find("ShaderMgr:: can`t read script : scripts/broken.shader in game/pak0.pk3"),
              std::string::npos);
    EXPECT_NE(log.LogText().find("ShaderMgr:: 5 shader scripts parsed"), std::string::npos);

    gShaderMgr.Reset();
    gFileMgr.Reset();
    // Nothing mounted and no loose folder: nothing parsed, and "$default" is there.
    ScopedWorkDir empty(dir.File("game"));
    EXPECT_EQ(gShaderMgr.ParseAllScripts(), 0);
    EXPECT_EQ(gShaderMgr.Find("$default"), 0);
    gShaderMgr.Reset();
}

namespace
{
// What a record holds that drawing reads: fields that only a generator uses are shown with it.
std::string Describe(const cShader& s)
{
    std::ostringstream out;
    out << s.name << " f" << s.flags << " s" << int(s.sort);
    for (const sDeform& d : s.deforms)
        out << " D" << int(d.type) << ',' << d.params[0] << ',' << d.params[1] << ',' << d.params[2] << ','
            << d.wave.func << ',' << d.wave.base << ',' << d.wave.amplitude << ',' << d.wave.frequency;
    for (const cShaderStage& st : s.stages)
    {
        out << " [" << st.map << " f" << st.flags << " b" << st.blendSrc << ',' << st.blendDst << " d"
            << st.depthFunc << " a" << st.alphaFunc << ',' << st.alphaRef << " c" << st.rgbGen << ','
            << st.alphaGen << " t" << st.tcGen;
        if (st.rgbGen == RGBGEN_WAVE)
            out << " w" << st.rgbWave.func << ',' << st.rgbWave.base << ',' << st.rgbWave.frequency;
        if (st.alphaGen == ALPHAGEN_WAVE)
            out << " v" << st.alphaWave.func << ',' << st.alphaWave.base << ',' << st.alphaWave.frequency;
        if (st.rgbGen == RGBGEN_CONST)
            out << " k" << st.constColor[0] << ',' << st.constColor[1] << ',' << st.constColor[2];
        if (st.alphaGen == ALPHAGEN_CONST)
            out << " K" << st.constColor[3];
        for (const sTcMod& m : st.tcMods)
            out << " m" << m.type << ',' << m.params[0] << ',' << m.params[1] << ',' << m.params[2];
        for (const std::string& frame : st.anim.names)
            out << " n" << frame;
        out << ']';
    }
    return out.str();
}
} // namespace

// Scripts read with every script are indexed and each block parsed when its name is first
// asked for; that must give the records a parse of the whole script gives, also for scripts
// whose blocks share state (words around braces, stage keywords outside stages, stray braces,
// cut or NUL-ended lines), and for every script of the real archive.
TEST(ShaderScripts, BlocksParsedOnFirstLookupMatchAWholeParse)
{
    std::vector<std::string> scripts = {
        "a\n{\n\tcull none\n\t{\n\t\tmap x.tga\n\t\trgbGen wave sin 0 1 0 1\n\t}\n\t{\n\t\tmap "
        "y\n\t\tblendFunc "
        "add\n\t}\n}\nb\n{\n{\nmap z\n}\n}\n",
        "a\n{\n{\nmap x\n}\n} b\n{\n{\nmap y\n}\n} cull none\nc\n{\n}\n",
        "// c\r\n\r\na // no comment\r\n{\r\n\t// { a stage in a comment }\r\n\t{ map x }\r\n}\r\nb\r\r{}\n",
        "a\n{\n{\nmap first\n}\n}\na\n{\n{\nmap second\n}\n}\n",
        "}\na\n{\n{\nmap x\n}\n}\n{\nb\n}\nc\n{\n}\n",
        "a\n{\nmap leak.tga\n}\nb\n{\n{\nblendFunc add\n}\n}\n",
        "a\n{\n{\nmap x\n}\nnone } cull front\nb\n{\n{\nmap y\n}\n}\n",
        "rgbGen identity\n{\n{\nmap x\n}\n}\nsort\n{\n}\n",
        "a\n{\n{\nmap x\n}\n}\nb\n{\n{\nmap y\n",
        "a\n{\n{\nmap x\n}\n" + std::string(1024, ' ') + "}\nb\n{\n}\n}\nc\n{\n}\n",
        std::string("a\n{\n{\nmap x\n}\n}\n\0b\n{\n}\n", 24),
        std::string("a\n{\n{\nmap x") + '\0' + "y\n}\n}\nb\n{\n}\n",
        "a { { map x } { map y blendfunc add alphaGen const 0.5 } }\nb { { animMap 2 p q } }\t}{\n",
    };
    const std::string real = RealDataFolder();
    if (!real.empty())
    {
        gFileMgr.Reset();
        ASSERT_TRUE(gFileMgr.MountZip((real + "/pak0.pk3").c_str()));
        std::vector<std::string> names;
        gFileMgr.Zips()[0]->list("scripts/*.shader", names);
        for (const std::string& name : names)
        {
            memfile_t file(("scripts/" + name).c_str(), "rb");
            scripts.emplace_back(reinterpret_cast<const char*>(file.data), file.size);
        }
    }
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    LogCapture log;
    for (size_t i = 0; i < scripts.size(); i++)
    {
        SCOPED_TRACE("script " + std::to_string(i));
        gFileMgr.Reset();
        gShaderMgr.Reset();
        memfile_t whole(reinterpret_cast<const unsigned char*>(scripts[i].data()),
                        static_cast<uint32_t>(scripts[i].size()), "whole.shader", false);
        gShaderMgr.ParseScript(whole);
        std::vector<std::pair<std::string, std::string>> expected;
        for (const auto& entry : gShaderMgr.index)
            expected.emplace_back(entry.first, Describe(gShaderMgr.shaders[entry.second]));
        const size_t records = gShaderMgr.shaders.size();

        gShaderMgr.Reset();
        ZipBuilder zip;
        zip.AddFile("scripts/s.shader", scripts[i], true);
        ASSERT_TRUE(zip.Write("s.pk3") && gFileMgr.MountZip("s.pk3"));
        ASSERT_EQ(gShaderMgr.ParseAllScripts(), 1);
        for (const auto& e : expected)
        {
            const int k = gShaderMgr.Find(e.first.c_str());
            ASSERT_GE(k, 0) << e.first;
            EXPECT_EQ(Describe(gShaderMgr.shaders[k]), e.second);
        }
        EXPECT_EQ(gShaderMgr.shaders.size(), records);
        for (const char* name : {"a", "b", "c", "front", "identity"})
        {
            const bool defined =
                std::any_of(expected.begin(), expected.end(), [&](const auto& e) { return e.first == name; });
            EXPECT_TRUE(defined || gShaderMgr.Find(name) < 0) << name;
        }
    }
    gShaderMgr.Reset();
    gFileMgr.Reset();
}
