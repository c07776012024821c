// The zip reader on archives written by the tests, good and broken.
#include "fs/zipfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST_F(ZipFileTest, ReadsStoredAndDeflatedMembers)
{
    ZipBuilder z;
    z.AddDir("models/");
    z.AddFile("models/a.txt", BODY);
    z.AddFile("models/B.TXT", BODY + BODY, true);
    z.AddFile("models/empty.txt", "");
    std::string path = Save(z.Build());

    cZipFile zip;
    ASSERT_TRUE(zip.open(path.c_str(), false));
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
}

TEST_F(ZipFileTest, ListsOneFolder)
{
    ZipBuilder z;
    for (const char* name :
         {"models/players/a/", "models/players/a/head.md3", "models/players/b/", "models/players/",
          "models/players/null.txt", "models/weapons2/g/", "models/weapons2/x.md3", "models/weapons2/y.MD3",
          "models/weapons2/z.tga", "models/weapons2/sub/w.md3"})
        z.AddFile(name, std::string(name).back() == '/' ? "" : "data");
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));

    std::vector<std::string> names{"kept"};
    zip.list("models/players/*.*", names);
    EXPECT_EQ(names, (std::vector<std::string>{"kept", "a", "b", "null.txt"}));
    names.clear();
    zip.list("MODELS/Weapons2/x*.md3", names);
    EXPECT_EQ(names, (std::vector<std::string>{"x.md3", "y.MD3"}));
}

// Archives made by common zip tools hold file members only: their folders show in the paths.
TEST_F(ZipFileTest, ListsFoldersThatOnlyMemberPathsShow)
{
    ZipBuilder z;
    for (const char* name :
         {"models/players/x/lower.md3", "models/players/x/head.md3", "models/players/Y/a.md3",
          "models/players/y/sub/b.tga", "models/players/z/a.md3", "models/players/z/",
          "models/players/file.txt", "models/players//odd.md3", "models/weapons2/gun/g.md3"})
        z.AddFile(name, std::string(name).back() == '/' ? "" : "data");
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    std::vector<std::string> names;
    zip.list("models/players/*.*", names);
    // One name per folder in any case; a folder with a record is listed at its record.
    EXPECT_EQ(names, (std::vector<std::string>{"x", "Y", "z", "file.txt"}));

    // An archive with folder records lists the same whether its records are kept or dropped.
    ZipBuilder r;
    for (const char* name : {"models/players/", "models/players/a/", "models/players/a/head.md3",
                             "models/players/b/", "models/players/b/skin.tga", "models/players/c/"})
        r.AddFile(name, std::string(name).back() == '/' ? "" : "data");
    const std::string path = Save(r.Build(), "records.pk3");
    ASSERT_TRUE(zip.open(path.c_str(), false));
    names.clear();
    zip.list("models/players/*.*", names);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_TRUE(zip.open(path.c_str(), true));
    names.clear();
    zip.list("models/players/*.*", names);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"})); // c held nothing
}

TEST_F(ZipFileTest, RefusesWhatIsNoZip)
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
}

TEST_F(ZipFileTest, OffsetsAndCountsOutsideTheFile)
{
    ZipBuilder z;
    z.AddFile("a.txt", BODY);
    z.AddFile("b.txt", BODY, true);
    z.members[1].centralOffset = 0x7fffff00;
    z.entryCount = 5; // more records than the directory holds
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    EXPECT_EQ(zip.numEntries(), 2);
    EXPECT_NE(logs.Debug().find("file_t:: can`t read from file : "), std::string::npos);
    EXPECT_TRUE(Read(zip, 0));
    EXPECT_FALSE(Read(zip, 1));

    z.entryCount = -1;
    z.centralOffset = 0xfffffff0;
    ASSERT_TRUE(zip.open(Save(z.Build(), "far.pk3").c_str(), false));
    EXPECT_EQ(zip.numEntries(), 0);
    EXPECT_NE(logs.Debug().find("file_t:: can`t seek in file : "), std::string::npos);
}

TEST_F(ZipFileTest, OverlongNamesAreSkipped)
{
    ZipBuilder z;
    z.AddFile(std::string(255, 'n'), BODY);
    z.AddFile(std::string(256, 'm'), BODY);
    z.AddFile("after.txt", BODY);
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    ASSERT_EQ(zip.numEntries(), 2);
    EXPECT_EQ(zip.Entries()[0].name, std::string(255, 'n'));
    EXPECT_EQ(zip.Find("after.txt"), 1);
}

