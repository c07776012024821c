// The command interpreter, output lines, built-in commands and script files.
#include "consolefixture.h"
#include "support/testutil.h"

#include "fs/memfile.h"

#include <cstring>

namespace
{
struct sRecorder : VarListener
{
    int lastId = -1;
    std::string lastText;
    int calls = 0;
    bool OnCommand(int id, ConArgs* args) override
    {
        calls++;
        lastId = id;
        lastText = args->Text() ? args->Text() : "(none)";
        return true;
    }
};

std::string Joined(int newest)
{
    std::string out;
    for (int i = newest - 1; i >= 0; i--)
        out += gConsole.Lines()[i] + "|";
    return out;
}
} // namespace

TEST(ConArgsTest, ArgumentsRunToTheEndOfTheText)
{
    ConArgs ab("a b");
    ASSERT_EQ(ab.Count(), 2);
    EXPECT_STREQ(ab.Arg(0), "a b");
    EXPECT_STREQ(ab.Arg(1), "b");
    EXPECT_EQ(ab.Arg(2), nullptr);
    EXPECT_EQ(ab.Arg(-1), nullptr);

    ConArgs spaced(" \t x  y");
    ASSERT_EQ(spaced.Count(), 3);
    EXPECT_STREQ(spaced.Arg(0), "x  y");
    EXPECT_STREQ(spaced.Arg(1), " y");
    EXPECT_STREQ(spaced.Arg(2), "y");
    char word[8];
    EXPECT_TRUE(spaced.Word(0, word, sizeof word));
    EXPECT_STREQ(word, "x");
    EXPECT_TRUE(spaced.Word(1, word, sizeof word));
    EXPECT_STREQ(word, "");

    ConArgs blanks("   ");
    EXPECT_EQ(blanks.Count(), 1);
    EXPECT_STREQ(blanks.Arg(0), "");
    ConArgs none(nullptr);
    EXPECT_EQ(none.Count(), 0);
    EXPECT_EQ(none.Text(), nullptr);

    // A word that does not fit is cut and reported.
    ConArgs longWord("abcdefghij k");
    EXPECT_FALSE(longWord.Word(0, word, sizeof word));
    EXPECT_STREQ(word, "abcdefg");

    // The count is 16 bits wide; a line of many blanks is capped, not wrapped.
    std::string many(70000, ' ');
    many[0] = 'x';
    ConArgs huge(many.c_str());
    EXPECT_EQ(huge.Count(), 32767);
    EXPECT_STREQ(huge.Arg(32766), std::string(70000 - 32767, ' ').c_str());
}

TEST_F(ConsoleTest, ExecuteFindsCommandsBeforeVariables)
{
    sRecorder owner;
    ConVar shadowed;
    gConsole.RegisterVar("dual", &shadowed, nullptr, -1);
    gConsole.RegisterCommand("dual", 42, &owner);

    EXPECT_TRUE(gConsole.Execute("  \tdual one  two"));
    EXPECT_EQ(owner.lastId, 42);
    EXPECT_EQ(owner.lastText, "one  two");
    EXPECT_EQ(shadowed.valueText, "");
    EXPECT_TRUE(gConsole.Execute("dual"));
    EXPECT_EQ(owner.lastText, "(none)");

    // Names are case-sensitive and a tab does not end the first word.
    EXPECT_FALSE(gConsole.Execute("HELP"));
    EXPECT_FALSE(gConsole.Execute("dual\tx"));
    EXPECT_FALSE(gConsole.Execute(""));
    EXPECT_FALSE(gConsole.Execute(nullptr));
    // The line itself is never printed.
    size_t before = gConsole.Lines().size();
    gConsole.Execute("dual x");
    EXPECT_EQ(gConsole.Lines().size(), before);
}

TEST_F(ConsoleTest, OverLongFirstWordIsRefused)
{
    LogCapture log;
    sRecorder owner;
    std::string fits(127, 'w'), tooLong(128, 'w');
    gConsole.RegisterCommand(fits.c_str(), 1, &owner);
    gConsole.RegisterCommand(tooLong.c_str(), 2, &owner);
    EXPECT_TRUE(gConsole.Execute((fits + " arg").c_str()));
    EXPECT_EQ(owner.lastId, 1);
    EXPECT_FALSE(gConsole.Execute((tooLong + " arg").c_str()));
    EXPECT_FALSE(gConsole.Execute(std::string(5000, 'z').c_str()));
    EXPECT_EQ(owner.calls, 1);
    EXPECT_NE(log.Debug().find("Console:: command name too long"), std::string::npos);
}

TEST_F(ConsoleTest, PrintedTextIsNeverAFormat)
{
    gConsole.Execute("echo   hello world");
    EXPECT_EQ(Newest(), "hello world");
    gConsole.Execute("echo %s%n%d");
    EXPECT_EQ(Newest(), "%s%n%d");
    gConsole.Print("%s", "%x%n");
    EXPECT_EQ(Newest(), "%x%n");
    // echo without text prints nothing; a long line is cut, not overrun.
    size_t before = gConsole.Lines().size();
    gConsole.Execute("echo");
    EXPECT_EQ(gConsole.Lines().size(), before);
    gConsole.Execute(("echo " + std::string(5000, 'e')).c_str());
    EXPECT_EQ(Newest().size(), static_cast<size_t>(CON_MAX_OUTPUT - 1));
}

