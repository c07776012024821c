// The file manager's search order, caching and mounting.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/pakfile.h"
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
class FileMgrTest : public ::testing::Test
{
  protected:
    FileMgrTest() : work(dir.Path()) { gFileMgr.Reset(); }
    ~FileMgrTest() override { gFileMgr.Reset(); }

    std::string Text(const FileEntry* entry)
    {
        return entry ? std::string(reinterpret_cast<const char*>(entry->data.get()), entry->size) : "<none>";
    }

    TempDir dir;
    ScopedWorkDir work;
    LogCapture logs;
};
} // namespace

TEST_F(FileMgrTest, LooseFileWinsOverArchiveAndEmptyLooseFileDoesNot)
{
    ZipBuilder z;
    z.AddFile("a.txt", "from zip", true);
    z.AddFile("b.txt", "zip b");
    ASSERT_TRUE(z.Write("one.pk3"));
    ASSERT_TRUE(WriteFileText("a.txt", "loose"));
    ASSERT_TRUE(WriteFileText("b.txt", ""));
    ASSERT_TRUE(gFileMgr.MountZip("one.pk3"));

    EXPECT_EQ(Text(gFileMgr.find("a.txt", "rb")), "loose");
    EXPECT_EQ(Text(gFileMgr.find("b.txt", "rb")), "zip b");
    EXPECT_EQ(gFileMgr.find("missing.txt", "rb"), nullptr);
    EXPECT_EQ(gFileMgr.find(nullptr, "rb"), nullptr);
}

TEST_F(FileMgrTest, SearchOrderAcrossArchives)
{
    ZipBuilder first;
    first.AddDir("x/");
    first.AddFile("x/empty.txt", "");
    first.AddFile("x/both.txt", "first zip", true);
    ZipBuilder second;
    second.AddFile("x/", "not a folder");
    second.AddFile("x/empty.txt", "second zip");
    second.AddFile("x/both.txt", "second zip");
    PakBuilder pak;
    pak.AddFile("x/pak.txt", "");
    pak.AddFile("x/only.txt", "pak");
    PakBuilder pak2;
    pak2.AddFile("x/pak.txt", "second pak");
    ASSERT_TRUE(first.Write("first.pk3") && second.Write("second.pk3") && pak.Write("a.pak") &&
                pak2.Write("b.pak"));
    ASSERT_TRUE(gFileMgr.MountPak("a.pak"));
    ASSERT_TRUE(gFileMgr.MountZip("first.pk3"));
    ASSERT_TRUE(gFileMgr.MountZip("second.pk3"));
    ASSERT_TRUE(gFileMgr.MountPak("b.pak"));
    EXPECT_TRUE(gFileMgr.MountZip("FIRST.PK3"));
    EXPECT_TRUE(gFileMgr.MountPak("A.pak"));
    EXPECT_EQ(gFileMgr.Zips().size(), 2u);
    EXPECT_EQ(gFileMgr.Paks().size(), 2u);
    EXPECT_FALSE(gFileMgr.MountZip("nowhere.pk3"));
    EXPECT_EQ(gFileMgr.Zips().size(), 2u);

    EXPECT_EQ(Text(gFileMgr.find("x/both.txt", "rb")), "first zip");
    EXPECT_EQ(Text(gFileMgr.find("x/", "rb")), "not a folder");
    EXPECT_EQ(Text(gFileMgr.find("x/empty.txt", "rb")), "second zip");
    EXPECT_EQ(Text(gFileMgr.find("X/ONLY.TXT", "rb")), "pak");
    EXPECT_EQ(Text(gFileMgr.find("x/pak.txt", "rb")), "second pak");
}

TEST_F(FileMgrTest, CacheKeepsEveryPathAsAsked)
{
    ZipBuilder z;
    z.AddFile("Models/A.md3", "member", true);
    ASSERT_TRUE(z.Write("z.pk3"));
    ASSERT_TRUE(WriteFileText("loose.txt", "loose"));
    ASSERT_TRUE(gFileMgr.MountZip("z.pk3"));

    FileEntry* upper = gFileMgr.find("Models/A.md3", "rb");
    FileEntry* lower = gFileMgr.find("models/a.md3", "rb");
    ASSERT_TRUE(upper && lower);
    EXPECT_NE(upper, lower);
    EXPECT_EQ(Text(upper), Text(lower));
    EXPECT_EQ(gFileMgr.find("Models/A.md3", "r"), upper);

    // A cached file stays served after it is gone from disk.
    FileEntry* loose = gFileMgr.find("loose.txt", "r");
    ASSERT_EQ(remove("loose.txt"), 0);
    EXPECT_EQ(gFileMgr.find("loose.txt", "r"), loose);
    // A folder is not a file.
    ASSERT_EQ(system("mkdir -p folder"), 0);
    EXPECT_EQ(gFileMgr.find("folder", "r"), nullptr);
}

