// The file layer on the real game archive, when the test script has fetched it.
#include "fs/filemgr.h"
#include "fs/zipfile.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace
{
struct CentralRecord
{
    std::string name;
    uint32_t crc;
    uint32_t size;
};

uint32_t Le32(const std::vector<unsigned char>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint32_t Le16(const std::vector<unsigned char>& b, size_t at) { return b[at] | (b[at + 1] << 8); }

// An independent walk of the central directory, for the recorded checksums.
std::vector<CentralRecord> CentralDirectory(const std::vector<unsigned char>& zip)
{
    std::vector<CentralRecord> records;
    size_t end = zip.size() - 22;
    size_t pos = Le32(zip, end + 16);
    for (uint32_t i = 0, n = Le16(zip, end + 8); i < n && pos + 46 <= end; i++)
    {
        size_t nameLen = Le16(zip, pos + 28);
        CentralRecord r;
        r.crc = Le32(zip, pos + 16);
        r.size = Le32(zip, pos + 24);
        r.name.assign(reinterpret_cast<const char*>(&zip[pos + 46]), nameLen);
        records.push_back(r);
        pos += 46 + nameLen + Le16(zip, pos + 30) + Le16(zip, pos + 32);
    }
    return records;
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

    std::vector<CentralRecord> records = CentralDirectory(ReadFileBytes(path));
    ASSERT_EQ(records.size(), 1042u);
    int checked = 0;
    for (const CentralRecord& r : records)
    {
        if (r.size == 0)
            continue;
        FileEntry* entry = gFileMgr.find(r.name.c_str(), "rb");
        ASSERT_NE(entry, nullptr) << r.name;
        ASSERT_EQ(entry->size, r.size) << r.name;
        EXPECT_EQ(crc32(0, entry->data.get(), entry->size), r.crc) << r.name;
        checked++;
    }
    EXPECT_GT(checked, 900);
    EXPECT_EQ(logs.Debug(), "");
    gFileMgr.Reset();
}
