// The zip and pak readers on archives written by the tests: lookups, listings, and what each
// broken archive or record leaves (entries read, messages) compared whole.
#include "fs/pakfile.h"
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace
{
const std::string BODY = "The quick brown fox jumps over the lazy dog. The quick brown fox jumps again.";

class ArchiveTest : public ::testing::Test
{
  protected:
    // Opens bytes as t.pk3 and reads every entry into a buffer of its recorded size: '.' for the
    // body read whole, 'x' for a failed read, '!' for bytes written past the buffer, "-" for a
    // refused archive; then the debug lines.
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
            out += past                                                     ? '!'
                   : !ok                                                    ? 'x'
                   : std::string(buffer.begin(), buffer.end() - 16) == BODY ? '.'
                                                                            : '?';
        }
        return out + "\n" + logs.Debug().substr(mark);
    }

    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    LogCapture logs;
};
} // namespace

// Names are found in any case through the hash index, a repeated name at its first member; a
// path longer than the 63 characters messages show is kept whole.
TEST_F(ArchiveTest, ZipFindsManyNamesInAnyCaseFromALongPath)
{
    ZipBuilder z;
    z.AddDir("models/");
    z.AddFile("models/empty.txt", "");
    for (int i = 0; i < 700; i++)
        z.AddFile((i % 3 ? "m/" : "M/") + std::to_string(i % 500) + ".TXT", BODY, i % 2);
    const std::string path = dir.File(std::string(100, 'p') + ".pk3");
    ASSERT_TRUE(z.Write(path));
    cZipFile zip;
    ASSERT_TRUE(zip.open(path.c_str(), false));
    EXPECT_NE(logs.LogText().find("ZipFile:: " + path + " opened , numEntries 702."), std::string::npos);
    for (int i = 0; i < 700; i++)
        EXPECT_EQ(zip.Find(("m/" + std::to_string(i % 500) + ".txt").c_str()), 2 + i % 500) << i;
    EXPECT_FALSE(zip.read(0, nullptr) || zip.read(1, nullptr)); // records without data
    EXPECT_TRUE(zip.open(path.c_str(), true) && zip.numEntries() == 700 && logs.Debug().empty());

    std::vector<unsigned char> bytes = z.Build();
    Put32(bytes, bytes.size() - 6, static_cast<uint32_t>(bytes.size() - 10)); // into the end record
    ASSERT_TRUE(WriteFileBytes(path, bytes) && zip.open(path.c_str(), false));
    EXPECT_TRUE(logs.Debug().find("file_t:: can`t seek in file : " + path.substr(0, 63) + " \n") == 0);
}

// Members ('|' between them) lie under models/players/ unless they name models/ themselves. Archives
// made by common zip tools hold file members only: their folders show in the paths. One name per
// folder in any case; a folder with a record is listed at its record. Names are appended.
TEST_F(ArchiveTest, ZipListsOneFolder)
{
    const char* cases[][3] = {
        {"x.md3|y.MD3|z.tga|sub/w.md3", "MODELS/Players/x*.md3", "kept|x.md3|y.MD3|"},
        {"|x/lower.md3|x/head.md3|Y/a.md3|y/sub/b.tga|z/a.md3|file.txt|z/|/odd.md3|models/weapons2/gun/g.md3",
         "models/players/*.*", "kept|x|Y|file.txt|z|"}};
    for (const auto& c : cases)
    {
        ZipBuilder z;
        std::stringstream in(c[0]);
        for (std::string name; std::getline(in, name, '|');)
            z.AddFile(name.rfind("models/", 0) == 0 ? name : "models/players/" + name,
                      name.empty() || name.back() == '/' ? "" : "data");
        cZipFile zip;
        ASSERT_TRUE(z.Write("t.pk3") && zip.open("t.pk3", false));
        std::vector<std::string> names{"kept"};
        zip.list(c[1], names);
        std::string listed;
        for (const std::string& name : names)
            listed += name + "|";
        EXPECT_EQ(listed, c[2]) << c[0];
    }
}

