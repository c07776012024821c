// Archive records that claim more bytes than their archive holds must fail before the claimed
// size is allocated. The array allocation functions of this test program are replaced to see
// the largest request.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace
{
size_t largestArray = 0;

void* Allocate(size_t size)
{
    if (size > largestArray)
        largestArray = size;
    return malloc(size ? size : 1);
}
} // namespace

void* operator new[](size_t size)
{
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

TEST(ArchiveAllocation, RecordsLargerThanTheirArchiveAreNotAllocated)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    LogCapture logs;
    gFileMgr.Reset();
    ZipBuilder zip;
    zip.AddFile("huge.bin", "tiny", true).centralUncompressed = 0xA0000000;
    PakBuilder pak;
    pak.AddFile("big.bin", "tiny").length = 0x7ffffff0;
    pak.AddFile("ok.bin", "fine");
    ASSERT_TRUE(zip.Write("a.pk3") && pak.Write("a.pak"));
    ASSERT_TRUE(gFileMgr.MountZip("a.pk3") && gFileMgr.MountPak("a.pak"));

    largestArray = 0;
    EXPECT_EQ(gFileMgr.find("huge.bin", "rb"), nullptr);
    EXPECT_EQ(gFileMgr.find("big.bin", "rb"), nullptr);
    EXPECT_NE(gFileMgr.find("ok.bin", "rb"), nullptr);
    EXPECT_LT(largestArray, 1u << 20);
    EXPECT_NE(logs.Debug().find("pakfile:: could not read file infos from pakfile : big.bin"),
              std::string::npos);
    gFileMgr.Reset();
}
