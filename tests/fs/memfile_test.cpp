// Views on files and the shared line reader.
#include "fs/memfile.h"

#include <gtest/gtest.h>

namespace
{
using L = std::vector<std::string>;

L ReadAll(memfile_t& view)
{
    L lines;
    char buffer[MEMFILE_MAX_LINE + 1];
    while (view.ReadLine(buffer, MEMFILE_MAX_LINE) && lines.size() < 100)
        lines.push_back(buffer);
    return lines;
}

memfile_t View(const std::string& text)
{
    return memfile_t(reinterpret_cast<const unsigned char*>(text.data()), static_cast<uint32_t>(text.size()),
                     "t", false);
}

// Every line the reader yields from text, with the limit every reader uses.
L Lines(const std::string& text)
{
    memfile_t view = View(text);
    return ReadAll(view);
}
} // namespace

TEST(MemfileTest, LineEndsAndLongLines)
{
    EXPECT_EQ(Lines(std::string("a\r\nb\n\nc", 7)), (L{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\n\rb\r\rc\n"), (L{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\n\n\nb"), (L{"a", "", "b"}));
    EXPECT_EQ(Lines(std::string("a\0b\nc", 5)), (L{"a"}));
    EXPECT_EQ(Lines(std::string("\0", 1)), (L{""}));
    EXPECT_EQ(Lines("a\n"), (L{"a"}));
    EXPECT_EQ(Lines(""), L{});

    const std::string text = "a\nb";
    memfile_t view = View(text);
    EXPECT_EQ(ReadAll(view), (L{"a", "b"}));
    EXPECT_GT(view.position, view.size);
    char buffer[8];
    EXPECT_FALSE(view.ReadLine(buffer, 4));

    // Long lines are cut and the next byte is the line end.
    std::string head(1024, 'x');
    EXPECT_EQ(Lines(head + "Y" + std::string(475, 'z') + "\nlast"), (L{head, std::string(475, 'z'), "last"}));
    // A cut followed by a line end swallows it with the cut byte.
    EXPECT_EQ(Lines(head + "Y\nnext"), (L{head, "next"}));
    // Exactly the limit, then the end of the data.
    EXPECT_EQ(Lines(head), (L{head}));

    // A limit above the staging area is held to it; a smaller limit cuts earlier.
    std::string longText(2000, 'q');
    memfile_t longView = View(longText);
    std::vector<char> big(4096, 0x55);
    ASSERT_TRUE(longView.ReadLine(big.data(), 4000));
    EXPECT_EQ(std::string(big.data()).size(), 1024u);
    char small[11];
    ASSERT_TRUE(longView.ReadLine(small, 10));
    EXPECT_EQ(std::string(small), std::string(10, 'q'));
}
