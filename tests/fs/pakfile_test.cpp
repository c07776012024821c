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
    const char* Save(const PakBuilder& p)
    {
        EXPECT_TRUE(p.Write(path));
        return path.c_str();
    }

    TempDir dir;
    std::string path = dir.File("t.pak");
    LogCapture logs;
    unsigned char buffer[16] = {};
    std::string Buffer(int length) { return std::string(reinterpret_cast<char*>(buffer), length); }
};
} // namespace

TEST_F(PakFileTest, ReadsByNameAndByIndexWithinTheFile)
{
    PakBuilder p;
    p.AddFile("maps/a.bsp", "first");
    p.AddFile("MAPS/A.BSP", "second");
    p.AddFile("b.txt", "bee");
    p.AddFile(std::string(56, 'n') + "cut", "full"); // no terminator in the name field
    p.AddFile("far.txt", "data").position = 1 << 20;
    p.AddFile("long.txt", "data").length = 1 << 20;
    p.AddFile("negative.txt", "data").length = 0xffffffff;
    // The first record of a name is longer than the second, whose size the buffer has.
    p.AddFile("x.txt", "longer than the second");
    p.AddFile("x.txt", "short");
    pakfile pak;
    ASSERT_TRUE(pak.open(Save(p)));
    EXPECT_EQ(pak.Find(std::string(56, 'n').c_str()), 3);
    EXPECT_EQ(pak.Find((std::string(56, 'n') + "cut").c_str()), -1);

    int32_t length = 0;
    ASSERT_TRUE(pak.read("B.TXT", buffer, &length));
    EXPECT_EQ(Buffer(length), "bee");
    // The second record of a name reads the first record's data.
    ASSERT_TRUE(pak.read(1, buffer));
    EXPECT_EQ(Buffer(5), "first");
    ASSERT_TRUE(pak.read(3, buffer));
    EXPECT_EQ(Buffer(4), "full");

    std::vector<unsigned char> big(1 << 20);
    for (int i = 4; i < 7; i++)
        EXPECT_FALSE(pak.read(i, big.data())) << i;
    EXPECT_NE(logs.Debug().find("pakfile:: could not read file infos from pakfile : long.txt \n"),
              std::string::npos);
    std::vector<unsigned char> exact(5);
    EXPECT_FALSE(pak.read(8, exact.data()));
    EXPECT_NE(logs.Debug().find("pakfile:: could not read file infos from pakfile : x.txt"),
              std::string::npos);

    EXPECT_FALSE(pak.read(9, buffer));
    EXPECT_FALSE(pak.read(-1, buffer));
    EXPECT_NE(logs.Debug().find("pak ID not valid  \n"), std::string::npos);
    EXPECT_FALSE(pak.read("c.txt", buffer));
    EXPECT_NE(logs.Debug().find("pakfile:: pak file not found : c.txt \n"), std::string::npos);
}

TEST_F(PakFileTest, RefusesBadHeaders)
{
    PakBuilder p;
    p.AddFile("a.txt", "data");
    std::vector<unsigned char> good = p.Build();
    std::vector<std::vector<unsigned char>> bad(5, good);
    bad[0].resize(11);
    bad[1].pop_back();
    bad[2][0] = 'Q';
    Put32(bad[3], 8, 65); // not whole records
    Put32(bad[4], 8, 0x80000000);
    for (size_t i = 0; i < bad.size(); i++)
    {
        pakfile pak;
        ASSERT_TRUE(WriteFileBytes(path, bad[i]));
        EXPECT_FALSE(pak.open(path.c_str())) << i;
        EXPECT_TRUE(pak.Entries().empty());
    }
}
