// Variables, the command interpreter, output lines and script files.
#include "consolefixture.h"
#include "support/testutil.h"

namespace
{
// Records what the console hands to an owner and answers as told.
struct sOwner : VarListener
{
    bool allow = true;
    int lastId = -1;
    std::string lastText;
    bool OnCommand(int id, ConArgs* args) override
    {
        lastId = id;
        lastText = args->Text() ? args->Text() : "(none)";
        return true;
    }
    bool OnVariableChange(ConVar*, ConArgs* args) override
    {
        lastText = args->Text() ? args->Text() : "(none)";
        return allow;
    }
};
} // namespace

TEST(ConVarTest, SetConvertsByTypeAndCutsLongText)
{
    ConVar f, b, i, t;
    f.type = CONVAR_FLOAT, b.type = CONVAR_BOOL, i.type = CONVAR_INT;
    f.Set("1e2");
    b.Set("2");
    i.Set("7.9");
    t.Set(std::string(1000, 'x').c_str());
    EXPECT_EQ(f.valueText, "100.000000");
    EXPECT_EQ(b.valueText, "1");
    EXPECT_EQ(i.valueText, "7");
    EXPECT_EQ(t.valueText, std::string(CONVAR_MAX_TEXT, 'x'));
}

TEST(ConArgsTest, ArgumentsRunToTheEndOfTheText)
{
    ConArgs ab(" \ta  b");
    ASSERT_EQ(ab.Count(), 3);
    EXPECT_STREQ(ab.Arg(0), "a  b");
    EXPECT_STREQ(ab.Arg(1), " b");
    EXPECT_STREQ(ab.Arg(2), "b");
    EXPECT_EQ(ab.Arg(3), nullptr);
    EXPECT_EQ(ConArgs(nullptr).Count(), 0);
    // The count is 16 bits wide: a line of 70000 blanks is capped, not wrapped.
    EXPECT_EQ(ConArgs(("x" + std::string(70000, ' ')).c_str()).Count(), 32767);
}

TEST_F(ConsoleTest, LinesRunCommandsBeforeVariables)
{
    EXPECT_EQ(Run("fov 90"), "fov = 90.000000 [def=60.000000]|");
    EXPECT_EQ(Run("fov"), "fov = 90.000000 [def=60.000000]|");
    EXPECT_EQ(Run("near   "), "near = 0.000000 [def=0.500000]|");
    EXPECT_EQ(Run("echo   hello world"), "hello world|");
    EXPECT_FALSE(gConsole.Execute("HELP"));
    EXPECT_FALSE(gConsole.Execute(nullptr));

    // The owner of a variable sees the new text and may veto it; the value is shown either way.
    sOwner owner;
    ConVar title, shadowed;
    gConsole.RegisterVar("title", &title, &owner, -1);
    gConsole.Execute("title  my  viewer");
    EXPECT_EQ(title.valueText, "my  viewer");
    owner.allow = false;
    EXPECT_EQ(Run("title other"), "title = my  viewer [def=my  viewer]|");
    EXPECT_EQ(owner.lastText, "other");

    gConsole.RegisterVar("dual", &shadowed, nullptr, -1);
    gConsole.RegisterCommand("dual", 42, &owner);
    EXPECT_TRUE(gConsole.Execute("  dual one  two"));
    EXPECT_EQ(owner.lastId, 42);
    EXPECT_EQ(owner.lastText, "one  two");
    EXPECT_EQ(shadowed.valueText, "");
    EXPECT_TRUE(gConsole.Execute("dual"));
    EXPECT_EQ(owner.lastText, "(none)");
}

TEST_F(ConsoleTest, RegistriesSortByBytesKeepingRegistrationOrder)
{
    ConVar v[5];
    const char* names[] = {"a", "Ab", "AB", "same", "same"};
    for (int i = 0; i < 5; i++)
        gConsole.RegisterVar(names[i], &v[i], nullptr, -1);
    std::string order;
    for (const ConVar* var : gConsole.Vars())
        order += var->name + ",";
    EXPECT_EQ(order, "AB,Ab,a,autocom,far,fov,near,same,same,");
    EXPECT_EQ(gConsole.FindVar("same"), &v[3]);
    EXPECT_EQ(Run("help"),
              " |acts|bind|bindings|clear|concolor|echo|exec|glext|help|toggle|unbind|unbindall|vars|");
}

// toggle runs the variable's line with 0 or 1, so its owner is asked and the value shown.
TEST_F(ConsoleTest, ToggleFlipsNumberVariablesThroughTheirOwner)
{
    sOwner owner;
    owner.allow = false;
    ConVar vetoed;
    vetoed.type = CONVAR_INT;
    vetoed.Set(0);
    gConsole.RegisterVar("vetoed", &vetoed, &owner, -1);
    const char* cases[][2] = {{"toggle autocom more", "autocom = 0 [def=1]|"},
                              {"toggle autocom", "autocom = 1 [def=1]|"},
                              {"toggle vetoed", "vetoed = 0 [def=0]|"},
                              {"toggle fov", "toggle: fov is not a number|"},
                              {"toggle nosuch", "toggle: no variable \"nosuch\"|"}};
    for (const auto& c : cases)
        EXPECT_EQ(Run(c[0]), c[1]) << c[0];
    EXPECT_EQ(owner.lastText, "1");
}

