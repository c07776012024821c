// Views on files and the shared line reader.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> ReadAll(memfile_t& view)
{
    std::vector<std::string> lines;
    char buffer[MEMFILE_MAX_LINE + 1];
    while (view.ReadLine(buffer, MEMFILE_MAX_LINE) && lines.size() < 100)
        lines.push_back(buffer);
    return lines;
}

// Every line the reader yields from text, with the limit every reader uses.
std::vector<std::string> Lines(const std::string& text)
{
    memfile_t view(reinterpret_cast<const unsigned char*>(text.data()), static_cast<uint32_t>(text.size()),
                   "t", false);
    return ReadAll(view);
}

using L = std::vector<std::string>;
} // namespace

TEST(MemfileTest, LineEnds)
{
    EXPECT_EQ(Lines(std::string("a\r\nb\n\nc", 7)), (L{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\n\rb\r\rc\n"), (L{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\n\n\nb"), (L{"a", "", "b"}));
    EXPECT_EQ(Lines(std::string("a\0b\nc", 5)), (L{"a"}));
    EXPECT_EQ(Lines(std::string("\0", 1)), (L{""}));
    EXPECT_EQ(Lines("a\n"), (L{"a"}));
    EXPECT_EQ(Lines(""), L{});

    memfile_t view(reinterpret_cast<const unsigned char*>("a\nb"), 3, "t", false);
    EXPECT_EQ(ReadAll(view), (L{"a", "b"}));
    EXPECT_GT(view.position, view.size);
    char buffer[8];
    EXPECT_FALSE(view.ReadLine(buffer, 4));
}

TEST(MemfileTest, LongLinesAreCutAndTheNextByteIsTheLineEnd)
{
    std::string head(1024, 'x');
    std::vector<std::string> lines = Lines(head + "Y" + std::string(475, 'z') + "\nlast");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], head);
    EXPECT_EQ(lines[1], std::string(475, 'z'));
    EXPECT_EQ(lines[2], "last");

    // A cut followed by a line end swallows it with the cut byte.
    EXPECT_EQ(Lines(head + "Y\nnext"), (L{head, "next"}));
    // Exactly the limit, then the end of the data.
    EXPECT_EQ(Lines(head), (L{head}));

    // A limit above the staging area is held to it; a smaller limit cuts earlier.
    std::string text(2000, 'q');
    memfile_t view(reinterpret_cast<const unsigned char*>(text.data()), 2000, "t", false);
    std::vector<char> big(4096, 0x55);
    ASSERT_TRUE(view.ReadLine(big.data(), 4000));
    EXPECT_EQ(std::string(big.data()).size(), 1024u);
    char small[11];
    ASSERT_TRUE(view.ReadLine(small, 10));
    EXPECT_EQ(std::string(small), std::string(10, 'q'));
}

TEST(MemfileTest, OpenAndCloseThroughTheFileManager)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();
    ASSERT_TRUE(WriteFileText("v.txt", "one\ntwo"));

    memfile_t view("v.txt", "r");
    ASSERT_NE(view.data, nullptr);
    EXPECT_EQ(view.size, 7u);
    EXPECT_STREQ(view.name, "v.txt");
    EXPECT_EQ(view.data, gFileMgr.find("v.txt", "r")->data.get());

    EXPECT_FALSE(view.open("nowhere.txt", "r"));
    EXPECT_EQ(view.data, nullptr);
    EXPECT_EQ(view.name, nullptr);
    EXPECT_EQ(view.size, 0u);
    char buffer[8];
    EXPECT_FALSE(view.ReadLine(buffer, 7));

    gFileMgr.Reset();
}
