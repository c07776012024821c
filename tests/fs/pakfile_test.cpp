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
};
} // namespace

// Each record read by index, and one past each end, yields its bytes or the failure message.
TEST_F(PakFileTest, ReadsByNameAndByIndexWithinTheFileAndRefusesBadHeaders)
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
    ASSERT_TRUE(pak.open(Save(p)));
    EXPECT_EQ(pak.Find(std::string(56, 'n').c_str()), 2);
    EXPECT_EQ(pak.Find((std::string(56, 'n') + "cut").c_str()), -1);
    // '!' marks a failed read of the named member, '#' a refused index.
    const char* expected[] = {"#",        "first",     "first",         "full",
                              "!far.txt", "!long.txt", "!negative.txt", "longer than the second",
                              "!x.txt",   "#"};
    std::vector<unsigned char> buffer(1 << 20);
    for (int i = -1; i < 9; i++)
    {
        const std::string want = expected[i + 1];
        const std::string message = want[0] == '#' ? "pak ID not valid  \n"
                                    : want[0] == '!'
                                        ? "could not read file infos from pakfile : " + want.substr(1) + " \n"
                                        : "";
        size_t logged = logs.Debug().size();
        EXPECT_EQ(pak.read(i, buffer.data()), message.empty()) << i;
        if (message.empty())
            EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + want.size()), want) << i;
        else
            EXPECT_NE(logs.Debug().find(message, logged), std::string::npos) << i;
    }
    int32_t length = 0;
    ASSERT_TRUE(pak.read("Maps/a.BSP", buffer.data(), &length));
    EXPECT_EQ(length, 5);
    EXPECT_FALSE(pak.read("c.txt", buffer.data()));
    EXPECT_NE(logs.Debug().find("pakfile:: pak file not found : c.txt \n"), std::string::npos);

    // Headers cut short, of another kind, or with a directory of broken records or off the file.
    std::vector<std::vector<unsigned char>> bad(5, p.Build());
    bad[0].resize(11);
    bad[1].pop_back();
    bad[2][0] = 'Q';
    Put32(bad[3], 8, 65); // not whole records
    Put32(bad[4], 8, 0x80000000);
    for (size_t i = 0; i < bad.size(); i++)
    {
        ASSERT_TRUE(WriteFileBytes(path, bad[i]));
        EXPECT_FALSE(pak.open(path.c_str())) << i;
        EXPECT_TRUE(pak.Entries().empty());
    }
}