TEST_F(ConsoleTest, OutputKeepsNewestLinesAndCountsPages)
{
    for (int i = 0; i < 150; i++)
        gConsole.Print("line %d", i);
    ASSERT_EQ(gConsole.Lines().size(), 101u);
    EXPECT_EQ(gConsole.Lines().front(), "line 149");
    EXPECT_EQ(gConsole.Lines().back(), "line 49");
    EXPECT_EQ(gConsole.PageCount(), 101 / 21 + 1);

    gConsole.Execute("clear");
    EXPECT_TRUE(gConsole.Lines().empty());
    EXPECT_EQ(gConsole.PageCount(), 1);
    for (int i = 0; i < 20; i++)
        gConsole.Print("x");
    EXPECT_EQ(gConsole.PageCount(), 1);
    gConsole.Print("x");
    EXPECT_EQ(gConsole.PageCount(), 2);
}

TEST_F(ConsoleTest, ListingCommandsPrintTheirRegistries)
{
    gConsole.Execute("clear");
    gConsole.Execute("help");
    EXPECT_EQ(Joined(13), " |acts|bind|bindings|clear|concolor|echo|exec|glext|help|unbind|unbindall|vars|");
    gConsole.Execute("clear");
    gConsole.Execute("vars");
    EXPECT_EQ(Joined(5), " |autocom = 1 [def=1]|far = 10000.000000 [def=10000.000000]|"
                         "fov = 60.000000 [def=60.000000]|near = 0.500000 [def=0.500000]|");
    gConsole.RegisterAction("gun", nullptr);
    gConsole.Execute("clear");
    gConsole.Execute("acts");
    EXPECT_EQ(Joined(3), " |contoggle|gun|");
}

TEST_F(ConsoleTest, ConcolorReadsUpToThreeNumbers)
{
    EXPECT_FLOAT_EQ(gConsole.Color()[0], 0.4f);
    gConsole.Execute("concolor 0.1 0.2");
    EXPECT_FLOAT_EQ(gConsole.Color()[0], 0.1f);
    EXPECT_FLOAT_EQ(gConsole.Color()[1], 0.2f);
    EXPECT_FLOAT_EQ(gConsole.Color()[2], 0.0f);
    gConsole.Execute("concolor");
    EXPECT_FLOAT_EQ(gConsole.Color()[0], 0.1f);
    gConsole.Execute("concolor red");
    EXPECT_FLOAT_EQ(gConsole.Color()[0], 0.0f);
    EXPECT_FLOAT_EQ(gConsole.Color()[1], 0.0f);
}

TEST_F(ConsoleTest, ExecRunsScriptLines)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    ASSERT_TRUE(WriteFileText(dir.File("my file.cfg"), "echo first\r\n"
                                                       "// a comment\n"
                                                       "/* block\n"
                                                       "echo hidden\n"
                                                       "*/\n"
                                                       "unbindall\n"
                                                       "nosuchthing at all\n"
                                                       "fov 90\n"
                                                       "echo last"));
    gConsole.RegisterAction("gun", nullptr);
    gConsole.Execute("bind F1 gun");
    gConsole.Execute("clear");
    EXPECT_TRUE(gConsole.Execute("exec my file.cfg"));
    EXPECT_EQ(Joined(static_cast<int>(gConsole.Lines().size())),
              " |first|fov = 90.000000 [def=60.000000]|last|");
    // A lone word holds no blank and is dropped, so the binding survives.
    EXPECT_NE(gConsole.Binding(KEY_F1).action, nullptr);

    ASSERT_TRUE(WriteFileText(dir.File("unbind.cfg"), "unbindall x\n"));
    gConsole.Execute("exec unbind.cfg");
    EXPECT_EQ(gConsole.Binding(KEY_F1).action, nullptr);
}

TEST_F(ConsoleTest, ExecOfMissingOrEmptyFileDoesNothingMore)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    ASSERT_TRUE(WriteFileText(dir.File("empty.cfg"), ""));
    for (const char* line : {"exec", "exec   ", "exec missing.cfg", "exec empty.cfg"})
    {
        gConsole.Execute("clear");
        EXPECT_TRUE(gConsole.Execute(line)) << line;
        EXPECT_EQ(Joined(static_cast<int>(gConsole.Lines().size())), " |") << line;
    }
    memfile_t closed;
    EXPECT_FALSE(gConsole.ExecFile(closed));
}

TEST_F(ConsoleTest, ScriptsThatRunThemselvesStop)
{
    LogCapture log;
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    ASSERT_TRUE(WriteFileText(dir.File("self.cfg"), "exec self.cfg\necho once\n"));
    ASSERT_TRUE(WriteFileText(dir.File("a.cfg"), "exec b.cfg\necho a\n"));
    ASSERT_TRUE(WriteFileText(dir.File("b.cfg"), "exec ./a.cfg\necho b\n"));
    gConsole.Execute("clear");
    gConsole.Execute("exec self.cfg");
    EXPECT_EQ(Joined(static_cast<int>(gConsole.Lines().size())), " | |once|");
    gConsole.Execute("clear");
    gConsole.Execute("exec a.cfg");
    EXPECT_EQ(Joined(static_cast<int>(gConsole.Lines().size())), " | | | |a|b|a|");
    EXPECT_NE(log.Debug().find("Console:: script runs itself, skipped : self.cfg"), std::string::npos);

    // Files that each run the next one ten times would take 10^8 lines: a budget stops them.
    for (int i = 0; i < 12; i++)
    {
        std::string text;
        for (int j = 0; j < 10; j++)
            text += "exec f" + std::to_string(i + 1) + ".cfg\n";
        ASSERT_TRUE(WriteFileText(dir.File("f" + std::to_string(i) + ".cfg"), text));
    }
    gConsole.Execute("exec f0.cfg");
    EXPECT_NE(log.Debug().find("Console:: too many script lines"), std::string::npos);
    // The budget starts afresh for the next script.
    gConsole.Execute("exec self.cfg");
    EXPECT_EQ(Newest(), "once");
}
