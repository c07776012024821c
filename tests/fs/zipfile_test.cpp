// The zip reader on archives written by the tests, good and broken.
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

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

    // Reads member index into a buffer of the recorded size followed by guard bytes, and
    // checks that the guard is untouched.
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

    TempDir dir;
    LogCapture logs;
};
} // namespace

// Archive paths of any length are kept whole; messages about the open file name it by its
// first 63 characters.
TEST_F(ZipFileTest, ReadsStoredAndDeflatedMembersFromALongPath)
{
    ZipBuilder z;
    z.AddDir("models/");
    z.AddFile("models/a.txt", BODY);
    z.AddFile("models/B.TXT", BODY + BODY, true);
    z.AddFile("models/empty.txt", "");
    const std::string name = std::string(60, 'd') + "/" + std::string(40, 'p') + ".pk3";
    ASSERT_EQ(system(("mkdir -p " + dir.File(std::string(60, 'd'))).c_str()), 0);
    const std::string path = Save(z.Build(), name);

    cZipFile zip;
    ASSERT_TRUE(zip.open(path.c_str(), false));
    EXPECT_STREQ(zip.Path(), path.c_str());
    EXPECT_EQ(zip.numEntries(), 4);
    EXPECT_NE(logs.LogText().find("ZipFile:: " + path + " opened , numEntries 4."), std::string::npos);
    std::string text;
    EXPECT_TRUE(Read(zip, 1, &text));
    EXPECT_EQ(text, BODY);
    EXPECT_TRUE(Read(zip, 2, &text));
    EXPECT_EQ(text, BODY + BODY);
    EXPECT_EQ(zip.Find("MODELS/b.txt"), 2);
    EXPECT_EQ(zip.Find("models/b"), -1);
    // Records without data are never read.
    EXPECT_FALSE(zip.read(0, nullptr));
    EXPECT_FALSE(zip.read(4, nullptr));
    EXPECT_EQ(logs.Debug(), "");

    ASSERT_TRUE(zip.open(path.c_str(), true));
    EXPECT_EQ(zip.numEntries(), 2);
    EXPECT_EQ(zip.Entries()[0].name, "models/a.txt");

    std::vector<unsigned char> bytes = z.Build();
    Put32(bytes, bytes.size() - 6, 1000); // end record points the directory at the end record
    EXPECT_TRUE(zip.open(Save(bytes, name).c_str(), false));
    EXPECT_NE(logs.Debug().find("file_t:: can`t seek in file : " + path.substr(0, 63) + " \n"),
              std::string::npos);
}

// Member names are under models/players/ unless they name models/ themselves.
TEST_F(ZipFileTest, ListsOneFolder)
{
    struct
    {
        std::vector<std::string> members;
        const char* pattern;
        bool dropFolderRecords;
        std::vector<std::string> expected;
    } cases[] = {
        {{"a/", "a/head.md3", "b/", "", "null.txt", "models/weapons2/g/"},
         "models/players/*.*",
         false,
         {"a", "b", "null.txt"}},
        {{"x.md3", "y.MD3", "z.tga", "sub/w.md3"}, "MODELS/Players/x*.md3", false, {"x.md3", "y.MD3"}},
        // Archives made by common zip tools hold file members only: their folders show in the
        // paths. One name per folder in any case; a folder with a record is listed at its record.
        {{"x/lower.md3", "x/head.md3", "Y/a.md3", "y/sub/b.tga", "z/a.md3", "z/", "file.txt", "/odd.md3",
          "models/weapons2/gun/g.md3"},
         "models/players/*.*",
         false,
         {"x", "Y", "z", "file.txt"}},
        // Without its record, a folder that holds nothing is gone.
        {{"", "a/", "a/head.md3", "b/", "b/skin.tga", "c/"}, "models/players/*.*", true, {"a", "b"}},
    };
    for (const auto& c : cases)
    {
        ZipBuilder z;
        for (std::string name : c.members)
        {
            name = name.rfind("models/", 0) == 0 ? name : "models/players/" + name;
            z.AddFile(name, name.back() == '/' ? "" : "data");
        }
        cZipFile zip;
        ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), c.dropFolderRecords));
        std::vector<std::string> names{"kept"}, expected{"kept"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        zip.list(c.pattern, names);
        EXPECT_EQ(names, expected) << c.members[0];
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
    EXPECT_NE(logs.Debug().find("cZipFile:: this file : " + path + " isn`t a zip file!"), std::string::npos);
    EXPECT_FALSE(zip.open(dir.File("missing.pk3").c_str(), false));
    EXPECT_NE(logs.Debug().find("file_t:: can`t open file : "), std::string::npos);
    EXPECT_FALSE(zip.open(Save(Bytes("PK\5\6"), "tiny.pk3").c_str(), false));
    EXPECT_NE(logs.Debug().find("file_t:: can`t read from file : "), std::string::npos);

    // An archive cut short anywhere loses its end record.
    z.SetComment("");
    std::vector<unsigned char> full = z.Build();
    for (size_t cut = 0; cut < full.size(); cut += 5)
        EXPECT_FALSE(
            zip.open(Save(std::vector<unsigned char>(full.begin(), full.begin() + cut)).c_str(), false));
    EXPECT_EQ(zip.numEntries(), 0);

    // Offsets and counts outside the file.
    z.AddFile("b.txt", BODY, true);
    z.members[1].centralOffset = 0x7fffff00;
    z.entryCount = 5; // more records than the directory holds
    size_t logged = logs.Debug().size();
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    EXPECT_EQ(zip.numEntries(), 2);
    EXPECT_NE(logs.Debug().find("file_t:: can`t read from file : ", logged), std::string::npos);
    EXPECT_TRUE(Read(zip, 0));
    EXPECT_FALSE(Read(zip, 1));
    z.entryCount = -1;
    z.centralOffset = 0xfffffff0;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    EXPECT_EQ(zip.numEntries(), 0);
    EXPECT_NE(logs.Debug().find("file_t:: can`t seek in file : "), std::string::npos);
}

