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
#include <iterator>
#include <new>
#include <random>
#include <tuple>
#include <unistd.h>

// Allocations are replaced, so that requests above a limit fail as when memory runs out.
namespace
{
size_t failAbove = SIZE_MAX;

void* Allocate(size_t size) { return size > failAbove ? nullptr : malloc(size ? size : 1); }
void* AllocateOrThrow(size_t size)
{
    void* p = Allocate(size);
    return p ? p : throw std::bad_alloc();
}

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
    // Mounts path as a zip ('z') or pak ('p') archive, or looks it up as a file ('f').
    static bool Open(const char* path, char how)
    {
        return how == 'f'   ? !!gFileMgr.find(path, "rb")
               : how == 'z' ? gFileMgr.MountZip(path)
                            : gFileMgr.MountPak(path);
    }

    TempDir dir;
    ScopedWorkDir work;
    LogCapture logs;
};
} // namespace

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

// Loose files, then zips, then paks, in mount order, names in any case, the first record of a
// name deciding for its archive; empty loose files and members that fail to read are not found.
TEST_F(FileMgrTest, Lookup)
{
    ZipBuilder first, second;
    PakBuilder pak, pak2;
    const char* firstFiles[] = {"x/",        "",    "x/empty.txt", "",          "x/dup.txt",   "first record",
                                "X/DUP.TXT", "2nd", "x/both.txt",  "first zip", "x/loose.txt", "first zip"};
    for (size_t i = 0; i < std::size(firstFiles); i += 2)
        first.AddFile(firstFiles[i], firstFiles[i + 1], i > 6);
    first.AddFile("x/bad.txt", "bad").method = 12;
    first.AddFile("x/huge.bin", "tiny", true).centralUncompressed = 0xA0000000;
    second.AddFile("x/", "not a folder");
    for (const char* name : {"x/empty.txt", "x/both.txt", "x/bad.txt", "x/empty_loose.txt", "x/dup.txt"})
        second.AddFile(name, "second zip");
    const char* pakFiles[] = {"x/pak.txt",  "",    "x/only.txt", "pak",
                              "x/bad.txt",  "pak", "x/pdup.txt", "first record",
                              "X/PDUP.TXT", "2nd", "x/big.bin",  "tiny"};
    for (size_t i = 0; i < std::size(pakFiles); i += 2)
        pak.AddFile(pakFiles[i], pakFiles[i + 1]);
    pak.members.back().length = 0x7ffffff0;
    pak2.AddFile("x/pak.txt", "second pak");
    ASSERT_TRUE(first.Write("first.pk3") && second.Write("second.pk3") && pak.Write("a.pak") &&
                pak2.Write("b.pak") && system("mkdir x") == 0);
    ASSERT_TRUE(WriteFileText("x/loose.txt", "loose") && WriteFileText("x/empty_loose.txt", ""));
    ASSERT_TRUE(gFileMgr.MountPak("a.pak") && gFileMgr.MountZip("first.pk3"));
    ASSERT_TRUE(gFileMgr.MountZip("second.pk3") && gFileMgr.MountPak("b.pak"));
    EXPECT_TRUE(gFileMgr.MountZip("FIRST.PK3") && gFileMgr.MountPak("A.pak") &&
                !gFileMgr.MountZip("none.pk3"));
    EXPECT_EQ(gFileMgr.Zips().size() + gFileMgr.Paks().size(), 4u);

    // A failed read ends the zip search (bad.txt); a folder is not a file (x); records claiming
    // more than their archive holds fail before the claim is allocated (huge.bin, big.bin).
    const char* cases[] = {"x/loose.txt", "loose",        "x/empty_loose.txt", "second zip",
                           "x/both.txt",  "first zip",    "X/Both.TXT",        "first zip",
                           "x/",          "not a folder", "x/empty.txt",       "second zip",
                           "X/ONLY.TXT",  "pak",          "x/pak.txt",         "second pak",
                           "x/dup.TXT",   "first record", "x/Pdup.txt",        "first record",
                           "x/bad.txt",   "pak",          "missing.txt",       "<none>",
                           "x/both",      "<none>",       "x/both.txt ",       "<none>",
                           "x",           "<none>",       "x/huge.bin",        "<none>",
                           "x/big.bin",   "<none>"};
    failAbove = 1 << 20;
    for (size_t i = 0; i < std::size(cases); i += 2) // path, then what it finds
        EXPECT_EQ(Text(cases[i]), cases[i + 1]) << cases[i];
    failAbove = SIZE_MAX;
    EXPECT_TRUE(Logged("pakfile:: could not read file infos from pakfile : x/big.bin"));
    EXPECT_FALSE(Logged("out of memory"));
}

