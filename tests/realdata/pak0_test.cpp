// The file layer on the real game archive, when the test script has fetched it: the players'
// folder listed from member paths, and every member read through the file manager with the size
// and checksum an independent walk of the central directory records.
#include "fs/filemgr.h"
#include "fs/zipfile.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <zlib.h>

TEST(RealArchiveTest, MountsListsAndReadsEveryMember)
{
    const std::string folder = RealDataFolder();
    if (folder.empty())
        GTEST_SKIP() << "pak0.pk3 not fetched";
    const std::string path = folder + "/pak0.pk3";
    LogCapture logs;
    gFileMgr.Reset();
    ASSERT_TRUE(gFileMgr.MountZip(path.c_str()));
    std::vector<std::string> players;
    gFileMgr.Zips()[0]->list("models/players/*.*", players);
    std::sort(players.begin(), players.end());
    EXPECT_EQ(players, (std::vector<std::string>{"grism", "null.txt", "sarge", "sorceress"}));

    const std::vector<unsigned char> zip = ReadFileBytes(path);
    auto le = [&zip](size_t at, int bytes) // a little-endian number of 2 or 4 bytes
    {
        uint32_t value = 0;
        for (int i = bytes; i-- > 0;)
            value = value << 8 | zip.at(at + i);
        return value;
    };
    const size_t end = zip.size() - 22;
    ASSERT_EQ(le(end + 10, 2), 1042u);
    for (size_t i = 0, pos = le(end + 16, 4); i < 1042; i++)
    {
        const std::string name(reinterpret_cast<const char*>(&zip.at(pos + 46)), le(pos + 28, 2));
        const uint32_t crc = le(pos + 16, 4), size = le(pos + 24, 4);
        pos += 46 + name.size() + le(pos + 30, 2) + le(pos + 32, 2);
        const FileEntry* entry = size ? gFileMgr.find(name.c_str(), "rb") : nullptr;
        EXPECT_TRUE(!size || (entry && entry->size == size && crc32(0, entry->data.get(), size) == crc))
            << name;
    }
    EXPECT_EQ(logs.Debug(), "");
    gFileMgr.Reset();
}