TEST_F(ConsoleTest, HostileLinesAreHarmless)
{
    LogCapture log;
    EXPECT_EQ(Run("echo %s%n%d"), "%s%n%d|");
    EXPECT_EQ(Run("echo a\x1b[2Jb\tc\x7f"), "a\\x1b[2Jb\\tc\\x7f|");
    // A long line is cut to the output limit (the listing adds one separator).
    EXPECT_EQ(Run("echo " + std::string(5000, 'e')).size(), static_cast<size_t>(CON_MAX_OUTPUT));
    sOwner owner;
    std::string fits(127, 'w'), tooLong(128, 'w');
    gConsole.RegisterCommand(fits.c_str(), 1, &owner);
    gConsole.RegisterCommand(tooLong.c_str(), 2, &owner);
    EXPECT_FALSE(gConsole.Execute((tooLong + " x").c_str()));
    EXPECT_EQ(owner.lastId, -1);
    EXPECT_TRUE(gConsole.Execute((fits + " x").c_str()));
    EXPECT_EQ(owner.lastId, 1);
    EXPECT_NE(log.Debug().find("Console:: command name too long"), std::string::npos);
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
    for (int i = 0; i < 21; i++)
        gConsole.Print("x");
    EXPECT_EQ(gConsole.PageCount(), 2);
}

TEST_F(ConsoleTest, VariablesFileFeedsLaterVariablesAndBinds)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    ASSERT_TRUE(WriteFileText(dir.File("convars.cfg"), "fov 75\n/*\nbind F2 gun\n*/\nbind F1 nextmodel\n"
                                                       "BIND F1 gun\nfov 80\nbind\n"));
    ASSERT_TRUE(gConsole.LoadConfig("convars.cfg"));
    EXPECT_EQ(fov.valueText, "60.000000");
    ConVar later;
    later.type = CONVAR_FLOAT;
    gConsole.RegisterVar("Fov", &later, nullptr, -1);
    EXPECT_EQ(later.valueText, "75.000000");
    EXPECT_EQ(Run("bindings"), "F1->gun|");

    EXPECT_FALSE(gConsole.LoadConfig("missing.cfg"));
    EXPECT_EQ(Run("bindings"), "F1->gun|");
}

TEST_F(ConsoleTest, ExecRunsScriptLinesWithinLimits)
{
    LogCapture log;
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    ASSERT_TRUE(WriteFileText(dir.File("my file.cfg"), "echo first\r\n// note\n/* block\necho hidden\n*/\n"
                                                       "unbindall\nnosuch thing\nfov 90\necho last"));
    ASSERT_TRUE(WriteFileText(dir.File("unbind.cfg"), "unbindall x\n"));
    ASSERT_TRUE(WriteFileText(dir.File("empty.cfg"), ""));
    gConsole.Execute("bind F1 gun");
    // A lone word holds no blank and is dropped, so the binding survives the first script.
    EXPECT_EQ(Run("exec my file.cfg"), " |first|fov = 90.000000 [def=60.000000]|last|");
    EXPECT_NE(gConsole.Binding(KEY_F1).action, nullptr);
    gConsole.Execute("exec unbind.cfg");
    EXPECT_EQ(gConsole.Binding(KEY_F1).action, nullptr);
    for (const char* line : {"exec", "exec missing.cfg", "exec empty.cfg"})
        EXPECT_EQ(Run(line), " |") << line;

    ASSERT_TRUE(WriteFileText(dir.File("self.cfg"), "exec self.cfg\necho once\n"));
    ASSERT_TRUE(WriteFileText(dir.File("a.cfg"), "exec b.cfg\necho a\n"));
    ASSERT_TRUE(WriteFileText(dir.File("b.cfg"), "exec ./a.cfg\necho b\n"));
    EXPECT_EQ(Run("exec self.cfg"), " | |once|");
    EXPECT_EQ(Run("exec a.cfg"), " | | | |a|b|a|");
    EXPECT_NE(log.Debug().find("Console:: script runs itself, skipped : self.cfg"), std::string::npos);

    // Twelve files that each run the next one ten times would take 10^8 lines: a budget stops them.
    for (int i = 0; i < 12; i++)
    {
        std::string text;
        for (int j = 0; j < 10; j++)
            text += "exec f" + std::to_string(i + 1) + ".cfg\n";
        ASSERT_TRUE(WriteFileText(dir.File("f" + std::to_string(i) + ".cfg"), text));
    }
    gConsole.Execute("exec f0.cfg");
    EXPECT_NE(log.Debug().find("Console:: too many script lines"), std::string::npos);

    // A long flat script runs to its end, however many lines it has.
    std::string flat;
    for (int i = 0; i <= 70000; i++)
        flat += "echo " + std::to_string(i) + "\n";
    ASSERT_TRUE(WriteFileText(dir.File("flat.cfg"), flat));
    gConsole.Execute("exec flat.cfg");
    EXPECT_EQ(gConsole.Lines().front(), "70000");
    EXPECT_EQ(Run("exec self.cfg"), " | |once|");
}
