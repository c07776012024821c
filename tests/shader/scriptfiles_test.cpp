// Reading every shader script of the loose folder and the mounted archives, in the order that
// lets the right definition of a name win.
#include "fs/filemgr.h"
#include "shader/shadermgr.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

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
