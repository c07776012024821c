// The zip reader on archives written by the tests, good and broken.
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace
{
const std::string BODY = "The quick brown fox jumps over the lazy dog. The quick brown fox jumps again.";

class ZipFileTest : public ::testing::Test
{
  protected:
    std::string Save(const std::vector<unsigned char>& bytes, const std::string& name = "t.pk3")
    {
        std::string path = dir.File(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    // Reads member index into a buffer of its recorded size and checks the guard bytes past it.
    bool Read(cZipFile& zip, int index, std::string* out = nullptr)
    {
        uint32_t size = zip.Entries()[index].size;
        std::vector<unsigned char> buffer(size + 16, 0xEE);
        bool ok = zip.read(index, buffer.data());
        for (size_t i = size; i < buffer.size(); i++)
            EXPECT_EQ(buffer[i], 0xEE) << "write past the buffer at " << i;
        if (out)
            out->assign(buffer.begin(), buffer.begin() + size);
        return ok;
    }

    bool Logged(const std::string& s, size_t at = 0) { return logs.Debug().find(s, at) != std::string::npos; }

    TempDir dir;
    LogCapture logs;
};
} // namespace

// Archive paths of any length are kept whole; messages about the open file name it by its
// first 63 characters. Names are found in any case, a repeated name at its first member.
TEST_F(ZipFileTest, OpensFromALongPathAndFindsNamesInAnyCase)
{
    ZipBuilder z;
    z.AddDir("models/");
    z.AddFile("models/empty.txt", "");
    for (int i = 0; i < 700; i++)
        z.AddFile((i % 3 ? "m/" : "M/") + std::to_string(i % 500) + ".TXT", BODY, i % 2);
    const std::string name = std::string(60, 'd') + "/" + std::string(40, 'p') + ".pk3";
    ASSERT_EQ(system(("mkdir -p " + dir.File(std::string(60, 'd'))).c_str()), 0);
    const std::string path = Save(z.Build(), name);

    cZipFile zip;
    ASSERT_TRUE(zip.open(path.c_str(), false));
    EXPECT_NE(logs.LogText().find("ZipFile:: " + path + " opened , numEntries 702."), std::string::npos);
    for (int i = 0; i < 700; i++)
        EXPECT_EQ(zip.Find(("m/" + std::to_string(i % 500) + ".txt").c_str()), 2 + i % 500) << i;
    // Records without data are never read.
    EXPECT_FALSE(zip.read(0, nullptr) || zip.read(1, nullptr));
    EXPECT_EQ(logs.Debug(), "");
    EXPECT_TRUE(zip.open(path.c_str(), true) && zip.numEntries() == 700);

    std::vector<unsigned char> bytes = z.Build();
    Put32(bytes, bytes.size() - 6, static_cast<uint32_t>(bytes.size() - 10)); // into the end record
    EXPECT_TRUE(zip.open(Save(bytes, name).c_str(), false));
    EXPECT_TRUE(Logged("file_t:: can`t seek in file : " + path.substr(0, 63) + " \n"));
}

// Members ('|' between them) lie under models/players/ unless they name models/ themselves.
TEST_F(ZipFileTest, ListsOneFolder)
{
    const std::tuple<const char*, const char*, bool, const char*> cases[] = {
        {"a/|a/head.md3|b/||null.txt|models/weapons2/g/", "models/players/*.*", false, "a|b|null.txt"},
        {"x.md3|y.MD3|z.tga|sub/w.md3", "MODELS/Players/x*.md3", false, "x.md3|y.MD3"},
        // Archives made by common zip tools hold file members only: their folders show in the
        // paths. One name per folder in any case; a folder with a record is listed at its record.
        {"x/lower.md3|x/head.md3|Y/a.md3|y/sub/b.tga|z/a.md3|z/|file.txt|/odd.md3|models/weapons2/gun/g.md3",
         "models/players/*.*", false, "x|Y|z|file.txt"},
        // Without its record, a folder that holds nothing is gone.
        {"|a/|a/head.md3|b/|b/skin.tga|c/", "models/players/*.*", true, "a|b"}};
    for (const auto& [members, pattern, dropFolderRecords, expected] : cases)
    {
        ZipBuilder z;
        std::stringstream in(members);
        for (std::string name; std::getline(in, name, '|');)
        {
            name = name.rfind("models/", 0) == 0 ? name : "models/players/" + name;
            z.AddFile(name, name.back() == '/' ? "" : "data");
        }
        cZipFile zip;
        ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), dropFolderRecords));
        std::vector<std::string> names{"kept"};
        zip.list(pattern, names);
        std::string listed;
        for (const std::string& name : names)
            listed += name + "|";
        EXPECT_EQ(listed, "kept|" + std::string(expected) + "|") << members;
    }
}

