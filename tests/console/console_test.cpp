// Variables, commands, bindings and scripts through their output lines and debug messages, then
// the line editor.
#include "consolefixture.h"
#include "support/testutil.h"

#include <vector>

namespace
{
// Owns a command: prints the id and the argument text it is handed.
struct sOwner : VarListener
{
    bool OnCommand(int id, ConArgs* args) override
    {
        gConsole.Print("cmd %d %s", id, args->Text() ? args->Text() : "(none)");
        return true;
    }
};
} // namespace

TEST_F(ConsoleTest, EachLinePrintsItsOutputAndLimitsStopWithAMessage)
{
    LogCapture log;
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    ASSERT_TRUE(WriteFileText(dir.File("convars.cfg"), "fov 75\nab 3\nbind F1 nextmodel\nBIND F1 gun\n"));
    ASSERT_TRUE(WriteFileText(dir.File("my file.cfg"), "echo first\r\n// note\n/* block\necho hidden\n*/\n"
                                                       "unbindall\nnosuch thing\nfov 45\necho last"));
    ASSERT_TRUE(WriteFileText(dir.File("self.cfg"), "exec self.cfg\necho once\n"));
    // A flat script runs to its end; files that each run the next one ten times would run 10^8
    // lines within the nesting limit, were it not for the line budget.
    std::string flat, spaces;
    for (int i = 0; i < 70000; i++)
        flat += "unbindall x\n";
    ASSERT_TRUE(WriteFileText(dir.File("flat.cfg"), flat + "echo end\n"));
    for (int i = 0; i < 12; i++)
    {
        std::string text;
        for (int j = 0; j < 10; j++)
            text += "exec f" + std::to_string(i + 1) + ".cfg\n";
        ASSERT_TRUE(WriteFileText(dir.File("f" + std::to_string(i) + ".cfg"), text));
    }
    for (int i = 0; i <= CON_MAX_LINES; i++)
        spaces += " |";
    ASSERT_TRUE(gConsole.LoadConfig("convars.cfg"));
    // Registered after the file: the file's values reach them, equal names keep their order.
    sOwner owner;
    ConVar v[5];
    const char* names[] = {"same", "Ab", "AB", "same", "dual"};
    v[0].Set("1");
    v[3].Set("2");
    for (int i = 0; i < 5; i++)
        gConsole.RegisterVar(names[i], &v[i], nullptr, -1);
    gConsole.RegisterCommand("dual", 42, &owner);
    const std::string key(CON_MAX_KEYNAME, 'k'), action(CON_MAX_ACTION, 'x');
    gConsole.RegisterAction(action.c_str(), [] {});

    const std::string rows[][3] = {
        {"vars",
         " |AB = 3 [def=3]|Ab = 3 [def=3]|autocom = 1 [def=1]|dual =  [def=]|"
         "far = 10000.000000 [def=10000.000000]|fov = 60.000000 [def=60.000000]|"
         "same = 1 [def=1]|same = 2 [def=2]|",
         ""},
        {"bindings", "F1->gun|", ""},
        {"fov 90", "fov = 90.000000 [def=60.000000]|", ""},
        {"echo  %s%n\x1b[2J\t", "%s%n\\x1b[2J\\t|", ""},
        {"echo " + std::string(5000, 'e'), std::string(CON_MAX_OUTPUT - 1, 'e') + "|", ""},
        {"  dual one  two", "cmd 42 one  two|", ""}, // commands before variables
        {"toggle autocom more", "autocom = 0 [def=1]|", ""},
        {"toggle fov", "toggle: fov is not a number|", ""},
        {"toggle nosuch", "toggle: no variable \"nosuch\"|", ""},
        {"acts", " |contoggle|gun|nextmodel|", "Console:: action name too long"},
        {"bind f1 NextModel", "", ""},
        {"bind JOY19 gun extra words", "", ""},
        {"bind \xE9 gun", "", ""},
        {"bind F2 nosuch", "unknown action \"nosuch\"|", ""},
        {"bind " + key + " gun", "", "Console:: key name too long"},
        // A lone word holds no blank and is dropped, so unbindall does not run.
        {"exec my file.cfg", " |first|fov = 45.000000 [def=60.000000]|last|", ""},
        {"bindings", "\xE9->gun|f1->nextmodel|JOY19->gun|", ""},
        {"unbind F1", "", ""},
        {"bindings", "\xE9->gun|JOY19->gun|", ""},
        {"exec missing.cfg", " |", ""},
        {std::string(CON_MAX_WORD, 'w') + " x", "", "Console:: command name too long"},
        {"exec self.cfg", " | |once|", "Console:: script runs itself, skipped : self.cfg"},
        {"exec flat.cfg", " |end|", ""},
        {"exec f0.cfg", spaces, "Console:: too many script lines"},
    };
    for (const auto& row : rows)
    {
        EXPECT_EQ(Run(row[0]), row[1]) << row[0].substr(0, 40);
        EXPECT_NE(log.Debug().find(row[2]), std::string::npos) << row[2];
    }
    EXPECT_STREQ(gConsole.Binding(0xE9).keyName, "\xE9"); // a high byte is read unsigned
    // The argument count is 16 bits wide: a line of 70000 blanks is capped, not wrapped.
    EXPECT_EQ(ConArgs(("x" + std::string(70000, ' ')).c_str()).Count(), 32767);
}

TEST_F(ConsoleTest, EditorCompletesRunsRecallsAndPages)
{
    gConsole.KeyInput('y', 0); // closed: nothing is typed
    gConsole.Toggle();
    Type("fo");
    EXPECT_STREQ(gConsole.Input(), "fov"); // the only name left completes the line
    gConsole.KeyInput(KEY_DELETE, 0);
    gConsole.KeyInput(KEY_F1 + 4, 0); // autocom off
    Type("ec");
    EXPECT_STREQ(gConsole.Input(), "ec");
    gConsole.KeyInput(KEY_DELETE, 0);

    // Ignored keys and keys whose low byte is zero type nothing; the line stops at 511 characters.
    for (int code : std::initializer_list<int>{KEY_TAB, KEY_LEFT, KEY_LSHIFT, 256})
        gConsole.KeyInput(code, 0);
    for (int i = 0; i < 600; i++)
        gConsole.KeyInput('z', 0);
    gConsole.KeyInput(KEY_RETURN, 0);
    EXPECT_EQ(gConsole.Lines().front(), "unknown command/var \"" + std::string(CON_MAX_INPUT, 'z') + "\"");
    EXPECT_TRUE(gConsole.History().empty());

    // 101 lines are kept; Up and Down both step back from the newest.
    for (int i = 0; i < 120; i++)
        Type(("fov " + std::to_string(i) + "\r").c_str());
    EXPECT_EQ(gConsole.History().size(), 101u);
    gConsole.KeyInput(KEY_UP, 0);
    gConsole.KeyInput(KEY_DOWN, 0);
    EXPECT_STREQ(gConsole.Input(), "fov 118");

    // 50 lines make three pages; paging stops at both ends, F4 clears.
    gConsole.KeyInput(KEY_F1 + 3, 0);
    for (int i = 0; i < 50; i++)
        gConsole.Print("%d", i);
    std::vector<int> pages;
    for (int key : std::initializer_list<int>{KEY_PGDN, KEY_PGUP, KEY_PGUP, KEY_PGUP, KEY_PGDN, KEY_F1 + 3})
    {
        gConsole.KeyInput(key, 0);
        pages.push_back(gConsole.Page() * 10 + gConsole.PageCount());
    }
    EXPECT_EQ(pages, (std::vector<int>{3, 13, 23, 23, 13, 1}));
}
