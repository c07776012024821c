// The model cache and the weapon model, on loose files and archives written by the tests.
#include "fs/filemgr.h"
#include "model/md3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "support/md3builder.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace
{
std::vector<unsigned char> SmallModel(const std::vector<std::string>& tags = {"tag_x"})
{
    Md3Builder b(1);
    b.name = "header_name";
    for (const std::string& t : tags)
        b.AddTag(t);
    b.AddSurface("s", 3, "skin").triangles = {0, 1, 2};
    return b.Build();
}

class RessMgrTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        gRessMgr.Reset();
        gFileMgr.Reset();
        mkdir(dir.File("models").c_str(), 0755);
    }
    void TearDown() override
    {
        gRessMgr.Reset();
        gFileMgr.Reset();
    }
    void Write(const std::string& path, const std::vector<unsigned char>& bytes)
    {
        ASSERT_TRUE(WriteFileBytes(dir.File(path), bytes));
    }

    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    LogCapture log;
};
} // namespace

TEST_F(RessMgrTest, SharesByReferenceCountAndReloadsAfterTheLastRelease)
{
    Write("models/a.md3", SmallModel({"tag_child"}));
    Write("models/c.md3", SmallModel());
    cMd3* a = gRessMgr.Load("models/a.md3");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->name, "models/a.md3");
    EXPECT_EQ(gRessMgr.Load("models/a.md3"), a);
    EXPECT_EQ(a->refCount, 2);
    gRessMgr.Release(a);
    EXPECT_EQ(gRessMgr.Cache().size(), 1u);
    cMd3 stranger;
    gRessMgr.Release(&stranger); // not cached: ignored
    gRessMgr.Remove("models/unknown.md3");
    EXPECT_EQ(a->refCount, 1);

    // A destroyed model no longer hangs below the others.
    cMd3* child = gRessMgr.Load("models/c.md3");
    a->AttachToTag("tag_child", child);
    gRessMgr.Release(child);
    EXPECT_EQ(a->links[0], nullptr);

    gRessMgr.Release(a);
    EXPECT_TRUE(gRessMgr.Cache().empty());
    cMd3* again = gRessMgr.Load("models/a.md3");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->refCount, 1);
}

TEST_F(RessMgrTest, FailuresAreNotCachedAndKeysAreExact)
{
    EXPECT_EQ(gRessMgr.Load("models/late.md3"), nullptr);
    std::vector<unsigned char> broken = SmallModel();
    broken[0] = 'J';
    Write("models/broken.md3", broken);
    EXPECT_EQ(gRessMgr.Load("models/broken.md3"), nullptr);
    EXPECT_TRUE(gRessMgr.Cache().empty());

    // The file shows up in an archive mounted later; the archive ignores case, the cache not.
    ZipBuilder zip;
    zip.AddFile("models/late.md3", SmallModel(), true);
    ASSERT_TRUE(zip.Write(dir.File("late.pk3")));
    ASSERT_TRUE(gFileMgr.MountZip("late.pk3"));
    cMd3* late = gRessMgr.Load("models/late.md3");
    cMd3* upper = gRessMgr.Load("Models/late.md3");
    ASSERT_TRUE(late && upper);
    EXPECT_NE(late, upper);
    EXPECT_EQ(late->refCount, 1);
    EXPECT_EQ(upper->name, "Models/late.md3");
}
