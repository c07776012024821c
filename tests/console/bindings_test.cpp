// Actions, key names and the bind commands.
#include "consolefixture.h"
#include "support/testutil.h"

class BindingTest : public ConsoleTest
{
  protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        gConsole.RegisterAction("nextmodel", [] { fired += "n"; });
        gConsole.RegisterAction("gun", [] { fired += "g"; });
    }
    static std::string Listing()
    {
        gConsole.Execute("clear");
        gConsole.Execute("bindings");
        std::string out;
        for (auto it = gConsole.Lines().rbegin(); it != gConsole.Lines().rend(); ++it)
            out += *it + "|";
        return out;
    }
};

TEST(KeyLookupTest, NamesGiveCodes)
{
    EXPECT_EQ(KeyLookup("1"), 49);
    EXPECT_EQ(KeyLookup("a"), 97);
    EXPECT_EQ(KeyLookup("A"), 65);
    EXPECT_EQ(KeyLookup("f1"), 282);
    EXPECT_EQ(KeyLookup("F12"), 293);
    EXPECT_EQ(KeyLookup("joy19"), 348);
    EXPECT_EQ(KeyLookup("JOY32"), 361);
    EXPECT_EQ(KeyLookup("MWHEELDN"), 327);
    EXPECT_EQ(KeyLookup("mouse2"), 323);
    EXPECT_EQ(KeyLookup("kp_plus"), 270);
    EXPECT_EQ(KeyLookup("NOSUCHKEY"), 0);
    EXPECT_EQ(KeyLookup(""), 0);
    EXPECT_EQ(KeyLookup(nullptr), 0);
    // Characters above 127 stay inside the slots.
    EXPECT_EQ(KeyLookup("\xE9"), 0xE9);
}

TEST_F(BindingTest, BindIgnoresCaseAndFires)
{
    gConsole.Execute("bind f1 NextModel");
    EXPECT_EQ(Listing(), "f1->nextmodel|");
    gConsole.KeyPressed(KEY_F1);
    gConsole.KeyPressed(KEY_F1 + 1);
    EXPECT_EQ(fired, "n");

    gConsole.Execute("bind JOY19 gun");
    gConsole.Execute("bind a gun extra words");
    gConsole.Execute("bind A gun");
    EXPECT_EQ(Listing(), "A->gun|a->gun|f1->nextmodel|JOY19->gun|");
    EXPECT_STREQ(gConsole.Binding(348).action->name, "gun");
    EXPECT_STREQ(gConsole.Binding(97).action->name, "gun");
    EXPECT_STREQ(gConsole.Binding(65).action->name, "gun");

    // Rebinding replaces the action and the stored name; unbinding keeps the name.
    gConsole.Execute("bind F1 gun");
    EXPECT_STREQ(gConsole.Binding(KEY_F1).keyName, "F1");
    gConsole.Execute("unbind f1");
    EXPECT_EQ(gConsole.Binding(KEY_F1).action, nullptr);
    EXPECT_STREQ(gConsole.Binding(KEY_F1).keyName, "F1");
    EXPECT_EQ(Listing(), "A->gun|a->gun|JOY19->gun|");
    gConsole.Execute("unbindall");
    EXPECT_EQ(Listing(), "");
}

TEST_F(BindingTest, UnknownActionsAndShortLinesChangeNothing)
{
    gConsole.Execute("bind F1 gun");
    gConsole.Execute("bind F1 nosuch");
    EXPECT_EQ(Newest(), "unknown action \"nosuch\"");
    gConsole.Execute("bind F1");
    gConsole.Execute("bind");
    gConsole.Execute("unbind");
    EXPECT_EQ(Listing(), "F1->gun|");
    // An unknown key name binds slot 0, which odd mouse buttons press.
    gConsole.Execute("bind NOSUCHKEY nextmodel");
    gConsole.KeyPressed(0);
    gConsole.KeyPressed(-1);
    gConsole.KeyPressed(CON_NUM_KEYS);
    EXPECT_EQ(fired, "n");
}

TEST_F(BindingTest, OverLongNamesAreRefused)
{
    LogCapture log;
    std::string longKey(CON_MAX_KEYNAME, 'k');
    gConsole.Execute(("bind " + longKey + " gun").c_str());
    gConsole.Execute(("unbind " + longKey).c_str());
    EXPECT_NE(log.Debug().find("Console:: key name too long"), std::string::npos);
    gConsole.Execute(("bind " + longKey.substr(1) + " gun").c_str());
    EXPECT_STREQ(gConsole.Binding(0).keyName, longKey.substr(1).c_str());

    std::string longAction(CON_MAX_ACTION, 'x');
    gConsole.RegisterAction(longAction.c_str(), [] { fired += "x"; });
    EXPECT_NE(log.Debug().find("Console:: action name too long"), std::string::npos);
    gConsole.RegisterAction(longAction.substr(1).c_str(), [] { fired += "y"; });
    gConsole.Execute(("bind F2 " + longAction).c_str());
    EXPECT_EQ(Newest(), "unknown action \"" + longAction + "\"");
    gConsole.Execute(("bind F2 " + longAction.substr(1)).c_str());
    gConsole.KeyPressed(KEY_F1 + 1);
    EXPECT_EQ(fired, "y");

    gConsole.Execute("bind \xE9 gun");
    EXPECT_STREQ(gConsole.Binding(0xE9).action->name, "gun");
}

TEST_F(BindingTest, ActionsSortByBytes)
{
    gConsole.RegisterAction("Zoom", nullptr);
    gConsole.RegisterAction("gun", [] { fired += "2"; });
    std::string order;
    for (const ConAction& a : gConsole.Actions())
        order += std::string(a.name) + ",";
    EXPECT_EQ(order, "Zoom,contoggle,gun,gun,nextmodel,");
    // The first registration of a name is the one bound.
    gConsole.Execute("bind g GUN");
    gConsole.KeyPressed('g');
    EXPECT_EQ(fired, "g");
}

TEST_F(BindingTest, ContoggleOpensButTypedKeysGoToTheEditor)
{
    gConsole.Execute("bind x contoggle");
    gConsole.Execute("bind MOUSE2 contoggle");
    gConsole.KeyPressed('x');
    EXPECT_TRUE(gConsole.IsOpen());
    // While open the application hands key presses to the editor instead.
    gConsole.KeyInput('x', 0);
    EXPECT_TRUE(gConsole.IsOpen());
    EXPECT_STREQ(gConsole.Input(), "x");
    // Mouse buttons still press their bindings, so they close it again.
    gConsole.KeyPressed(KEY_MOUSE2);
    EXPECT_FALSE(gConsole.IsOpen());
    gConsole.KeyPressed(KEY_MOUSE2);
    EXPECT_TRUE(gConsole.IsOpen());
    EXPECT_FLOAT_EQ(gConsole.SlideOffset(), -CON_HEIGHT);
}
