// The file layer on the real game archive, when the test script has fetched it.
#include "fs/filemgr.h"
#include "fs/zipfile.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <zlib.h>

namespace
{
// A little-endian number of the given byte count at b[at].
uint32_t Le(const std::vector<unsigned char>& b, size_t at, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; i--)
        value = value << 8 | b.at(at + i);
    return value;
}
} // namespace

TEST(RealArchiveTest, MountsListsAndReadsEveryMember)
{
    std::string folder = RealDataFolder();
    if (folder.empty())
        GTEST_SKIP() << "pak0.pk3 not fetched";
    std::string path = folder + "/pak0.pk3";
    LogCapture logs;
    gFileMgr.Reset();
    ASSERT_TRUE(gFileMgr.MountZip(path.c_str()));
    EXPECT_NE(logs.LogText().find("ZipFile:: " + path + " opened , numEntries 1042."), std::string::npos)
        << logs.LogText();

    std::vector<std::string> players;
    gFileMgr.Zips()[0]->list("models/players/*.*", players);
    std::sort(players.begin(), players.end());
    EXPECT_EQ(players, (std::vector<std::string>{"grism", "null.txt", "sarge", "sorceress"}));

    // An independent walk of the central directory, for the recorded sizes and checksums.
    const std::vector<unsigned char> zip = ReadFileBytes(path);
    const size_t end = zip.size() - 22;
    ASSERT_EQ(Le(zip, end + 10, 2), 1042u);
    for (size_t i = 0, pos = Le(zip, end + 16, 4); i < 1042; i++)
    {
        const size_t nameLength = Le(zip, pos + 28, 2);
        const std::string name(reinterpret_cast<const char*>(&zip.at(pos + 46)), nameLength);
        const uint32_t crc = Le(zip, pos + 16, 4), size = Le(zip, pos + 24, 4);
        pos += 46 + nameLength + Le(zip, pos + 30, 2) + Le(zip, pos + 32, 2);
        if (size == 0)
            continue;
        FileEntry* entry = gFileMgr.find(name.c_str(), "rb");
        ASSERT_NE(entry, nullptr) << name;
        ASSERT_EQ(entry->size, size) << name;
        EXPECT_EQ(crc32(0, entry->data.get(), entry->size), crc) << name;
    }
    EXPECT_EQ(logs.Debug(), "");
    gFileMgr.Reset();
}