// The central record's sizes decide; the local header can say anything without harm.
TEST_F(ZipFileTest, LocalSizesOtherThanCentralOnes)
{
    ZipBuilder z;
    z.AddFile("descriptor.txt", BODY, true).dataDescriptor = true;
    z.AddFile("big_local.txt", BODY, true).localUncompressed = 1 << 20;
    z.AddFile("stored_local.txt", BODY).localCompressed = 1 << 20;
    z.AddFile("short_central.txt", BODY, true).centralUncompressed = 10;
    z.AddFile("short_stored.txt", BODY).centralUncompressed = 10;
    z.AddFile("long_central.txt", BODY, true).centralUncompressed = 500;
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    std::string text;
    for (int i = 0; i < 3; i++)
    {
        EXPECT_TRUE(Read(zip, i, &text)) << i;
        EXPECT_EQ(text, BODY);
    }
    EXPECT_FALSE(Read(zip, 3));
    EXPECT_NE(logs.Debug().find("cZipFile:: inflate stream did not his job right!"), std::string::npos);
    EXPECT_FALSE(Read(zip, 4));
    EXPECT_NE(logs.Debug().find("cZipFile:: unzipping failed!"), std::string::npos);
    EXPECT_FALSE(Read(zip, 5));
}

TEST_F(ZipFileTest, BadMemberData)
{
    ZipBuilder z;
    z.AddFile("garbage.txt", BODY, true).payload = std::vector<unsigned char>(20, 0xff);
    z.AddFile("method12.txt", BODY).method = 12;
    z.AddFile("ok.txt", BODY, true);
    z.members.back().payload = DeflateRaw(Bytes(BODY));
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    EXPECT_FALSE(Read(zip, 0));
    EXPECT_NE(logs.Debug().find("cZipFile:: inflate stream did not his job right! \n"), std::string::npos);
    EXPECT_FALSE(Read(zip, 1));
    EXPECT_NE(logs.Debug().find("cZipFile:: unzipping failed! \n"), std::string::npos);
    EXPECT_TRUE(Read(zip, 2));
}

TEST_F(ZipFileTest, LongArchivePaths)
{
    std::string sub = dir.Path() + "/" + std::string(60, 'd');
    ASSERT_EQ(system(("mkdir -p " + sub).c_str()), 0);
    std::string path = sub + "/" + std::string(40, 'p') + ".pk3";
    ZipBuilder z;
    z.AddFile("a.txt", BODY);
    ASSERT_TRUE(WriteFileBytes(path, z.Build()));
    cZipFile zip;
    ASSERT_TRUE(zip.open(path.c_str(), false));
    EXPECT_STREQ(zip.Path(), path.c_str());
    EXPECT_TRUE(Read(zip, 0));

    // Messages about the open file name it by its first 63 characters.
    std::vector<unsigned char> bytes = z.Build();
    Put32(bytes, bytes.size() - 6, 1000); // end record points the directory at the end record
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    EXPECT_TRUE(zip.open(path.c_str(), false));
    EXPECT_NE(logs.Debug().find("file_t:: can`t seek in file : " + path.substr(0, 63) + " \n"),
              std::string::npos);
}

// Readers allocate the recorded size before reading, so a size that no member of the archive
// can have must not reach them.
TEST_F(ZipFileTest, ImpossibleSizesAreSkipped)
{
    ZipBuilder z;
    z.AddFile("huge_deflated.txt", BODY, true).centralUncompressed = 0xA4000000;
    z.AddFile("huge_stored.txt", BODY);
    z.members.back().centralCompressed = z.members.back().centralUncompressed = 0xA4000000;
    z.AddFile("ok.txt", BODY, true).centralUncompressed = 2000; // possible, fails on reading
    cZipFile zip;
    ASSERT_TRUE(zip.open(Save(z.Build()).c_str(), false));
    ASSERT_EQ(zip.numEntries(), 1);
    EXPECT_EQ(zip.Entries()[0].name, "ok.txt");
    EXPECT_NE(logs.Debug().find("cZipFile:: " + dir.File("t.pk3") + " : entry huge_stored.txt claims "),
              std::string::npos);
    EXPECT_FALSE(Read(zip, 0));
}
