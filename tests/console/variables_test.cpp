// Console variables: typed assignment, defaults, registration order and the variables file.
#include "consolefixture.h"
#include "support/testutil.h"

std::string ConsoleTest::fired;

namespace
{
// An owner that records what the console asks and answers as told.
struct sOwner : VarListener
{
    bool allow = true;
    int asked = 0;
    std::string lastArgs;
    bool OnVariableChange(ConVar*, ConArgs* args) override
    {
        asked++;
        lastArgs = args->Text() ? args->Text() : "(none)";
        return allow;
    }
};
} // namespace

TEST(ConVarTest, SetConvertsByType)
{
    ConVar f, b, i, t;
    f.type = CONVAR_FLOAT;
    b.type = CONVAR_BOOL;
    i.type = CONVAR_INT;
    f.Set("1e2");
    b.Set("2");
    i.Set("7.9");
    t.Set("some text");
    EXPECT_EQ(f.valueText, "100.000000");
    EXPECT_FLOAT_EQ(f.Float(), 100.0f);
    EXPECT_EQ(b.valueText, "1");
    EXPECT_TRUE(b.Bool());
    EXPECT_EQ(i.valueText, "7");
    EXPECT_EQ(i.Int(), 7);
    EXPECT_EQ(t.valueText, "some text");

    // Not a number gives 0; null changes nothing; the first value stays the default.
    i.Set("abc");
    EXPECT_EQ(i.valueText, "0");
    i.Set(static_cast<const char*>(nullptr));
    EXPECT_EQ(i.valueText, "0");
    EXPECT_EQ(i.defaultText, "7");

    // Over-long texts are cut to the staging area, not written past it.
    t.Set(std::string(1000, 'x').c_str());
    EXPECT_EQ(t.valueText, std::string(CONVAR_MAX_TEXT, 'x'));
}

TEST_F(ConsoleTest, TypedValueSetsAndShowsWithFirstDefault)
{
    EXPECT_TRUE(gConsole.Execute("fov 90"));
    EXPECT_EQ(Newest(), "fov = 90.000000 [def=60.000000]");
    EXPECT_FLOAT_EQ(fov.Float(), 90.0f);
    EXPECT_TRUE(gConsole.Execute("fov"));
    EXPECT_EQ(Newest(), "fov = 90.000000 [def=60.000000]");
    // A name followed by blanks only applies the empty text.
    EXPECT_TRUE(gConsole.Execute("near   "));
    EXPECT_EQ(Newest(), "near = 0.000000 [def=0.500000]");
    // The whole rest of the line is the value of a text variable.
    ConVar text;
    gConsole.RegisterVar("title", &text, nullptr, -1);
    gConsole.Execute("title   my  viewer");
    EXPECT_EQ(text.valueText, "my  viewer");
}

TEST_F(ConsoleTest, OwnerDecidesWhetherTypedValueApplies)
{
    sOwner owner;
    ConVar v;
    v.type = CONVAR_INT;
    v.Set(5);
    gConsole.RegisterVar("level", &v, &owner, 3);
    EXPECT_EQ(v.owner, &owner);
    EXPECT_EQ(v.flags, 3);

    owner.allow = false;
    gConsole.Execute("level 9");
    EXPECT_EQ(owner.lastArgs, "9");
    EXPECT_EQ(v.Int(), 5);
    EXPECT_EQ(Newest(), "level = 5 [def=5]");

    owner.allow = true;
    gConsole.Execute("level");
    EXPECT_EQ(owner.lastArgs, "(none)");
    EXPECT_EQ(v.Int(), 5);
    gConsole.Execute("level 9");
    EXPECT_EQ(v.Int(), 9);
    EXPECT_EQ(owner.asked, 3);

    // A later registration without owner or flags keeps both.
    gConsole.RegisterVar("level2", &v, nullptr, -1);
    EXPECT_EQ(v.owner, &owner);
    EXPECT_EQ(v.flags, 3);
}

TEST_F(ConsoleTest, VariablesSortByBytesAndKeepRegistrationOrder)
{
    gConsole.Reset();
    ConVar a, ab, AB, first, second;
    gConsole.RegisterVar("a", &a, nullptr, -1);
    gConsole.RegisterVar("Ab", &ab, nullptr, -1);
    gConsole.RegisterVar("AB", &AB, nullptr, -1);
    gConsole.RegisterVar("same", &first, nullptr, -1);
    gConsole.RegisterVar("same", &second, nullptr, -1);
    std::string order;
    for (const ConVar* v : gConsole.Vars())
        order += v->name + ",";
    EXPECT_EQ(order, "AB,Ab,a,same,same,");
    EXPECT_EQ(gConsole.Vars()[3], &first);
    EXPECT_EQ(gConsole.FindVar("same"), &first);
    gConsole.Execute("same changed");
    EXPECT_EQ(first.valueText, "changed");
    EXPECT_EQ(second.valueText, "");
}

TEST_F(ConsoleTest, VariablesFileReachesLaterVariablesAndMakesBindings)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gConsole.RegisterAction("nextmodel", [] { fired += "n"; });
    gConsole.RegisterAction("gun", [] { fired += "g"; });
    ASSERT_TRUE(WriteFileText(dir.File("convars.cfg"), "fov 75\n"
                                                       "/*\n"
                                                       "bind F2 gun\n"
                                                       "*/\n"
                                                       "bind F1 nextmodel\n"
                                                       "BIND F1 gun\n"
                                                       "fov 80\n"
                                                       "bind\n"
                                                       "mysize 12\n"));
    ASSERT_TRUE(gConsole.LoadConfig("convars.cfg"));

    // Variables registered before the file keep their values.
    EXPECT_EQ(fov.valueText, "60.000000");
    ConVar later, size;
    later.type = CONVAR_FLOAT;
    gConsole.RegisterVar("Fov", &later, nullptr, -1);
    EXPECT_EQ(later.valueText, "75.000000");
    gConsole.RegisterVar("mysize", &size, nullptr, -1);
    EXPECT_EQ(size.valueText, "12");

    ASSERT_NE(gConsole.Binding(KEY_F1).action, nullptr);
    EXPECT_STREQ(gConsole.Binding(KEY_F1).action->name, "gun");
    EXPECT_EQ(gConsole.Binding(KEY_F1 + 1).action, nullptr);
}

TEST_F(ConsoleTest, MissingVariablesFileLeavesBuiltInState)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    EXPECT_FALSE(gConsole.LoadConfig("convars.cfg"));
    EXPECT_FALSE(gConsole.LoadConfig(nullptr));
    for (int code = 0; code < CON_NUM_KEYS; code++)
        EXPECT_EQ(gConsole.Binding(code).action, nullptr);
    ASSERT_NE(gConsole.FindVar("autocom"), nullptr);
    EXPECT_EQ(gConsole.FindVar("autocom")->valueText, "1");
}