// Damaged directories keep the records before the damage. Records no read could serve are
// dropped at open (callers allocate the recorded size first); the others are read with the
// central sizes and must yield exactly the recorded size.
TEST_F(ArchiveTest, ZipBrokenArchivesAndRecords)
{
    ZipBuilder z;
    z.AddFile("a.txt", BODY);
    z.AddFile("b.txt", BODY, true).centralOffset = 0x7fffff00;
    z.AddFile("c.txt", BODY);
    const std::vector<unsigned char> good = z.Build();
    const size_t dir = good[good.size() - 6] + (good[good.size() - 5] << 8); // records of 51 bytes
    const std::string r = "file_t:: can`t read from file : t.pk3 \n",
                      s = "file_t:: can`t seek in file : t.pk3 \n";
    // Field offsets in the file set to 0xffff: a name, extra field or comment running past the
    // directory ends the table, so does a count past it; b.txt lies past the end of the file.
    const std::pair<size_t, std::string> fields[] = {{0, ".x.\n" + s + r},
                                                     {dir + 32, ".\n" + r},
                                                     {dir + 51 + 28, ".\n" + r},
                                                     {dir + 51 + 30, ".x\n" + r + s + r},
                                                     {good.size() - 14, ".x.\n" + r + s + r},
                                                     {good.size() - 6, "\n" + s + r}};
    for (const auto& [field, expected] : fields)
    {
        std::vector<unsigned char> bytes = good;
        if (field)
            Put16(bytes, field, 0xffff);
        EXPECT_EQ(ZipOutcome(bytes), expected) << field;
    }
    z.SetComment("a comment");
    EXPECT_EQ(ZipOutcome(z.Build()), "-\ncZipFile:: this file : t.pk3 isn`t a zip file! \n");
    EXPECT_EQ(ZipOutcome(std::vector<unsigned char>(good.begin(), good.begin() + 21)), "-\n" + s + r);
    EXPECT_FALSE(cZipFile().open("missing.pk3", false));
    EXPECT_NE(logs.Debug().find("file_t:: can`t open file : missing.pk3 \n"), std::string::npos);

    ZipBuilder m;
    m.AddFile(std::string(256, 'm'), BODY);
    m.AddFile("huge", BODY).centralUncompressed = 0xA4000000;
    m.AddFile("huge_stored", BODY).centralCompressed = 0xA4000000;
    m.members.back().centralUncompressed = 0xA4000000;
    m.AddFile(std::string(255, 'n'), BODY);
    m.AddFile("descriptor", BODY, true).dataDescriptor = true;
    m.AddFile("big_local", BODY, true).localUncompressed = 1 << 20;
    m.AddFile("stored_local", BODY).localCompressed = 1 << 20;
    m.AddFile("short_central", BODY, true).centralUncompressed = 10;
    m.AddFile("short_stored", BODY).centralUncompressed = 10;
    m.AddFile("long_central", BODY, true).centralUncompressed = 2000;
    m.AddFile("garbage", BODY, true).payload = std::vector<unsigned char>(20, 0xff);
    m.AddFile("method12", BODY).method = 12;
    const std::string inflateFail = "cZipFile:: inflate stream did not his job right! \n";
    const std::string unzipFail = "cZipFile:: unzipping failed! \n";
    EXPECT_EQ(ZipOutcome(m.Build()),
              "....xxxxx\n"
              "cZipFile:: t.pk3 : entry name of 256 bytes skipped \n"
              "cZipFile:: t.pk3 : entry huge claims 2751463424 bytes from 77, skipped \n"
              "cZipFile:: t.pk3 : entry huge_stored claims 2751463424 bytes from 2751463424, skipped \n" +
                  inflateFail + unzipFail + inflateFail + inflateFail + unzipFail);
}

// Each record read by index, and one past each end, yields its bytes or the failure message;
// broken headers refuse the archive.
TEST_F(ArchiveTest, PakReadsRecordsWithinTheFileAndRefusesBadHeaders)
{
    PakBuilder p;
    p.AddFile("maps/a.bsp", "first");
    p.AddFile("MAPS/A.BSP", "second");               // read by name, so the first record's data
    p.AddFile(std::string(56, 'n') + "cut", "full"); // no terminator in the name field
    p.AddFile("far.txt", "data").position = 1 << 20;
    p.AddFile("long.txt", "data").length = 1 << 20;
    p.AddFile("negative.txt", "data").length = 0xffffffff;
    // The first record of a name is longer than the second, whose size the buffer has.
    p.AddFile("x.txt", "longer than the second");
    p.AddFile("x.txt", "short");
    pakfile pak;
    ASSERT_TRUE(p.Write("t.pak") && pak.open("t.pak"));
    EXPECT_EQ(pak.Find(std::string(56, 'n').c_str()), 2);
    EXPECT_EQ(pak.Find((std::string(56, 'n') + "cut").c_str()), -1);
    std::string read;
    for (int i = -1; i < 9; i++)
    {
        std::vector<unsigned char> buffer(1 << 20);
        read += pak.read(i, buffer.data()) ? reinterpret_cast<char*>(buffer.data()) + std::string("|") : "!|";
    }
    EXPECT_EQ(read, "!|first|first|full|!|!|!|longer than the second|!|!|");
    std::vector<unsigned char> buffer(8);
    int32_t length = 0;
    EXPECT_TRUE(pak.read("Maps/a.BSP", buffer.data(), &length) && length == 5);
    EXPECT_FALSE(pak.read("c.txt", buffer.data()));
    const std::string noRead = "pakfile:: could not read file infos from pakfile : ";
    EXPECT_EQ(logs.Debug(), "pak ID not valid  \n" + noRead + "far.txt \n" + noRead + "long.txt \n" + noRead +
                                "negative.txt \n" + noRead +
                                "x.txt \npak ID not valid  \n"
                                "pakfile:: pak file not found : c.txt \n");

    // Headers cut short, of another kind, or with a directory of broken records or off the file.
    std::vector<std::vector<unsigned char>> bad(5, p.Build());
    bad[0].resize(11);
    bad[1].pop_back();
    bad[2][0] = 'Q';
    Put32(bad[3], 8, 65); // not whole records
    Put32(bad[4], 8, 0x80000000);
    for (size_t i = 0; i < bad.size(); i++)
        EXPECT_TRUE(WriteFileBytes("t.pak", bad[i]) && !pak.open("t.pak") && pak.Entries().empty()) << i;
}
