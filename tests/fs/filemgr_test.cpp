// The file manager's search order, caching, releasing, mounting and refusals.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

// The allocation functions of this program are replaced: to see the largest array request
// (records claiming more bytes than their archive holds must fail before the claim is
// allocated), and to refuse requests above a limit, as a machine out of memory would.
namespace
{
size_t largestArray = 0;
size_t failAbove = SIZE_MAX;

void* Allocate(size_t size, bool array)
{
    if (array)
        largestArray = std::max(largestArray, size);
    return size > failAbove ? nullptr : malloc(size ? size : 1);
}
void* AllocateOrThrow(size_t size, bool array)
{
    if (void* p = Allocate(size, array))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(size_t size) { return AllocateOrThrow(size, false); }
void* operator new[](size_t size) { return AllocateOrThrow(size, true); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size, true); }
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
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
    bool Logged(const std::string& text) { return logs.Debug().find(text) != std::string::npos; }

    TempDir dir;
    ScopedWorkDir work;
    LogCapture logs;
};
} // namespace

// Loose files, then zip archives in mount order, then pak archives in mount order, names in any
// case, the first record of a name deciding for its archive; empty loose files and members that
// fail to read do not count as found.
TEST_F(FileMgrTest, Lookup)
{
    ZipBuilder first;
    first.AddDir("x/");
    first.AddFile("x/empty.txt", "");
    first.AddFile("x/both.txt", "first zip", true);
    first.AddFile("x/loose.txt", "first zip", true);
    first.AddFile("x/bad.txt", "bad").method = 12;
    first.AddFile("x/huge.bin", "tiny", true).centralUncompressed = 0xA0000000;
    first.AddFile("x/dup.txt", "first record");
    first.AddFile("X/DUP.TXT", "second record");
    ZipBuilder second;
    second.AddFile("x/", "not a folder");
    for (const char* name : {"x/empty.txt", "x/both.txt", "x/bad.txt", "x/empty_loose.txt", "x/dup.txt"})
        second.AddFile(name, "second zip");
    PakBuilder pak;
    pak.AddFile("x/pak.txt", "");
    pak.AddFile("x/only.txt", "pak");
    pak.AddFile("x/bad.txt", "pak");
    pak.AddFile("x/big.bin", "tiny").length = 0x7ffffff0;
    pak.AddFile("x/pdup.txt", "first record");
    pak.AddFile("X/PDUP.TXT", "second record");
    PakBuilder pak2;
    pak2.AddFile("x/pak.txt", "second pak");
    ASSERT_TRUE(first.Write("first.pk3") && second.Write("second.pk3") && pak.Write("a.pak") &&
                pak2.Write("b.pak"));
    ASSERT_EQ(mkdir("x", 0755), 0);
    ASSERT_TRUE(WriteFileText("x/loose.txt", "loose") && WriteFileText("x/empty_loose.txt", ""));
    ASSERT_TRUE(gFileMgr.MountPak("a.pak") && gFileMgr.MountZip("first.pk3"));
    ASSERT_TRUE(gFileMgr.MountZip("second.pk3") && gFileMgr.MountPak("b.pak"));
    EXPECT_TRUE(gFileMgr.MountZip("FIRST.PK3") && gFileMgr.MountPak("A.pak"));
    EXPECT_FALSE(gFileMgr.MountZip("nowhere.pk3"));
    EXPECT_EQ(gFileMgr.Zips().size(), 2u);
    EXPECT_EQ(gFileMgr.Paks().size(), 2u);

    const char* cases[][2] = {
        {"x/loose.txt", "loose"},      {"x/empty_loose.txt", "second zip"},
        {"x/both.txt", "first zip"},   {"X/Both.TXT", "first zip"},
        {"x/", "not a folder"},        {"x/empty.txt", "second zip"},
        {"X/ONLY.TXT", "pak"},         {"x/pak.txt", "second pak"},
        {"x/dup.TXT", "first record"}, {"x/Pdup.txt", "first record"},
        {"x/bad.txt", "pak"}, // a failed read ends the zip search
        {"missing.txt", "<none>"},     {"x/both", "<none>"},
        {"x/both.txt ", "<none>"},     {"x", "<none>"}, // a folder is not a file
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(c[0]), c[1]) << c[0];
    EXPECT_EQ(Text(nullptr), "<none>");

    largestArray = 0;
    EXPECT_EQ(Text("x/huge.bin"), "<none>");
    EXPECT_EQ(Text("x/big.bin"), "<none>");
    EXPECT_LT(largestArray, 1u << 20);
    EXPECT_TRUE(Logged("pakfile:: could not read file infos from pakfile : x/big.bin"));
}

