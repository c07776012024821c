// The file layer on archives and files written by the tests: the zip and pak readers (lookups,
// listings, what each broken archive or record leaves), the file manager's search order, cache,
// mounting, refusals, memory failures, and the line reader of its views.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/pakfile.h"
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <random>
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

const std::string BODY = "The quick brown fox jumps over the lazy dog. The quick brown fox jumps again.";

// What a lookup finds, "<none>" for nothing.
std::string Text(const char* path)
{
    const FileEntry* entry = gFileMgr.find(path, "rb");
    return entry ? std::string(reinterpret_cast<const char*>(entry->data.get()), entry->size) : "<none>";
}

class FsTest : public ::testing::Test
{
  protected:
    FsTest() : work(dir.Path()) { gFileMgr.Reset(); }
    ~FsTest() override { gFileMgr.Reset(); }
    bool Logged(const std::string& text) { return logs.Debug().find(text) != std::string::npos; }
    // Bytes opened as t.pk3, each entry read into a buffer of its size ('.' whole, 'x' failed, '!'
    // written past the buffer; "-" for a refused archive), then the debug lines.
    std::string ZipOutcome(const std::vector<unsigned char>& bytes)
    {
        size_t mark = logs.Debug().size();
        cZipFile zip;
        std::string out = WriteFileBytes("t.pk3", bytes) && zip.open("t.pk3", false) ? "" : "-";
        for (int i = 0; i < zip.numEntries(); i++)
        {
            std::vector<unsigned char> buffer(zip.Entries()[i].size + 16, 0xEE);
            const bool ok = zip.read(i, buffer.data());
            const bool past = std::count(buffer.end() - 16, buffer.end(), 0xEE) != 16;
            const bool whole = ok && std::string(buffer.begin(), buffer.end() - 16) == BODY;
            out += past ? '!' : !ok ? 'x' : whole ? '.' : '?';
        }
        return out + "\n" + logs.Debug().substr(mark);
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

// Names are found in any case through the hash index, a repeated name at its first member, from
// a path longer than the 63 characters messages show. A listing appends one folder's names: file
// members show their folders, one name per folder in any case, a folder with a record at its
// record; the file part of the pattern filters by extension only, in any case.
TEST_F(FsTest, ZipFindsAndListsNames)
{
    ZipBuilder z;
    z.AddDir("models/players/");
    z.AddFile("models/players/empty.txt", "");
    for (const char* name : {"x/lower.md3", "x/head.md3", "Y/a.md3", "y/sub/b.tga", "a.md3", "b.MD3", "c.tga",
                             "z/a.md3", "z/", "/odd.md3"})
        z.AddFile(std::string("models/players/") + name, "data");
    z.AddFile("models/weapons2/gun/g.md3", "data");
    for (int i = 0; i < 700; i++)
        z.AddFile((i % 3 ? "m/" : "M/") + std::to_string(i % 500) + ".TXT", BODY, i % 2);
    const std::string path = dir.File(std::string(100, 'p') + ".pk3");
    cZipFile zip;
    ASSERT_TRUE(z.Write(path) && zip.open(path.c_str(), false));
    for (int i = 0; i < 700; i++)
        EXPECT_EQ(zip.Find(("m/" + std::to_string(i % 500) + ".txt").c_str()), 13 + i % 500) << i;
    std::vector<std::string> names{"kept"};
    zip.list("models/players/*.*", names);
    zip.list("MODELS/Players/x*.md3", names);
    std::string listed;
    for (const std::string& name : names)
        listed += name + "|";
    EXPECT_EQ(listed, "kept|empty.txt|x|Y|a.md3|b.MD3|c.tga|z|a.md3|b.MD3|");
    EXPECT_TRUE(zip.open(path.c_str(), true) && zip.numEntries() == 711 && logs.Debug().empty());
}

// Damaged directories keep the records before the damage. Records no read could serve are
// dropped at open (callers allocate the recorded size first); the others are read with the
// central sizes and must yield exactly the recorded size.
TEST_F(FsTest, ZipBrokenArchivesAndRecords)
{
    ZipBuilder z;
    z.AddFile("a.txt", BODY);
    z.AddFile("b.txt", BODY, true).centralOffset = 0x7fffff00;
    z.AddFile("c.txt", BODY);
    const std::vector<unsigned char> good = z.Build();
    const size_t central = good[good.size() - 6] + (good[good.size() - 5] << 8); // records of 51 bytes
    const std::string r = "file_t:: can`t read from file : t.pk3 \n",
                      s = "file_t:: can`t seek in file : t.pk3 \n";
    // Field offsets in the file set to 0xffff: a comment running past the directory ends the
    // table, so does a count past it; b.txt lies past the end of the file.
    const std::pair<size_t, std::string> fields[] = {
        {central + 32, ".\n" + r}, {good.size() - 14, ".x.\n" + r + s + r}, {good.size() - 6, "\n" + s + r}};
    for (const auto& [field, expected] : fields)
    {
        std::vector<unsigned char> bytes = good;
        Put16(bytes, field, 0xffff);
        EXPECT_EQ(ZipOutcome(bytes), expected) << field;
    }
    z.SetComment("a comment");
    EXPECT_EQ(ZipOutcome(z.Build()), "-\ncZipFile:: this file : t.pk3 isn`t a zip file! \n");
    EXPECT_TRUE(!cZipFile().open("missing.pk3", false) &&
                Logged("file_t:: can`t open file : missing.pk3 \n"));

    ZipBuilder m;
    m.AddFile(std::string(256, 'm'), BODY);
    m.AddFile("huge", BODY).centralUncompressed = 0xA4000000;
    m.AddFile("descriptor", BODY, true).dataDescriptor = true;
    m.AddFile("short_central", BODY, true).centralUncompressed = 10;
    m.AddFile("method12", BODY).method = 12;
    EXPECT_EQ(ZipOutcome(m.Build()),
              ".xx\n"
              "cZipFile:: t.pk3 : entry name of 256 bytes skipped \n"
              "cZipFile:: t.pk3 : entry huge claims 2751463424 bytes from 77, skipped \n"
              "cZipFile:: inflate stream did not his job right! \ncZipFile:: unzipping failed! \n");
}

// Each record read by index, and one past each end, yields its bytes or the failure message. A
// record reads by its name, so as the first record of it, which must not be longer (the caller's
// buffer has the record's length).
TEST_F(FsTest, PakReadsRecordsWithinTheFile)
{
    PakBuilder p;
    p.AddFile("maps/a.bsp", "first");
    p.AddFile("MAPS/A.BSP", "second");
    p.AddFile(std::string(56, 'n') + "cut", "full"); // no terminator in the name field
    p.AddFile("far.txt", "data").position = 1 << 20;
    p.AddFile("x.txt", "longer than the second");
    p.AddFile("x.txt", "short");
    pakfile pak;
    ASSERT_TRUE(p.Write("t.pak") && pak.open("t.pak"));
    EXPECT_TRUE(pak.Find(std::string(56, 'n').c_str()) == 2 && pak.Find("maps/a.bsp ") == -1);
    std::string read;
    for (int i = -1; i < 7; i++)
    {
        std::vector<unsigned char> buffer(1 << 20);
        read += pak.read(i, buffer.data()) ? reinterpret_cast<char*>(buffer.data()) + std::string("|") : "!|";
    }
    EXPECT_EQ(read, "!|first|first|full|!|longer than the second|!|!|");
    std::vector<unsigned char> buffer(8);
    EXPECT_FALSE(pak.read("c.txt", buffer.data()));
    const std::string noRead = "pakfile:: could not read file infos from pakfile : ";
    EXPECT_EQ(logs.Debug(), "pak ID not valid  \n" + noRead + "far.txt \n" + noRead +
                                "x.txt \npak ID not valid  \npakfile:: pak file not found : c.txt \n");

    // A directory claiming more than the file holds is refused before it is read.
    std::vector<unsigned char> bad = p.Build();
    Put32(bad, 8, 0x80000000);
    EXPECT_TRUE(WriteFileBytes("t.pak", bad) && !pak.open("t.pak") && pak.Entries().empty());
}

// Loose files first (FIFOs and folders passed over, never waited on), then the zips, a folder's
// later names first, then the paks; names in any case, a name's first record deciding for its
// archive. Empty members are passed over, a failed read ends the zip search, a pak record claiming
// more than its archive fails before allocation. Files stay cached under the path asked until
// released; views keep their bytes.
TEST_F(FsTest, SearchOrderCacheReleaseAndMemoryFailures)
{
    alarm(30); // a FIFO without a writer blocks a plain open for good: the test dies instead
    ASSERT_EQ(system("mkdir -p game/folder.pk3 x && mkfifo game/fifo.pk3 x/fifo.txt"), 0);
    ZipBuilder pak0, patch, user;
    PakBuilder pak;
    for (const char* name : {"a/red.skin", "a/blue.skin", "x/fifo.txt", "x/empty", "x/loose.txt", "x/bad"})
        pak0.AddFile(name, "pak0");
    for (const char* name : {"a/red.skin", "a/BLUE.skin", "x/dup.txt", "X/DUP.TXT"})
        patch.AddFile(name, name[0] == 'X' ? "2nd" : "patch");
    user.AddFile("a/red.skin", "user", true);
    user.AddFile("x/empty", "");
    user.AddFile("x/bad", "bad").method = 12;
    for (const char* name : {"x/only.txt", "x/bad", "x/big.bin"})
        pak.AddFile(name, "pak");
    pak.members.back().length = 0x7ffffff0;
    ASSERT_TRUE(pak0.Write("game/pak0.pk3") && patch.Write("game/pak1-patch.PK3") &&
                user.Write("game/Z_user.Pk3") && pak0.Write("game/pak0.pk3.bak") && pak.Write("a.pak") &&
                WriteFileText("game/pak2-broken.pk3", "not an archive") &&
                WriteFileText("x/loose.txt", "loose"));
    ASSERT_TRUE(gFileMgr.MountPak("a.pak") && gFileMgr.MountZipFolder("game") == 3);
    EXPECT_TRUE(gFileMgr.MountZip("GAME/PAK0.PK3") && !gFileMgr.MountZip("none.pk3") &&
                gFileMgr.Zips().size() == 3);
    failAbove = 1 << 20;
    std::string found;
    for (const char* path : {"x/loose.txt", "A/Red.Skin", "a/blue.skin", "x/fifo.txt", "x/empty", "x/Dup.txt",
                             "X/ONLY.TXT", "x/bad", "x/only", "x", "x/big.bin"})
        found += Text(path) + "|";
    failAbove = SIZE_MAX;
    EXPECT_EQ(found, "loose|user|patch|pak0|pak0|patch|pak|pak|<none>|<none>|<none>|");
    EXPECT_TRUE(Logged("pakfile:: could not read file infos from pakfile : x/big.bin") &&
                !Logged("out of memory") &&
                Logged("file_t:: this file : game/fifo.pk3 isn`t a regular file!") &&
                Logged("file_t:: this file : x/fifo.txt isn`t a regular file!"));
    EXPECT_TRUE(gFileMgr.MountZipFolder("nowhere") == 0 && Logged("FileMgr:: can`t list folder : nowhere"));
    alarm(0);

    // The view's lines: lines end at CR, LF or a pair of them, and at a NUL for good; a long line
    // is cut at the limit, the byte after the cut taken as its end with a CR or LF following it.
    const std::string head(MEMFILE_MAX_LINE, 'h'), tail(475, 't');
    ASSERT_TRUE(WriteFileText("lines.txt", head + "Y\nnext\r\n" + head + "Y" + tail + "\na\n\rb\r\rc\n\n\nd" +
                                               std::string(1, '\0') + "e"));
    FileEntry* cached = gFileMgr.find("lines.txt", "r");
    memfile_t view("lines.txt", "r");
    ASSERT_TRUE(WriteFileText("lines.txt", "fresh"));
    EXPECT_TRUE(gFileMgr.find("lines.txt", "r") == cached && view.data == cached->data.get() &&
                gFileMgr.find("a/red.skin", "r") != gFileMgr.find("A/Red.Skin", "r"));
    EXPECT_TRUE(gFileMgr.Release("lines.txt") && !gFileMgr.Release("lines.txt") &&
                Text("lines.txt") == "fresh");
    std::string lines;
    char line[MEMFILE_MAX_LINE + 1];
    while (view.ReadLine(line, MEMFILE_MAX_LINE) && lines.size() < 10000)
        lines += line + std::string("|");
    EXPECT_EQ(lines, head + "|next|" + head + "|" + tail + "|a|b|c||d|");

    // Memory that cannot be had fails that one read with a message, and the same read succeeds
    // once memory is there again.
    std::vector<unsigned char> noise(10000); // does not shrink: inflating it needs more input than output
    std::generate(noise.begin(), noise.end(), std::mt19937(7));
    ZipBuilder z;
    PakBuilder widePak;
    z.AddFile("deflated.bin", noise, true);
    for (int i = 0; i < 100; i++)
        z.AddFile(std::string(60, 'a') + std::to_string(i), "x"), widePak.AddFile(std::to_string(i), "x");
    ASSERT_TRUE(z.Write("z.pk3") && widePak.Write("wide.pak") && WriteFileBytes("loose.bin", noise));
    failAbove = 4096;
    EXPECT_FALSE(gFileMgr.MountZip("z.pk3") || gFileMgr.MountPak("wide.pak") ||
                 gFileMgr.find("loose.bin", "rb"));
    failAbove = SIZE_MAX;
    EXPECT_TRUE(gFileMgr.MountZip("z.pk3") && gFileMgr.MountPak("wide.pak") &&
                gFileMgr.find("loose.bin", "rb"));
    failAbove = noise.size();
    EXPECT_FALSE(gFileMgr.find("deflated.bin", "rb"));
    failAbove = SIZE_MAX;
    EXPECT_TRUE(gFileMgr.find("deflated.bin", "rb") &&
                Logged("cZipFile:: out of memory reading the directory of z.pk3") &&
                Logged("pakfile:: out of memory reading the directory of wide.pak") &&
                Logged("FileMgr:: out of memory reading loose.bin (10000 bytes)") &&
                Logged("cZipFile:: out of memory reading deflated.bin"));
}
