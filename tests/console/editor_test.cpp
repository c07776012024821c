// The line editor: typing, running lines, history recall, paging and name completion.
#include "consolefixture.h"

class EditorTest : public ConsoleTest
{
  protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        gConsole.Toggle();
    }
    static std::string Offered()
    {
        std::string out;
        for (const std::string& name : gConsole.Completions())
            out += name + ",";
        return out;
    }
};

TEST_F(EditorTest, CompletionOffersNamesAndCompletesASingleOne)
{
    Type("f");
    EXPECT_EQ(Offered(), "far,fov,");
    EXPECT_STREQ(gConsole.Input(), "f");
    Type("o");
    EXPECT_EQ(Offered(), "fov,");
    EXPECT_STREQ(gConsole.Input(), "fov");

    // Backspace keeps the list until the input is empty.
    gConsole.KeyInput(KEY_BACKSPACE, 0);
    EXPECT_STREQ(gConsole.Input(), "fo");
    EXPECT_EQ(Offered(), "fov,");
    gConsole.KeyInput(KEY_BACKSPACE, 0);
    gConsole.KeyInput(KEY_BACKSPACE, 0);
    gConsole.KeyInput(KEY_BACKSPACE, 0);
    EXPECT_STREQ(gConsole.Input(), "");
    EXPECT_EQ(Offered(), "");

    // F5 switches autocom off: nothing is replaced any more.
    gConsole.KeyInput(KEY_F1 + 4, 0);
    EXPECT_EQ(gConsole.FindVar("autocom")->valueText, "0");
    Type("e");
    EXPECT_EQ(Offered(), "echo,exec,");
    Type("c");
    EXPECT_EQ(Offered(), "echo,");
    EXPECT_STREQ(gConsole.Input(), "ec");
    gConsole.KeyInput(KEY_F1 + 4, 0);
    EXPECT_EQ(gConsole.FindVar("autocom")->valueText, "1");
}

TEST_F(EditorTest, LongCompletionListStopsAfterOnePage)
{
    for (int i = 0; i < 30; i++)
        gConsole.RegisterCommand(("q" + std::to_string(i)).c_str(), 100 + i, nullptr);
    Type("q");
    EXPECT_EQ(gConsole.Completions().size(), 22u);
    EXPECT_STREQ(gConsole.Input(), "q");
    // Actions are never offered.
    gConsole.KeyInput(KEY_DELETE, 0);
    Type("contog");
    EXPECT_EQ(Offered(), "");
}

TEST_F(EditorTest, ReturnRunsTheLineAndRemembersIt)
{
    gConsole.KeyInput(KEY_F1 + 4, 0);
    Type("HELP");
    gConsole.KeyInput(KEY_RETURN, 0);
    EXPECT_EQ(Newest(), "unknown command/var \"HELP\"");
    gConsole.KeyInput(KEY_RETURN, 0);
    EXPECT_EQ(Newest(), "unknown command/var \"\"");
    EXPECT_TRUE(gConsole.History().empty());

    Type("help");
    gConsole.KeyInput(KEY_RETURN, 0);
    Type("vars");
    gConsole.KeyInput(KEY_RETURN, 0);
    EXPECT_STREQ(gConsole.Input(), "");
    EXPECT_TRUE(gConsole.Completions().empty());
    gConsole.KeyInput(KEY_UP, 0);
    EXPECT_STREQ(gConsole.Input(), "vars");
    gConsole.KeyInput(KEY_UP, 0);
    EXPECT_STREQ(gConsole.Input(), "help");
    gConsole.KeyInput(KEY_DOWN, 0);
    EXPECT_STREQ(gConsole.Input(), "vars");

    // The history keeps 101 lines, newest first.
    for (int i = 0; i < 120; i++)
    {
        Type("fov ");
        Type(std::to_string(i).c_str());
        gConsole.KeyInput(KEY_RETURN, 0);
    }
    EXPECT_EQ(gConsole.History().size(), 101u);
    EXPECT_EQ(gConsole.History().front(), "fov 119");
    gConsole.KeyInput(KEY_UP, 0);
    EXPECT_STREQ(gConsole.Input(), "fov 119");
}

TEST_F(EditorTest, TypedCharactersAreLowBytesOfTheCode)
{
    gConsole.KeyInput(KEY_F1 + 5, 0);
    EXPECT_EQ(gConsole.Input()[0], 31);
    gConsole.KeyInput(KEY_DELETE, 0);
    // Shift changes nothing; ignored keys type nothing; a zero low byte is not typed.
    gConsole.KeyInput('a', 1);
    for (int code : std::initializer_list<int>{KEY_TAB, KEY_LEFT, KEY_RIGHT, KEY_LSHIFT, KEY_RALT, 256, 0})
        gConsole.KeyInput(code, 0);
    EXPECT_STREQ(gConsole.Input(), "a");

    // The input holds 511 characters at most.
    for (int i = 0; i < 600; i++)
        gConsole.KeyInput('z', 0);
    EXPECT_EQ(std::string(gConsole.Input()), "a" + std::string(CON_MAX_INPUT - 1, 'z'));
    gConsole.KeyInput(KEY_RETURN, 0);
    EXPECT_EQ(Newest().size(), std::string("unknown command/var \"\"").size() + CON_MAX_INPUT);

    // A closed console takes no keys.
    gConsole.Toggle();
    gConsole.KeyInput('q', 0);
    EXPECT_STREQ(gConsole.Input(), "");
}

TEST_F(EditorTest, PagingStaysWithinTheOutput)
{
    gConsole.KeyInput(KEY_F1 + 3, 0);
    for (int i = 0; i < 50; i++)
        gConsole.Print("%d", i);
    EXPECT_EQ(gConsole.PageCount(), 3);
    gConsole.KeyInput(KEY_PGDN, 0);
    EXPECT_EQ(gConsole.Page(), 0);
    gConsole.KeyInput(KEY_PGUP, 0);
    gConsole.KeyInput(KEY_PGUP, 0);
    EXPECT_EQ(gConsole.Page(), 2);
    gConsole.KeyInput(KEY_PGUP, 0);
    EXPECT_EQ(gConsole.Page(), 2);
    gConsole.KeyInput(KEY_PGDN, 0);
    EXPECT_EQ(gConsole.Page(), 1);
    // F4 clears like the command.
    gConsole.KeyInput(KEY_F1 + 3, 0);
    EXPECT_EQ(gConsole.Page(), 0);
    EXPECT_EQ(gConsole.PageCount(), 1);
    EXPECT_TRUE(gConsole.Lines().empty());
    gConsole.KeyInput(KEY_F1, 0);
    EXPECT_EQ(gConsole.Lines().size(), 13u);
}
