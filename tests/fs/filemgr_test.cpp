// The file manager's search order, caching, releasing, mounting and refusals, and the line
// reader of its views.
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
// Found files stay cached under the exact path asked, until released.
TEST_F(FileMgrTest, LookupCacheAndRelease)
{
    ZipBuilder first, second;
    PakBuilder pak, pak2;
    const char* firstFiles[] = {"x/",        "",    "x/empty.txt", "",          "x/dup.txt",   "first record",
                                "X/DUP.TXT", "2nd", "x/both.txt",  "first zip", "x/loose.txt", "first zip"};
    for (size_t i = 0; i < std::size(firstFiles); i += 2)
        first.AddFile(firstFiles[i], firstFiles[i + 1], i > 6);
    first.AddFile("x/bad.txt", "bad").method = 12;
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

    // A failed read ends the zip search (bad.txt); a folder is not a file (x); a record claiming
    // more than its archive holds fails before the claim is allocated (big.bin).
    const char* cases[] = {"x/loose.txt", "loose",        "x/empty_loose.txt", "second zip",
                           "x/both.txt",  "first zip",    "X/Both.TXT",        "first zip",
                           "x/",          "not a folder", "x/empty.txt",       "second zip",
                           "X/ONLY.TXT",  "pak",          "x/pak.txt",         "second pak",
                           "x/dup.TXT",   "first record", "x/Pdup.txt",        "first record",
                           "x/bad.txt",   "pak",          "missing.txt",       "<none>",
                           "x/both",      "<none>",       "x/both.txt ",       "<none>",
                           "x",           "<none>",       "x/big.bin",         "<none>"};
    failAbove = 1 << 20;
    for (size_t i = 0; i < std::size(cases); i += 2) // path, then what it finds
        EXPECT_EQ(Text(cases[i]), cases[i + 1]) << cases[i];
    failAbove = SIZE_MAX;
    EXPECT_TRUE(Logged("pakfile:: could not read file infos from pakfile : x/big.bin"));
    EXPECT_FALSE(Logged("out of memory"));

    // A cached file stays served after it changed on disk and a view shares its bytes; released,
    // it is read anew while the open view keeps the old bytes.
    FileEntry* loose = gFileMgr.find("x/loose.txt", "r");
    memfile_t view("x/loose.txt", "r");
    ASSERT_TRUE(WriteFileText("x/loose.txt", "fresh"));
    EXPECT_TRUE(gFileMgr.find("x/loose.txt", "r") == loose && view.data == loose->data.get() &&
                gFileMgr.find("X/Both.TXT", "r") != gFileMgr.find("x/both.txt", "r") &&
                !gFileMgr.find(nullptr, "r"));
    EXPECT_TRUE(gFileMgr.Release("x/loose.txt"));
    EXPECT_FALSE(gFileMgr.Release("x/loose.txt") || gFileMgr.Release("X/BOTH.TXT") ||
                 gFileMgr.Release(nullptr));
    EXPECT_EQ(Text("x/loose.txt") + std::string(reinterpret_cast<const char*>(view.data), view.size),
              "freshloose");
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
    for (const char* name : {"a/red.skin", "a/blue.skin", "x.txt"})
        pak0.AddFile(name, "pak0");
    for (const char* name : {"a/red.skin", "a/BLUE.skin"})
        patch.AddFile(name, "patch");
    user.AddFile("a/red.skin", "user", true);
    ASSERT_TRUE(pak0.Write("game/pak0.pk3") && patch.Write("game/pak1-patch.PK3") &&
                user.Write("game/Z_user.Pk3") && pak0.Write("game/pak0.pk3.bak") &&
                WriteFileText("game/pak2-broken.pk3", "not an archive of any kind"));
    const char* refused[][2] = {{"game/fifo.pk3", "z"}, {"game/folder.pk3", "z"}, {"/dev/null", "z"},
                                {"game/fifo.pak", "p"}, {"game/fifo.pk3", "f"},   {"/dev/zero", "f"}};
    for (const auto& c : refused)
        EXPECT_TRUE(!Open(c[0], *c[1]) &&
                    Logged(std::string("file_t:: this file : ") + c[0] + " isn`t a regular file!"))
            << c[0];

    EXPECT_EQ(gFileMgr.MountZipFolder("game"), 3);
    EXPECT_TRUE(Logged("cZipFile:: this file : game/pak2-broken.pk3 isn`t a zip file!"));
    // the loose FIFO x.txt is passed over for the archive member
    EXPECT_EQ(Text("a/red.skin") + Text("a/blue.skin") + Text("x.txt"), "userpatchpak0");
    EXPECT_TRUE(gFileMgr.MountZipFolder("nowhere") == 0 && Logged("FileMgr:: can`t list folder : nowhere"));
    alarm(0);
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

// Every line the reader yields from a text, each followed by '|'. Lines end at CR, LF, CR LF,
// LF CR or LF LF, and at a NUL for good; long lines are cut at the limit, and the byte after a
// cut is taken as the line end, with a CR or LF following it.
TEST(MemfileTest, LineEndsAndLongLines)
{
    const std::string head(1024, 'x'), z(475, 'z');
    const std::pair<std::string, std::string> cases[] = {
        {std::string("a\r\nb\n\nc", 7), "a|b|c|"},
        {"a\n\rb\r\rc\n", "a|b|c|"},
        {"a\n\n\nb", "a||b|"},
        {std::string("a\0b\nc", 5), "a|"},
        {std::string("\0", 1), "|"},
        {"", ""},
        {head + "Y" + z + "\nlast", head + "|" + z + "|last|"},
        {head + "Y\nnext", head + "|next|"},
        {head, head + "|"}};
    for (const auto& [text, expected] : cases)
    {
        memfile_t view(reinterpret_cast<const unsigned char*>(text.data()), text.size(), "t", false);
        std::string lines;
        char buffer[MEMFILE_MAX_LINE + 1];
        while (view.ReadLine(buffer, MEMFILE_MAX_LINE) && lines.size() < 10000)
            lines += buffer + std::string("|");
        EXPECT_EQ(lines, expected) << text.substr(0, 20);
        EXPECT_FALSE(view.ReadLine(buffer, 4)); // and nothing more after the end
    }

    // A limit above the staging area is held to it; a smaller limit cuts earlier.
    const std::string text(2000, 'q');
    memfile_t view(reinterpret_cast<const unsigned char*>(text.data()), text.size(), "t", false);
    std::vector<char> big(4096, 0x55);
    char small[11];
    ASSERT_TRUE(view.ReadLine(big.data(), 4000) && view.ReadLine(small, 10));
    EXPECT_EQ(std::string(big.data()) + "|" + small, std::string(1024, 'q') + "|" + std::string(10, 'q'));
}