// Every path is cached as asked and views share it, until the path is released.
TEST_F(FileMgrTest, CacheAndRelease)
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

    // A cached file stays served after it changed on disk; a view shares its bytes.
    FileEntry* loose = gFileMgr.find("loose.txt", "r");
    ASSERT_TRUE(WriteFileText("loose.txt", "fresh"));
    EXPECT_EQ(gFileMgr.find("loose.txt", "r"), loose);
    memfile_t view("loose.txt", "r");
    EXPECT_EQ(view.data, loose->data.get());
    EXPECT_EQ(view.size, 5u);

    // Released, the file is read anew, while the open view keeps the old bytes.
    EXPECT_TRUE(gFileMgr.Release("loose.txt"));
    EXPECT_FALSE(gFileMgr.Release("loose.txt") || gFileMgr.Release("LOOSE.TXT") || gFileMgr.Release(nullptr));
    EXPECT_EQ(Text("loose.txt"), "fresh");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data), view.size), "loose");
    EXPECT_TRUE(gFileMgr.Release("models/a.md3"));
    EXPECT_EQ(gFileMgr.find("Models/A.md3", "r"), upper);

    // A failed open leaves the view empty.
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
    EXPECT_TRUE(Logged("cZipFile:: this file : game/pak2-broken.pk3 isn`t a zip file!"));

    // Later names override earlier ones; what only pak0 holds is still found.
    EXPECT_EQ(Text("models/players/a/lower_red.skin"), "user");
    EXPECT_EQ(Text("models/players/a/lower_blue.skin"), "patch");
    EXPECT_EQ(Text("only0.txt"), "pak0");
    EXPECT_EQ(gFileMgr.MountZipFolder("nowhere"), 0);
    EXPECT_TRUE(Logged("FileMgr:: can`t list folder : nowhere"));

    // Listings of overlapping archives: every archive's names, or each name once in any case.
    std::vector<std::string> names;
    gFileMgr.list("models/players/a/*.skin", names);
    EXPECT_EQ(names.size(), 6u);
    gFileMgr.SetUniqueListing(true);
    names.clear();
    gFileMgr.list("models/players/a/*.skin", names);
    EXPECT_EQ(names, (std::vector<std::string>{"lower_red.skin", "LOWER_BLUE.skin", "lower_new.skin"}));
}

