// The file manager's search order, caching and mounting.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>

// Archive records that claim more bytes than their archive holds must fail before the claimed
// size is allocated: the array allocation functions of this program are replaced to see the
// largest request.
namespace
{
size_t largestArray = 0;

void* Allocate(size_t size)
{
    largestArray = std::max(largestArray, size);
    return malloc(size ? size : 1);
}
} // namespace

void* operator new[](size_t size)
{
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

namespace
{
class FileMgrTest : public ::testing::Test
{
  protected:
    FileMgrTest() : work(dir.Path()) { gFileMgr.Reset(); }
    ~FileMgrTest() override { gFileMgr.Reset(); }

    std::string Text(const char* path)
    {
        const FileEntry* entry = gFileMgr.find(path, "rb");
        return entry ? std::string(reinterpret_cast<const char*>(entry->data.get()), entry->size) : "<none>";
    }

    TempDir dir;
    ScopedWorkDir work;
    LogCapture logs;
};
} // namespace

// Loose files, then zip archives in mount order, then pak archives in mount order; empty loose
// files and members that fail to read do not count as found.
TEST_F(FileMgrTest, SearchOrder)
{
    ZipBuilder first;
    first.AddDir("x/");
    first.AddFile("x/empty.txt", "");
    first.AddFile("x/both.txt", "first zip", true);
    first.AddFile("x/loose.txt", "first zip", true);
    first.AddFile("x/bad.txt", "bad").method = 12;
    first.AddFile("x/huge.bin", "tiny", true).centralUncompressed = 0xA0000000;
    ZipBuilder second;
    second.AddFile("x/", "not a folder");
    second.AddFile("x/empty.txt", "second zip");
    second.AddFile("x/both.txt", "second zip");
    second.AddFile("x/bad.txt", "second zip");
    second.AddFile("x/empty_loose.txt", "second zip");
    PakBuilder pak;
    pak.AddFile("x/pak.txt", "");
    pak.AddFile("x/only.txt", "pak");
    pak.AddFile("x/bad.txt", "pak");
    pak.AddFile("x/big.bin", "tiny").length = 0x7ffffff0;
    PakBuilder pak2;
    pak2.AddFile("x/pak.txt", "second pak");
    ASSERT_TRUE(first.Write("first.pk3") && second.Write("second.pk3") && pak.Write("a.pak") &&
                pak2.Write("b.pak"));
    ASSERT_EQ(system("mkdir -p x"), 0);
    ASSERT_TRUE(WriteFileText("x/loose.txt", "loose") && WriteFileText("x/empty_loose.txt", ""));
    ASSERT_TRUE(gFileMgr.MountPak("a.pak"));
    ASSERT_TRUE(gFileMgr.MountZip("first.pk3"));
    ASSERT_TRUE(gFileMgr.MountZip("second.pk3"));
    ASSERT_TRUE(gFileMgr.MountPak("b.pak"));
    EXPECT_TRUE(gFileMgr.MountZip("FIRST.PK3"));
    EXPECT_TRUE(gFileMgr.MountPak("A.pak"));
    EXPECT_FALSE(gFileMgr.MountZip("nowhere.pk3"));
    EXPECT_EQ(gFileMgr.Zips().size(), 2u);
    EXPECT_EQ(gFileMgr.Paks().size(), 2u);

    EXPECT_EQ(Text("x/loose.txt"), "loose");
    EXPECT_EQ(Text("x/empty_loose.txt"), "second zip");
    EXPECT_EQ(Text("x/both.txt"), "first zip");
    EXPECT_EQ(Text("x/"), "not a folder");
    EXPECT_EQ(Text("x/empty.txt"), "second zip");
    EXPECT_EQ(Text("X/ONLY.TXT"), "pak");
    EXPECT_EQ(Text("x/pak.txt"), "second pak");
    EXPECT_EQ(Text("x/bad.txt"), "pak"); // a failed read ends the zip search
    EXPECT_EQ(Text("missing.txt"), "<none>");
    EXPECT_EQ(Text(nullptr), "<none>");
    EXPECT_EQ(Text("x"), "<none>"); // a folder is not a file

    largestArray = 0;
    EXPECT_EQ(Text("x/huge.bin"), "<none>");
    EXPECT_EQ(Text("x/big.bin"), "<none>");
    EXPECT_LT(largestArray, 1u << 20);
    EXPECT_NE(logs.Debug().find("pakfile:: could not read file infos from pakfile : x/big.bin"),
              std::string::npos);
}

TEST_F(FileMgrTest, CacheKeepsEveryPathAsAskedAndViewsShareIt)
{
    ZipBuilder z;
    z.AddFile("Models/A.md3", "member", true);
    ASSERT_TRUE(z.Write("z.pk3") && WriteFileText("loose.txt", "loose"));
    ASSERT_TRUE(gFileMgr.MountZip("z.pk3"));

    FileEntry* upper = gFileMgr.find("Models/A.md3", "rb");
    FileEntry* lower = gFileMgr.find("models/a.md3", "rb");
    ASSERT_TRUE(upper && lower);
    EXPECT_NE(upper, lower);
    EXPECT_EQ(Text("models/a.md3"), "member");
    EXPECT_EQ(gFileMgr.find("Models/A.md3", "r"), upper);

    // A cached file stays served after it is gone from disk.
    FileEntry* loose = gFileMgr.find("loose.txt", "r");
    ASSERT_EQ(remove("loose.txt"), 0);
    EXPECT_EQ(gFileMgr.find("loose.txt", "r"), loose);

    // A view on a file shares the cached bytes; a failed open leaves it empty.
    memfile_t view("loose.txt", "r");
    EXPECT_EQ(view.data, loose->data.get());
    EXPECT_EQ(view.size, 5u);
    EXPECT_FALSE(view.open("nowhere.txt", "r"));
    EXPECT_TRUE(view.data == nullptr && view.name == nullptr && view.size == 0u);
    char buffer[8];
    EXPECT_FALSE(view.ReadLine(buffer, 7));
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
                user.Write("game/Z_user.Pk3") && pak0.Write("game/pak0.pk3.bak"));
    ASSERT_TRUE(WriteFileText("game/pak2-broken.pk3", "this text is not an archive of any kind"));

    EXPECT_EQ(gFileMgr.MountZipFolder("game"), 3);
    ASSERT_EQ(gFileMgr.Zips().size(), 3u);
    EXPECT_STREQ(gFileMgr.Zips()[0]->Path(), "game/Z_user.Pk3");
    EXPECT_STREQ(gFileMgr.Zips()[1]->Path(), "game/pak1-patch.PK3");
    EXPECT_STREQ(gFileMgr.Zips()[2]->Path(), "game/pak0.pk3");
    EXPECT_NE(logs.Debug().find("cZipFile:: this file : game/pak2-broken.pk3 isn`t a zip file!"),
              std::string::npos);
    EXPECT_NE(logs.Debug().find("file_t:: can`t read from file : game/sub.pk3"), std::string::npos);

    // Later names override earlier ones; what only pak0 holds is still found.
    EXPECT_EQ(Text("models/players/a/lower_red.skin"), "user");
    EXPECT_EQ(Text("models/players/a/lower_blue.skin"), "patch");
    EXPECT_EQ(Text("only0.txt"), "pak0");
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
