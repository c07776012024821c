// Settings files: the key-value line syntax with its comments, and the application settings read
// from one, with the values they refuse.
#include "app/appsettings.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "platform/configfile.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

// Each line's pair as "key|value", or "-" for none: keys lose every blank, values the leading
// ones; a quoted value keeps its spaces (not its tabs), a line comment ends an unquoted one.
TEST(ConfigFileTest, LineSyntaxCommentsAndLookups)
{
    const std::string k511(511, 'k'), k512(512, 'k');
    const std::string cases[][3] = {
        {"width=800", "=", "width|800"},
        {"width = 800 ", "=", "width|800 "},
        {"  WIDTH\t=\t800", "=", "WIDTH|800"},
        {"my key = v", "=", "mykey|v"},
        {"q3apath = D:/My Games/Q3A Install", "=", "q3apath|D:/My Games/Q3A Install"},
        {"caption = My Viewer // the title", "=", "caption|MyViewer"},
        {"caption = \"My Viewer\" // the title", "=", "caption|My Viewer"},
        {"caption = \"a\tb\"", "=", "caption|ab"},
        {"empty =", "=", "empty|"},
        {"fov 90", " ", "fov|90"},
        {"bind F1 nextmodel", " ", "bind|F1 nextmodel"},
        {"   // width = 800", "=", "-"},
        {"no separator here", "=", "-"},
        {" \t ", "=", "-"},
        {k511 + "=1", "=", k511 + "|1"},
        {k512 + "=1", "=", "-"}};
    for (const auto& c : cases)
    {
        ConfigFile cfg(c[1][0]);
        const bool found = cfg.ParseLine(c[0].c_str(), c[1][0]);
        EXPECT_EQ(found ? cfg.Entries()[0].key + "|" + cfg.Entries()[0].value : "-", c[2]) << c[0];
    }

    // Block comments end at "*/" (an unterminated one swallows the rest), lookups ignore case
    // and the first of a key wins.
    const std::string text =
        "a=1\r\n/* start\nb=2\n*/ end\n /* not a comment=3\nc=4px\nC=5\n// d=5\nlast=x\n/*\ne=1";
    memfile_t view(reinterpret_cast<const unsigned char*>(text.data()), text.size(), "t.cfg", false);
    ConfigFile cfg;
    ASSERT_TRUE(cfg.Load(view, '='));
    std::string keys;
    for (const KeyValue& kv : cfg.Entries())
        keys += kv.key + "|";
    int out = 42;
    EXPECT_EQ(keys, "a|/*notacomment|c|C|last|");
    EXPECT_TRUE(cfg.GetInt("C", 0) == 4 && cfg.GetInt("LAST", 7) == 0 && cfg.GetInt("missing", 7) == 7 &&
                !cfg.GetInt("missing", &out) && out == 42 && !cfg.Find(nullptr));

    // A file of more pairs than any settings file has keeps the first ones only.
    std::string many;
    for (int i = 0; i <= CONFIG_MAX_PAIRS; i++)
        many += "k" + std::to_string(i) + "=1\n";
    memfile_t manyView(reinterpret_cast<const unsigned char*>(many.data()), many.size(), "many.cfg", false);
    ASSERT_TRUE(cfg.Load(manyView, '='));
    EXPECT_EQ(cfg.Entries().size(), static_cast<size_t>(CONFIG_MAX_PAIRS));
}

TEST(AppSettingsTest, ReadsEveryKeyHoldsTextsToTheirFieldsAndRefusesOverflows)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();
    ASSERT_TRUE(WriteFileText("a.cfg",
                              "vsync=0\nfullscreen=1\nWIDTH = 800\nheight=600px\nbpp=16\ndepth=24\n"
                              "targetfps=30\ncaption=\"My Viewer\" // title\nfontfile=f.tga\n"
                              "debugfile=d.txt\nlogfile=l.txt\nfontwidth=8\nfontheight=9\nmtex=0\ncva=0\n"
                              "clear_color=1\nclear_depth=1\nwidth=1024\n"));
    AppSettings s;
    ASSERT_TRUE(s.Load("a.cfg"));
    EXPECT_EQ((std::vector<int>{s.vsync, s.fullscreen, s.width, s.height, s.bpp, s.depth, s.targetFps,
                                s.fontWidth, s.fontHeight, s.mtex, s.cva, (int)s.clearMask}),
              (std::vector<int>{0, 1, 800, 600, 16, 24, 30, 8, 9, 0, 0, 0x4100}));
    EXPECT_EQ(std::string(s.caption) + "|" + s.fontFile + "|" + s.debugFile + "|" + s.logFile,
              "My Viewer|f.tga|d.txt|l.txt");
    EXPECT_FALSE(AppSettings().Load("missing.cfg"));

    // A caption is cut to its field; a file name too long for its field keeps the default.
    ASSERT_TRUE(WriteFileText("long.cfg", "caption=" + std::string(300, 'c') +
                                              "\nfontfile=" + std::string(256, 'f') +
                                              "\nlogfile=" + std::string(255, 'l') + "\n"));
    AppSettings l;
    ASSERT_TRUE(l.Load("long.cfg"));
    EXPECT_EQ(std::string(l.caption) + "|" + l.fontFile + "|" + l.logFile,
              std::string(127, 'c') + "|font_arial.tga|" + std::string(255, 'l'));

    // Values that would overflow or leave the run folder keep the old one, each with a message:
    // lines, number of refusals, then width, height, glyph width and height, debug and log file.
    const std::string defaults = "640 480 14 12 kelDebug.txt kelLog.txt";
    const struct
    {
        const char* cfg;
        size_t refused;
        std::string fields;
    } cases[] = {{"width=16384\nheight=1\nfontwidth=256\nfontheight=1\ndebugfile=d..x", 0,
                  "16384 1 256 1 d..x kelLog.txt"},
                 {"width=65536\nheight=1\nfontwidth=2147483647\nfontheight=-1", 3,
                  "640 1 14 12 kelDebug.txt kelLog.txt"},
                 {"width=4294967297\nheight=0\ndebugfile=../x\nlogfile=a\\b", 4, defaults},
                 {"debugfile=..\nlogfile=/tmp/x", 2, defaults},
                 {"debugfile=.\nlogfile=", 2, defaults}};
    int n = 0;
    for (const auto& c : cases)
    {
        // One file name per case: the file manager keeps what it has read.
        const std::string name = "case" + std::to_string(n++) + ".cfg";
        AppSettings r;
        ASSERT_TRUE(WriteFileText(name, c.cfg) && r.Load(name.c_str()));
        EXPECT_EQ(std::to_string(r.width) + " " + std::to_string(r.height) + " " +
                      std::to_string(r.fontWidth) + " " + std::to_string(r.fontHeight) + " " + r.debugFile +
                      " " + r.logFile,
                  c.fields)
            << c.cfg;
        EXPECT_EQ(r.refusals.size(), c.refused) << c.cfg;
    }
    gFileMgr.Reset();
}
