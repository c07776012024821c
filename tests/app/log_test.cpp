// Log messages: one escaped line each, bounded per file and in repeated causes, failures told on
// standard error, every line handed to the listener.
#include "platform/escape.h"
#include "platform/log.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace
{
std::string heard; // every line the listener heard: "D:" or "L:", the line, "|"
void Hear(LogFileId file, const char* line, void*)
{
    heard += (file == LOG_FILE_DEBUG ? "D:" : "L:") + std::string(line) + "|";
    if (std::string(line) == "echo")
        Log("echoed"); // not heard: the listener is not called from inside itself
}
} // namespace

// Controls are escaped into one visible line, a message is cut at 511 characters, the helper
// cuts before an escape, never inside one. Past its limit a file takes one last line saying so;
// the listener hears every line, escaped, but not the ones it logs itself.
TEST(LogTest, MessagesAreEscapedBoundedAndNeverLostSilently)
{
    {
        LogCapture logs;
        Log("name\nApp:: forged \x1b[2J\r\t\x7f \xc3\xa9");
        Log("%s", (std::string(511, 'x') + "overflow").c_str());
        EXPECT_EQ(logs.LogText(),
                  "name\\nApp:: forged \\x1b[2J\\r\\t\\x7f \xc3\xa9\n" + std::string(511, 'x') + "\n");
        SetLogListener(Hear, nullptr);
        SetLogFileLimit(40); // three lines of "message N \n" fit, the log file is full already
        for (int i = 0; i < 5; ++i)
            DebugLog("message %d", i);
        Log("echo");
        SetLogFileLimit(LOG_MAX_FILE_BYTES);
        EXPECT_EQ(logs.Debug(), "message 0 \nmessage 1 \nmessage 2 \n"
                                "Log:: debug file limit reached, further messages dropped \n");
    }
    DebugLog("closed\x1b");
    SetLogListener(nullptr, nullptr);
    EXPECT_EQ(heard, "D:message 0|D:message 1|D:message 2|D:message 3|D:Log:: debug file limit reached, "
                     "further messages dropped|D:message 4|L:echo|L:Log:: log file limit reached, further "
                     "messages dropped|D:closed\\x1b|");
    char out[6] = "?????";
    EXPECT_TRUE(EscapeControls(out, sizeof out, "a\nbc\x1b") == 5u && std::string(out) == "a\\nbc");
    // One line of at most n characters: escaped, cut before an escape, ".." at the end of a cut.
    for (const auto& [text, n, line] :
         std::vector<std::tuple<const char*, size_t, const char*>>{{"abc", 3, "abc"},
                                                                   {"abcd", 3, "a.."},
                                                                   {"a\tb", 4, "a\\tb"},
                                                                   {"ab\tc", 4, "ab.."},
                                                                   {"a\tbc", 4, "a.."},
                                                                   {"abc", 1, "."},
                                                                   {"abc", 0, ""}})
        EXPECT_EQ(EscapedLine(text, n), line) << text << " " << n;

    // Messages logged once per cause: the set of causes is bounded, past it one line says so.
    LogCapture logs;
    for (int i = 0; i < LOG_MAX_ONCE_KEYS + 3; ++i)
        DebugLogOnce(std::to_string(i % (LOG_MAX_ONCE_KEYS + 2)).c_str(), "cause %d", i);
    const std::string debug = logs.Debug();
    EXPECT_EQ(std::count(debug.begin(), debug.end(), '\n'), LOG_MAX_ONCE_KEYS + 1);
    EXPECT_EQ(debug.substr(debug.rfind("cause ")),
              "cause 255 \nLog:: more than 256 different repeated messages, new ones dropped \n");

    // A missing folder fails to open and /dev/full to write: each is told once on standard error.
    TempDir dir;
    CloseLogFiles();
    testing::internal::CaptureStderr();
    OpenLogFiles((dir.Path() + "/missing/debug\n.txt").c_str(), "/dev/full");
    DebugLog("lost");
    Log("lost 1");
    Log("lost 2");
    std::string err = testing::internal::GetCapturedStderr();
    CloseLogFiles();
    EXPECT_EQ(err, "Log:: can`t open debug file " + dir.Path() +
                       "/missing/debug\\n.txt : No such file or directory\n"
                       "Log:: can`t write log file /dev/full : No space left on device\n");
}