// Every path is cached as asked and views share it, until the path is released.
TEST_F(FileMgrTest, CacheAndRelease)
{
    ZipBuilder z;
    z.AddFile("Models/A.md3", "member", true);
    ASSERT_TRUE(z.Write("z.pk3") && WriteFileText("loose.txt", "loose") && gFileMgr.MountZip("z.pk3"));
    FileEntry* upper = gFileMgr.find("Models/A.md3", "rb");
    FileEntry* lower = gFileMgr.find("models/a.md3", "rb");
    ASSERT_TRUE(upper && lower && upper != lower && Text("models/a.md3") == "member" &&
                !gFileMgr.find(nullptr, "r"));
    EXPECT_EQ(gFileMgr.find("Models/A.md3", "r"), upper);

    // A cached file stays served after it changed on disk; a view shares its bytes.
    FileEntry* loose = gFileMgr.find("loose.txt", "r");
    ASSERT_TRUE(WriteFileText("loose.txt", "fresh"));
    EXPECT_EQ(gFileMgr.find("loose.txt", "r"), loose);
    memfile_t view("loose.txt", "r");
    EXPECT_TRUE(view.data == loose->data.get() && view.size == 5u);

    // Released, the file is read anew, while the open view keeps the old bytes.
    EXPECT_TRUE(gFileMgr.Release("loose.txt") && gFileMgr.Release("models/a.md3"));
    EXPECT_FALSE(gFileMgr.Release("loose.txt") || gFileMgr.Release("LOOSE.TXT") || gFileMgr.Release(nullptr));
    EXPECT_EQ(Text("loose.txt"), "fresh");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data), view.size), "loose");
    EXPECT_EQ(gFileMgr.find("Models/A.md3", "r"), upper);

    char buffer[8]; // a failed open leaves the view empty
    EXPECT_FALSE(view.open("nowhere.txt", "r") || view.ReadLine(buffer, 7) || view.data || view.name ||
                 view.size);
}