// FIFOs, devices and folders are never opened as archives or files, and never waited on: a
// FIFO without a writer would block a plain open for good, so the test dies if one hangs.
TEST_F(FileMgrTest, OnlyRegularFilesAreOpened)
{
    alarm(30);
    ASSERT_EQ(system("mkdir -p game/folder.pk3 && mkfifo game/fifo.pk3 game/fifo.pak x.txt"), 0);
    ZipBuilder z;
    z.AddFile("x.txt", "member");
    ASSERT_TRUE(z.Write("game/good.pk3"));
    const struct
    {
        const char* path;
        std::function<bool(const char*)> open;
    } cases[] = {
        {"game/fifo.pk3", [](const char* p) { return gFileMgr.MountZip(p); }},
        {"game/folder.pk3", [](const char* p) { return gFileMgr.MountZip(p); }},
        {"/dev/null", [](const char* p) { return gFileMgr.MountZip(p); }},
        {"game/fifo.pak", [](const char* p) { return gFileMgr.MountPak(p); }},
        {"game/fifo.pk3", [](const char* p) { return gFileMgr.find(p, "rb") != nullptr; }},
        {"game", [](const char* p) { return gFileMgr.find(p, "rb") != nullptr; }},
        {"/dev/zero", [](const char* p) { return gFileMgr.find(p, "rb") != nullptr; }},
    };
    for (const auto& c : cases)
    {
        EXPECT_FALSE(c.open(c.path)) << c.path;
        EXPECT_TRUE(Logged(std::string("file_t:: this file : ") + c.path + " isn`t a regular file!"))
            << c.path;
    }
    EXPECT_EQ(gFileMgr.MountZipFolder("game"), 1);
    EXPECT_EQ(Text("x.txt"), "member"); // the loose FIFO is passed over for the archive member
    alarm(0);
}

// Memory that cannot be had for a file, a member or a directory fails that one read, with a
// message and nothing kept, and the same read succeeds once memory is there again.
TEST_F(FileMgrTest, OutOfMemoryFailsOneRead)
{
    std::mt19937 random(7);
    std::vector<unsigned char> noise(10000);
    for (unsigned char& byte : noise)
        byte = static_cast<unsigned char>(random());
    ZipBuilder z, wide;
    z.AddFile("stored.bin", noise);
    z.AddFile("deflated.bin", noise, true);
    for (int i = 0; i < 40; i++)
        wide.AddFile(std::string(150, 'a') + std::to_string(i), "x");
    PakBuilder pak, widePak;
    pak.AddFile("pak.bin", noise);
    for (int i = 0; i < 100; i++)
        widePak.AddFile(std::to_string(i), "x");
    ASSERT_TRUE(z.Write("z.pk3") && wide.Write("wide.pk3") && pak.Write("p.pak") &&
                widePak.Write("wide.pak"));
    ASSERT_TRUE(WriteFileBytes("loose.bin", noise) && gFileMgr.MountZip("z.pk3") &&
                gFileMgr.MountPak("p.pak"));
    const uint32_t packed = gFileMgr.Zips()[0]->Entries()[1].compressedSize;
    ASSERT_GT(packed, noise.size()); // noise does not shrink: the input buffer is the larger
    auto found = [](const char* p) { return gFileMgr.find(p, "rb") != nullptr; };
    const struct
    {
        const char* path;
        size_t limit;
        std::function<bool(const char*)> read;
        const char* message;
    } cases[] = {
        {"loose.bin", 4096, found, "FileMgr:: out of memory reading loose.bin (10000 bytes)"},
        {"stored.bin", 4096, found, "FileMgr:: out of memory reading stored.bin (10000 bytes)"},
        {"deflated.bin", packed - 1, found, "cZipFile:: out of memory reading deflated.bin"},
        {"pak.bin", 4096, found, "FileMgr:: out of memory reading pak.bin (10000 bytes)"},
        {"wide.pk3", 4096, [](const char* p) { return gFileMgr.MountZip(p); },
         "cZipFile:: out of memory reading the directory of wide.pk3"},
        {"wide.pak", 4096, [](const char* p) { return gFileMgr.MountPak(p); },
         "pakfile:: out of memory reading the directory of wide.pak"},
    };
    for (const auto& c : cases)
    {
        failAbove = c.limit;
        bool read = c.read(c.path);
        failAbove = SIZE_MAX;
        EXPECT_FALSE(read) << c.path;
        EXPECT_TRUE(Logged(c.message)) << c.path << "\n" << logs.Debug();
        EXPECT_TRUE(c.read(c.path)) << c.path;
    }
    EXPECT_EQ(gFileMgr.Zips().size(), 2u);
    EXPECT_EQ(gFileMgr.Paks().size(), 2u);
}