TEST_F(FileMgrTest, FailedReadEndsTheZipSearch)
{
    ZipBuilder bad;
    bad.AddFile("f.txt", "bad").method = 12;
    ZipBuilder good;
    good.AddFile("f.txt", "good zip");
    good.AddFile("g.txt", "good g");
    PakBuilder pak;
    pak.AddFile("f.txt", "pak");
    ASSERT_TRUE(bad.Write("bad.pk3") && good.Write("good.pk3") && pak.Write("p.pak"));
    ASSERT_TRUE(gFileMgr.MountZip("bad.pk3") && gFileMgr.MountZip("good.pk3") && gFileMgr.MountPak("p.pak"));
    EXPECT_EQ(Text(gFileMgr.find("f.txt", "rb")), "pak");
    EXPECT_EQ(Text(gFileMgr.find("g.txt", "rb")), "good g");
}

TEST_F(FileMgrTest, MountsEveryArchiveOfAFolderLaterNamesFirst)
{
    ASSERT_EQ(system("mkdir -p game/sub.pk3"), 0);
    ZipBuilder pak0;
    pak0.AddFile("models/players/a/lower_red.skin", "pak0");
    pak0.AddFile("models/players/a/lower_blue.skin", "pak0");
    pak0.AddFile("only0.txt", "pak0");
    ZipBuilder patch;
    patch.AddFile("models/players/a/lower_red.skin", "patch");
    patch.AddFile("models/players/a/LOWER_BLUE.skin", "patch");
    patch.AddFile("models/players/a/lower_new.skin", "patch");
    ZipBuilder user;
    user.AddFile("models/players/a/lower_red.skin", "user", true);
    ASSERT_TRUE(pak0.Write("game/pak0.pk3") && patch.Write("game/pak1-patch.PK3") &&
                user.Write("game/Z_user.Pk3"));
    ASSERT_TRUE(WriteFileText("game/pak2-broken.pk3", "this text is not an archive of any kind"));
    ASSERT_TRUE(WriteFileText("game/readme.txt", "text"));
    ASSERT_TRUE(pak0.Write("game/pak0.pk3.bak"));

    EXPECT_EQ(gFileMgr.MountZipFolder("game"), 3);
    ASSERT_EQ(gFileMgr.Zips().size(), 3u);
    EXPECT_STREQ(gFileMgr.Zips()[0]->Path(), "game/Z_user.Pk3");
    EXPECT_STREQ(gFileMgr.Zips()[1]->Path(), "game/pak1-patch.PK3");
    EXPECT_STREQ(gFileMgr.Zips()[2]->Path(), "game/pak0.pk3");
    EXPECT_NE(logs.Debug().find("cZipFile:: this file : game/pak2-broken.pk3 isn`t a zip file!"),
              std::string::npos);
    EXPECT_NE(logs.Debug().find("file_t:: can`t read from file : game/sub.pk3"), std::string::npos);

    // Later names override earlier ones; what only pak0 holds is still found.
    EXPECT_EQ(Text(gFileMgr.find("models/players/a/lower_red.skin", "r")), "user");
    EXPECT_EQ(Text(gFileMgr.find("models/players/a/lower_blue.skin", "r")), "patch");
    EXPECT_EQ(Text(gFileMgr.find("only0.txt", "r")), "pak0");
    EXPECT_EQ(gFileMgr.MountZipFolder("nowhere"), 0);
    EXPECT_NE(logs.Debug().find("FileMgr:: can`t list folder : nowhere"), std::string::npos);

    // Listings of overlapping archives: every archive's names, or each name once in any case.
    std::vector<std::string> names;
    gFileMgr.list("models/players/a/*.skin", names);
    EXPECT_EQ(names.size(), 6u);
    gFileMgr.SetUniqueListing(true);
    names.clear();
    gFileMgr.list("models/players/a/*.skin", names);
    EXPECT_EQ(names, (std::vector<std::string>{"lower_red.skin", "LOWER_BLUE.skin", "lower_new.skin"}));
}