// Later names go first; FIFOs, devices and folders are never opened nor waited on.
TEST_F(FileMgrTest, MountsEveryRegularArchiveOfAFolderLaterNamesFirst)
{
    alarm(30); // a FIFO without a writer blocks a plain open for good: the test dies instead
    ASSERT_EQ(system("mkdir -p game/folder.pk3 && mkfifo game/fifo.pk3 game/fifo.pak x.txt"), 0);
    ZipBuilder pak0, patch, user;
    for (const char* name : {"models/players/a/lower_red.skin", "models/players/a/lower_blue.skin", "x.txt"})
        pak0.AddFile(name, "pak0");
    for (const char* name : {"models/players/a/lower_red.skin", "models/players/a/LOWER_BLUE.skin",
                             "models/players/a/lower_new.skin"})
        patch.AddFile(name, "patch");
    user.AddFile("models/players/a/lower_red.skin", "user", true);
    ASSERT_TRUE(pak0.Write("game/pak0.pk3") && patch.Write("game/pak1-patch.PK3") &&
                user.Write("game/Z_user.Pk3") && pak0.Write("game/pak0.pk3.bak"));
    ASSERT_TRUE(WriteFileText("game/pak2-broken.pk3", "this text is not an archive of any kind"));
    const char* refused[][2] = {{"game/fifo.pk3", "z"}, {"game/folder.pk3", "z"}, {"/dev/null", "z"},
                                {"game/fifo.pak", "p"}, {"game/fifo.pk3", "f"},   {"/dev/zero", "f"}};
    for (const auto& c : refused)
        EXPECT_TRUE(!Open(c[0], *c[1]) &&
                    Logged(std::string("file_t:: this file : ") + c[0] + " isn`t a regular file!"))
            << c[0];

    EXPECT_EQ(gFileMgr.MountZipFolder("game"), 3);
    ASSERT_EQ(gFileMgr.Zips().size(), 3u);
    EXPECT_STREQ(gFileMgr.Zips()[0]->Path(), "game/Z_user.Pk3");
    EXPECT_STREQ(gFileMgr.Zips()[1]->Path(), "game/pak1-patch.PK3");
    EXPECT_STREQ(gFileMgr.Zips()[2]->Path(), "game/pak0.pk3");
    EXPECT_TRUE(Logged("cZipFile:: this file : game/pak2-broken.pk3 isn`t a zip file!"));
    EXPECT_EQ(Text("models/players/a/lower_red.skin"), "user");
    EXPECT_EQ(Text("models/players/a/lower_blue.skin"), "patch");
    EXPECT_EQ(Text("x.txt"), "pak0"); // the loose FIFO is passed over for the archive member
    EXPECT_TRUE(gFileMgr.MountZipFolder("nowhere") == 0 && Logged("FileMgr:: can`t list folder : nowhere"));
    alarm(0);

    // Listings of overlapping archives: every archive's names, or each name once in any case.
    std::vector<std::string> names, unique;
    gFileMgr.list("models/players/a/*.skin", names);
    gFileMgr.SetUniqueListing(true);
    gFileMgr.list("models/players/a/*.skin", unique);
    EXPECT_EQ(names.size(), 6u);
    EXPECT_EQ(unique, (std::vector<std::string>{"lower_red.skin", "LOWER_BLUE.skin", "lower_new.skin"}));
}

// Memory that cannot be had fails that one read with a message, and nothing is kept that would
// stop the same read from succeeding once memory is there again.
TEST_F(FileMgrTest, OutOfMemoryFailsOneRead)
{
    std::vector<unsigned char> noise(10000);
    std::generate(noise.begin(), noise.end(), std::mt19937(7));
    ZipBuilder z;
    PakBuilder widePak;
    z.AddFile("stored.bin", noise);
    z.AddFile("deflated.bin", noise, true);
    for (int i = 0; i < 100; i++)
        z.AddFile(std::string(60, 'a') + std::to_string(i), "x"), widePak.AddFile(std::to_string(i), "x");
    ASSERT_TRUE(z.Write("z.pk3") && widePak.Write("wide.pak") && WriteFileBytes("loose.bin", noise));
    // Noise does not shrink, so inflating it needs an input buffer larger than its output.
    const std::tuple<const char*, char, size_t, const char*> cases[] = {
        {"z.pk3", 'z', 4096, "cZipFile:: out of memory reading the directory of z.pk3"},
        {"wide.pak", 'p', 4096, "pakfile:: out of memory reading the directory of wide.pak"},
        {"loose.bin", 'f', 4096, "FileMgr:: out of memory reading loose.bin (10000 bytes)"},
        {"stored.bin", 'f', 4096, "FileMgr:: out of memory reading stored.bin (10000 bytes)"},
        {"deflated.bin", 'f', noise.size(), "cZipFile:: out of memory reading deflated.bin"}};
    for (const auto& [path, how, limit, message] : cases)
    {
        failAbove = limit;
        bool opened = Open(path, how);
        failAbove = SIZE_MAX;
        EXPECT_TRUE(!opened && Logged(message) && Open(path, how)) << path;
    }
    EXPECT_EQ(gFileMgr.Zips().size() + gFileMgr.Paks().size(), 2u);
}