// Readers allocate the recorded size before reading, so a size that no member of the archive
// can have must not reach them; nor may a name longer than the name field.
TEST_F(ZipFileTest, RecordsThatCannotBeHeldAreSkipped)
{
    ZipBuilder z;
    z.AddFile(std::string(255, 'n'), BODY);
    z.AddFile(std::string(256, 'm'), BODY);
    z.AddFile("huge_deflated.txt", BODY, true).centralUncompressed = 0xA4000000;
    z.AddFile("huge_stored.txt", BODY);
    z.members.back().centralCompressed = z.members.back().centralUncompressed = 0xA4000000;
    z.AddFile("ok.txt", BODY, true).centralUncompressed = 2000; // possible, fails on reading
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    ASSERT_EQ(zip.numEntries(), 2);
    EXPECT_EQ(zip.Entries()[0].name, std::string(255, 'n'));
    EXPECT_EQ(zip.Find("ok.txt"), 1);
    EXPECT_NE(logs.Debug().find("cZipFile:: " + dir.File("t.pk3") + " : entry huge_stored.txt claims "),
              std::string::npos);
    EXPECT_FALSE(Read(zip, 1));
}

// The central record's sizes decide; the local header can say anything without harm.
TEST_F(ZipFileTest, MemberDataThatDisagreesWithItsRecord)
{
    ZipBuilder z;
    z.AddFile("descriptor.txt", BODY, true).dataDescriptor = true;
    z.AddFile("big_local.txt", BODY, true).localUncompressed = 1 << 20;
    z.AddFile("stored_local.txt", BODY).localCompressed = 1 << 20;
    z.AddFile("short_central.txt", BODY, true).centralUncompressed = 10;
    z.AddFile("short_stored.txt", BODY).centralUncompressed = 10;
    z.AddFile("long_central.txt", BODY, true).centralUncompressed = 500;
    z.AddFile("garbage.txt", BODY, true).payload = std::vector<unsigned char>(20, 0xff);
    z.AddFile("method12.txt", BODY).method = 12;
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    const std::string inflateFailed = "cZipFile:: inflate stream did not his job right! \n";
    const std::string unzipFailed = "cZipFile:: unzipping failed! \n";
    const std::string expected[] = {
        "", "", "", inflateFailed, unzipFailed, inflateFailed, inflateFailed, unzipFailed};
    for (int i = 0; i < 8; i++)
    {
        size_t logged = logs.Debug().size();
        std::string text;
        EXPECT_EQ(Read(zip, i, &text), expected[i].empty()) << i;
        if (expected[i].empty())
            EXPECT_EQ(text, BODY) << i;
        else
            EXPECT_NE(logs.Debug().find(expected[i], logged), std::string::npos) << i;
    }
}
