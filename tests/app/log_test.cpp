// Log messages: one escaped line each, bounded per file, repeated causes once, failures told on
// standard error, every line handed to the listener; the debug file grows across runs.
#include "platform/escape.h"
#include "platform/log.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace
{
// Notes each line as "D:" or "L:" plus the text; a line "echo" is logged again from inside.
void Hear(LogFileId file, const char* line, void* user)
{
    static_cast<std::vector<std::string>*>(user)->push_back((file == LOG_FILE_DEBUG ? "D:" : "L:") +
                                                            std::string(line));
    if (std::string(line) == "echo")
        Log("echoed");
}
} // namespace

TEST(LogTest, EveryMessageIsOneLineWithControlsEscaped)
{
    const std::string exact(511, 'x');
    std::string newlines; // 511 line ends, each written as two visible characters
    for (int i = 0; i < 511; ++i)
        newlines += "\\n";
    const std::pair<std::string, std::string> cases[] = {
        {"plain ` \\ \xc3\xa9", "plain ` \\ \xc3\xa9"},
        {"name\nApp:: forged", "name\\nApp:: forged"},
        {"\x1b[2J\r\t\x7f\x01 end", "\\x1b[2J\\r\\t\\x7f\\x01 end"},
        {"", ""},
        {exact, exact},
        {exact + "overflow", exact},
        {std::string(511, '\n'), newlines}};
    CloseLogFiles();
    EXPECT_FALSE(DebugLog("dropped while closed"));
    LogCapture logs;
    std::string expected;
    for (const auto& [message, line] : cases)
    {
        Log("%s", message.c_str());
        expected += line + "\n";
    }
    EXPECT_EQ(logs.LogText(), expected);
    EXPECT_FALSE(DebugLog("%s", ""));
    EXPECT_EQ(logs.Debug(), " \n");

    // The helper alone: cut before an escape, never inside one; always ended.
    char out[6] = "?????";
    EXPECT_TRUE(EscapeControls(out, sizeof out, "abc\x1b") == 3u && std::string(out) == "abc");
    EXPECT_TRUE(EscapeControls(out, sizeof out, "a\nbcd") == 5u && std::string(out) == "a\\nbc");
}

TEST(LogTest, FilesStopAtTheirLimitRepeatedCausesAreLoggedOnceAndTheListenerHearsAll)
{
    std::vector<std::string> heard;
    SetLogListener(Hear, &heard);
    {
        LogCapture logs;
        SetLogFileLimit(40); // three lines of "message N \n" fit
        for (int i = 0; i < 5; ++i)
            DebugLog("message %d", i);
        Log("echo");
        SetLogFileLimit(LOG_MAX_FILE_BYTES);
        EXPECT_EQ(logs.Debug(), "message 0 \nmessage 1 \nmessage 2 \n"
                                "Log:: debug file limit reached, further messages dropped \n");
        EXPECT_EQ(logs.LogText(), "echo\nechoed\n");
    }
    DebugLog("closed\x1b");
    SetLogListener(nullptr, nullptr);
    DebugLog("unheard");
    EXPECT_EQ(heard, (std::vector<std::string>{"D:message 0", "D:message 1", "D:message 2", "D:message 3",
                                               "D:Log:: debug file limit reached, further messages dropped",
                                               "D:message 4", "L:echo", "D:closed\\x1b"}));

    LogCapture logs;
    for (int frame = 0; frame < 3; ++frame)
    {
        EXPECT_FALSE(DebugLogOnce("Tess:: too big", "Tess:: mesh too big in frame %d", frame));
        DebugLogOnce("shader s", "ShaderMgr:: s missing");
    }
    ForgetLoggedOnce();
    DebugLogOnce("Tess:: too big", "Tess:: mesh too big again");
    ForgetLoggedOnce();
    // The set of causes is bounded: past it one line says so and new causes are dropped.
    for (int i = 0; i < LOG_MAX_ONCE_KEYS + 3; ++i)
        DebugLogOnce(std::to_string(i % (LOG_MAX_ONCE_KEYS + 2)).c_str(), "cause %d", i);
    std::string expected =
        "Tess:: mesh too big in frame 0 \nShaderMgr:: s missing \nTess:: mesh too big again \n";
    for (int i = 0; i < LOG_MAX_ONCE_KEYS; ++i)
        expected += "cause " + std::to_string(i) + " \n";
    expected += "Log:: more than 256 different repeated messages, new ones dropped \n";
    EXPECT_EQ(logs.Debug(), expected);
}

// The debug file is appended to, the log file starts afresh in every run; each message is on
// disk before the files close. A missing folder fails to open and /dev/full to write: each is
// told once on standard error (running as root ignores a read-only folder, so none is built).
TEST(LogTest, DebugFileGrowsAcrossRunsAndFailuresAreToldOnStandardError)
{
    TempDir dir;
    CloseLogFiles();
    std::string written;
    for (int run = 1; run <= 2; ++run)
    {
        OpenLogFiles(dir.File("dbg.txt").c_str(), dir.File("run.txt").c_str());
        DebugLog("failure %d", run);
        Log("progress %d", run);
        written += ReadFileText(dir.File("dbg.txt")) + "|" + ReadFileText(dir.File("run.txt")) + "|";
        CloseLogFiles();
    }
    EXPECT_EQ(written, "failure 1 \n|progress 1\n|failure 1 \nfailure 2 \n|progress 2\n|");

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
