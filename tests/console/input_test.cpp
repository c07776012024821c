// Key bindings and the line editor: binding, firing, typing, history, paging and completion.
#include "consolefixture.h"
#include "support/testutil.h"

namespace
{
std::string Offered()
{
    std::string out;
    for (const std::string& name : gConsole.Completions())
        out += name + ",";
    return out;
}
} // namespace

TEST_F(ConsoleTest, BindIgnoresCaseAndFires)
{
    EXPECT_EQ(Run("bind f1 NextModel"), "");
    gConsole.Execute("bind JOY19 gun");
    gConsole.Execute("bind a gun extra words");
    gConsole.Execute("bind A gun");
    EXPECT_EQ(Run("bindings"), "A->gun|a->gun|f1->nextmodel|JOY19->gun|");
    EXPECT_STREQ(gConsole.Binding(348).keyName, "JOY19");
    gConsole.KeyPressed(KEY_F1);
    gConsole.KeyPressed(KEY_F1 + 1);
    gConsole.KeyPressed(-1);
    gConsole.KeyPressed(CON_NUM_KEYS);
    EXPECT_EQ(fired, "n");

    EXPECT_EQ(Run("bind F1 nosuch"), "unknown action \"nosuch\"|");
    gConsole.Execute("bind F1");
    gConsole.Execute("unbind");
    EXPECT_STREQ(gConsole.Binding(KEY_F1).action->name, "nextmodel");
    gConsole.Execute("unbind F1");
    EXPECT_EQ(Run("bindings"), "A->gun|a->gun|JOY19->gun|");
    gConsole.Execute("bind F1 gun");
    EXPECT_STREQ(gConsole.Binding(KEY_F1).keyName, "F1");

    // The bound key opens the console; from then on keys go to the editor, and only while open.
    gConsole.Execute("bind MOUSE2 contoggle");
    gConsole.KeyPressed(KEY_MOUSE2);
    ASSERT_TRUE(gConsole.IsOpen());
    gConsole.KeyInput('x', 0);
    EXPECT_STREQ(gConsole.Input(), "x");
    gConsole.KeyPressed(KEY_MOUSE2);
    EXPECT_FALSE(gConsole.IsOpen());
    gConsole.KeyInput('y', 0);
    EXPECT_STREQ(gConsole.Input(), "x");
}

TEST_F(ConsoleTest, OverLongOrOddKeyAndActionNamesStayInTheirFields)
{
    LogCapture log;
    std::string key(CON_MAX_KEYNAME, 'k'), action(CON_MAX_ACTION, 'x');
    gConsole.Execute(("bind " + key + " gun").c_str());
    gConsole.Execute(("bind " + key.substr(1) + " gun").c_str()); // unknown key: slot 0
    EXPECT_STREQ(gConsole.Binding(0).keyName, key.substr(1).c_str());
    EXPECT_NE(log.Debug().find("Console:: key name too long"), std::string::npos);

    gConsole.RegisterAction(action.c_str(), [] { fired += "x"; });
    gConsole.RegisterAction(action.substr(1).c_str(), [] { fired += "y"; });
    EXPECT_NE(log.Debug().find("Console:: action name too long"), std::string::npos);
    EXPECT_EQ(Run("bind F2 " + action), "unknown action \"" + action + "\"|");
    gConsole.Execute(("bind F2 " + action.substr(1)).c_str());
    gConsole.KeyPressed(KEY_F1 + 1);
    EXPECT_EQ(fired, "y");

    gConsole.Execute("bind \xE9 gun");
    EXPECT_STREQ(gConsole.Binding(0xE9).action->name, "gun");
}

TEST_F(ConsoleTest, EditorCompletesTypesRunsAndRecallsLines)
{
    gConsole.Toggle();
    Type("f");
    EXPECT_EQ(Offered(), "far,fov,");
    EXPECT_STREQ(gConsole.Input(), "f");
    Type("o");
    EXPECT_EQ(Offered(), "fov,");
    EXPECT_STREQ(gConsole.Input(), "fov");
    gConsole.KeyInput(KEY_DELETE, 0);

    gConsole.KeyInput(KEY_F1 + 4, 0); // autocom off
    EXPECT_EQ(gConsole.FindVar("autocom")->valueText, "0");
    Type("ec");
    EXPECT_EQ(Offered(), "echo,");
    EXPECT_STREQ(gConsole.Input(), "ec");
    gConsole.KeyInput(KEY_BACKSPACE, 0);
    gConsole.KeyInput(KEY_BACKSPACE, 0);
    EXPECT_EQ(Offered(), "");

    gConsole.KeyInput(KEY_F1 + 5, 1);
    EXPECT_EQ(gConsole.Input()[0], 31);
    gConsole.KeyInput(KEY_DELETE, 0);
    // Ignored keys and keys whose low byte is zero type nothing.
    for (int code : std::initializer_list<int>{KEY_TAB, KEY_LEFT, KEY_LSHIFT, KEY_RALT, 256})
        gConsole.KeyInput(code, 0);
    for (int i = 0; i < 600; i++)
        gConsole.KeyInput('z', 0);
    EXPECT_EQ(std::string(gConsole.Input()), std::string(CON_MAX_INPUT, 'z'));
    gConsole.KeyInput(KEY_RETURN, 0);
    EXPECT_EQ(gConsole.Lines().front(), "unknown command/var \"" + std::string(CON_MAX_INPUT, 'z') + "\"");
    EXPECT_TRUE(gConsole.History().empty());

    Type("help\rvars\r"); // autocom is off, so the words are typed as they are
    EXPECT_STREQ(gConsole.Input(), "");
    const char* recalled[] = {"vars", "help", "vars"};
    for (const char* expected : recalled)
    {
        gConsole.KeyInput(KEY_UP, 0);
        EXPECT_STREQ(gConsole.Input(), expected);
    }
    for (int i = 0; i < 120; i++)
        Type(("fov " + std::to_string(i) + "\r").c_str());
    EXPECT_EQ(gConsole.History().size(), 101u);
    gConsole.KeyInput(KEY_DOWN, 0);
    EXPECT_STREQ(gConsole.Input(), "fov 119");
}

TEST_F(ConsoleTest, PagingStaysWithinTheOutput)
{
    gConsole.Toggle();
    for (int i = 0; i < 50; i++)
        gConsole.Print("%d", i);
    EXPECT_EQ(gConsole.PageCount(), 3);
    const int keys[][2] = {{KEY_PGDN, 0}, {KEY_PGUP, 1}, {KEY_PGUP, 2},
                           {KEY_PGUP, 2}, {KEY_PGDN, 1}, {KEY_F1 + 3, 0}};
    for (const auto& k : keys)
    {
        gConsole.KeyInput(k[0], 0);
        EXPECT_EQ(gConsole.Page(), k[1]) << k[0];
    }
    EXPECT_EQ(gConsole.PageCount(), 1);
}
