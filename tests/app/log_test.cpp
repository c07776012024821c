// The debug file grows across runs, the log file starts empty each run, messages are bounded.
#include "app/log.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

TEST(LogTest, DebugFileAppendsLogFileRewrites)
{
    TempDir dir;
    std::string debug = dir.File("d.txt"), log = dir.File("l.txt");
    CloseLogFiles();
    EXPECT_FALSE(DebugLog("dropped while closed"));
    for (int run = 1; run <= 2; run++)
    {
        OpenLogFiles(debug.c_str(), log.c_str());
        EXPECT_FALSE(DebugLog("run %d", run));
        EXPECT_FALSE(DebugLog("%s", ""));
        Log("run %d", run);
        // Each message is on disk before the files are closed.
        EXPECT_NE(ReadFileText(log).find("run " + std::to_string(run) + "\n"), std::string::npos);
        CloseLogFiles();
    }
    EXPECT_EQ(ReadFileText(debug), "run 1 \n \nrun 2 \n \n");
    EXPECT_EQ(ReadFileText(log), "run 2\n");
}

TEST(LogTest, MessagesAreCutAt511Characters)
{
    LogCapture logs;
    std::string exact(511, 'x');
    Log("%s", exact.c_str());
    Log("%s", (exact + "overflow").c_str());
    EXPECT_EQ(logs.LogText(), exact + "\n" + exact + "\n");
}
