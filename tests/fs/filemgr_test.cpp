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
