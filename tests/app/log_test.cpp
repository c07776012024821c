// Log messages are bounded; nothing is written while the files are closed.
#include "platform/log.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

TEST(LogTest, MessagesAreCutAt511CharactersAndDroppedWhileClosed)
{
    CloseLogFiles();
    EXPECT_FALSE(DebugLog("dropped while closed"));
    LogCapture logs;
    std::string exact(511, 'x');
    Log("%s", exact.c_str());
    Log("%s", (exact + "overflow").c_str());
    EXPECT_FALSE(DebugLog("%s", ""));
    EXPECT_EQ(logs.LogText(), exact + "\n" + exact + "\n");
    EXPECT_EQ(logs.Debug(), " \n");
}