TEST_F(ZipFileTest, RefusesWhatIsNoZipAndSurvivesBadOffsets)
{
    ZipBuilder z;
    z.AddFile("a.txt", BODY);
    z.SetComment("a comment");
    cZipFile zip;
    std::string path = Save(z.Build());
    EXPECT_FALSE(zip.open(path.c_str(), false));
    EXPECT_TRUE(Logged("cZipFile:: this file : " + path + " isn`t a zip file!"));
    EXPECT_FALSE(zip.open(dir.File("missing.pk3").c_str(), false));
    EXPECT_TRUE(Logged("file_t:: can`t open file : "));

    // An archive cut short anywhere loses its end record; one shorter than it cannot be read.
    z.SetComment("");
    std::vector<unsigned char> full = z.Build();
    for (size_t cut = 0; cut < full.size(); cut += 5)
        EXPECT_FALSE(
            zip.open(Save(std::vector<unsigned char>(full.begin(), full.begin() + cut)).c_str(), false));
    EXPECT_EQ(zip.numEntries(), 0);
    EXPECT_TRUE(Logged("file_t:: can`t read from file : "));

    // Offsets and counts outside the file or the directory: a name, extra field or comment
    // running past the directory ends the table (records are 51 bytes here).
    z.AddFile("b.txt", BODY, true);
    z.AddFile("c.txt", BODY);
    z.members[1].centralOffset = 0x7fffff00;
    // {end record count, offset in the directory of a 16-bit field set to 0xffff, entries kept}
    const std::tuple<int64_t, size_t, int> cases[] = {
        {-1, 51 + 28, 1}, {-1, 51 + 30, 2}, {-1, 32, 1}, {5, 0, 3}};
    for (const auto& [count, field, entries] : cases)
    {
        z.entryCount = count;
        std::vector<unsigned char> bytes = z.Build();
        if (field)
            Put16(bytes, bytes[bytes.size() - 6] + (bytes[bytes.size() - 5] << 8) + field, 0xffff);
        size_t logged = logs.Debug().size();
        ASSERT_TRUE(zip.open(Save(bytes).c_str(), false));
        EXPECT_EQ(zip.numEntries(), entries) << field;
        EXPECT_TRUE(Logged("file_t:: can`t read from file : ", logged));
    }
    EXPECT_TRUE(Read(zip, 0) && !Read(zip, 1) && Read(zip, 2));
    z.entryCount = -1;
    z.centralOffset = 0xfffffff0;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    EXPECT_EQ(zip.numEntries(), 0);
    EXPECT_TRUE(Logged("file_t:: can`t seek in file : "));
}

// Records no read could serve are dropped at open (callers allocate the recorded size first); the
// others are read with the central sizes and must yield exactly the recorded size.
TEST_F(ZipFileTest, RecordsAndMembersThatDisagree)
{
    ZipBuilder z;
    z.AddFile(std::string(256, 'm'), BODY);
    z.AddFile("huge_deflated.txt", BODY, true).centralUncompressed = 0xA4000000;
    z.AddFile("huge_stored.txt", BODY);
    z.members.back().centralCompressed = z.members.back().centralUncompressed = 0xA4000000;
    z.AddFile(std::string(255, 'n'), BODY);
    z.AddFile("descriptor.txt", BODY, true).dataDescriptor = true;
    z.AddFile("big_local.txt", BODY, true).localUncompressed = 1 << 20;
    z.AddFile("stored_local.txt", BODY).localCompressed = 1 << 20;
    z.AddFile("short_central.txt", BODY, true).centralUncompressed = 10;
    z.AddFile("short_stored.txt", BODY).centralUncompressed = 10;
    z.AddFile("long_central.txt", BODY, true).centralUncompressed = 2000;
    z.AddFile("garbage.txt", BODY, true).payload = std::vector<unsigned char>(20, 0xff);
    z.AddFile("method12.txt", BODY).method = 12;
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    ASSERT_EQ(zip.numEntries(), 9);
    EXPECT_EQ(zip.Entries()[0].name, std::string(255, 'n'));
    EXPECT_TRUE(Logged("cZipFile:: " + dir.File("t.pk3") + " : entry huge_stored.txt claims "));
    // '.' reads, 'i' fails to inflate, 'u' fails to unzip.
    const char* expected = "....iuiiu";
    const std::string failed[] = {"cZipFile:: inflate stream did not his job right! \n",
                                  "cZipFile:: unzipping failed! \n"};
    for (int i = 0; i < 9; i++)
    {
        size_t logged = logs.Debug().size();
        std::string text;
        EXPECT_EQ(Read(zip, i, &text), expected[i] == '.') << i;
        EXPECT_TRUE(expected[i] == '.' ? text == BODY : Logged(failed[expected[i] == 'u'], logged)) << i;
    }
}
