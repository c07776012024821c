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
