// The pak reader on archives written by the tests.
#include "fs/pakfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

namespace
{
class PakFileTest : public ::testing::Test
{
  protected:
    std::string Save(const std::vector<unsigned char>& bytes, const std::string& name = "t.pak")
    {
        std::string path = dir.File(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    TempDir dir;
    LogCapture logs;
};
} // namespace

TEST_F(PakFileTest, ReadsByNameAndByIndex)
{
    PakBuilder p;
    p.AddFile("maps/a.bsp", "first");
    p.AddFile("MAPS/A.BSP", "second");
    p.AddFile("b.txt", "bee");
    p.AddFile(std::string(56, 'n') + "cut", "full"); // no terminator in the name field
    pakfile pak;
    ASSERT_TRUE(pak.open(Save(p.Build()).c_str()));
    EXPECT_EQ(pak.Find(std::string(56, 'n').c_str()), 3);
    EXPECT_EQ(pak.Find((std::string(56, 'n') + "cut").c_str()), -1);

    char buffer[16] = {};
    int32_t length = 0;
    ASSERT_TRUE(pak.read("B.TXT", reinterpret_cast<unsigned char*>(buffer), &length));
    EXPECT_EQ(length, 3);
    EXPECT_STREQ(buffer, "bee");
    // The second record of a name reads the first record's data.
    ASSERT_TRUE(pak.read(1, reinterpret_cast<unsigned char*>(buffer)));
    EXPECT_EQ(std::string(buffer, 5), "first");
    // Unless that data is longer than the record the buffer was sized for.
    PakBuilder twice;
    twice.AddFile("x.txt", "longer than the second");
    twice.AddFile("x.txt", "short");
    pakfile dup;
    ASSERT_TRUE(dup.open(Save(twice.Build(), "twice.pak").c_str()));
    std::vector<unsigned char> exact(5);
    EXPECT_FALSE(dup.read(1, exact.data()));
    EXPECT_NE(logs.Debug().find("pakfile:: could not read file infos from pakfile : x.txt"),
              std::string::npos);

    ASSERT_TRUE(pak.read(3, reinterpret_cast<unsigned char*>(buffer)));
    EXPECT_EQ(std::string(buffer, 4), "full");

    EXPECT_FALSE(pak.read(4, reinterpret_cast<unsigned char*>(buffer)));
    EXPECT_FALSE(pak.read(-1, reinterpret_cast<unsigned char*>(buffer)));
    EXPECT_NE(logs.Debug().find("pak ID not valid  \n"), std::string::npos);
    EXPECT_FALSE(pak.read("c.txt", reinterpret_cast<unsigned char*>(buffer)));
    EXPECT_NE(logs.Debug().find("pakfile:: pak file not found : c.txt \n"), std::string::npos);
}

TEST_F(PakFileTest, MembersOutsideTheFile)
{
    PakBuilder p;
    p.AddFile("far.txt", "data").position = 1 << 20;
    p.AddFile("long.txt", "data").length = 1 << 20;
    p.AddFile("ok.txt", "data");
    std::vector<unsigned char> bytes = p.Build();
    Put32(bytes, bytes.size() - 4, 0xffffffff); // ok.txt gets a negative length
    pakfile pak;
    ASSERT_TRUE(pak.open(Save(bytes).c_str()));
    std::vector<unsigned char> buffer(1 << 20);
    for (int i = 0; i < 3; i++)
        EXPECT_FALSE(pak.read(i, buffer.data())) << i;
    EXPECT_NE(logs.Debug().find("pakfile:: could not read file infos from pakfile : long.txt \n"),
              std::string::npos);
}

TEST_F(PakFileTest, RefusesBadHeaders)
{
    PakBuilder p;
    p.AddFile("a.txt", "data");
    std::vector<unsigned char> good = p.Build();
    std::vector<std::vector<unsigned char>> bad;
    bad.push_back(std::vector<unsigned char>(good.begin(), good.begin() + 11));
    bad.push_back(std::vector<unsigned char>(good.begin(), good.end() - 1));
    bad.push_back(good);
    bad.back()[0] = 'Q';
    bad.push_back(good);
    Put32(bad.back(), 8, 65); // not whole records
    bad.push_back(good);
    Put32(bad.back(), 8, 0x80000000);
    for (size_t i = 0; i < bad.size(); i++)
    {
        pakfile pak;
        EXPECT_FALSE(pak.open(Save(bad[i]).c_str())) << i;
        EXPECT_TRUE(pak.Entries().empty());
    }
}
