// The reading of the settings file into the application settings.
#include "app/appsettings.h"
#include "fs/filemgr.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

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
                                s.fontWidth, s.fontHeight, s.mtex, s.cva}),
              (std::vector<int>{0, 1, 800, 600, 16, 24, 30, 8, 9, 0, 0}));
    EXPECT_EQ((std::vector<std::string>{s.caption, s.fontFile, s.debugFile, s.logFile}),
              (std::vector<std::string>{"My Viewer", "f.tga", "d.txt", "l.txt"}));
    EXPECT_EQ(s.clearMask, 0x4100u);
    EXPECT_FALSE(AppSettings().Load("missing.cfg"));

    // A caption is cut to its field; a file name too long for its field keeps the default.
    ASSERT_TRUE(WriteFileText("long.cfg", "caption=" + std::string(300, 'c') +
                                              "\nfontfile=" + std::string(256, 'f') +
                                              "\nlogfile=" + std::string(255, 'l') + "\n"));
    AppSettings l;
    ASSERT_TRUE(l.Load("long.cfg"));
    EXPECT_EQ(std::string(l.caption), std::string(127, 'c'));
    EXPECT_STREQ(l.fontFile, "font_arial.tga");
    EXPECT_EQ(std::string(l.logFile), std::string(255, 'l'));

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
        ASSERT_TRUE(WriteFileText(name, c.cfg));
        AppSettings r;
        ASSERT_TRUE(r.Load(name.c_str()));
        EXPECT_EQ(std::to_string(r.width) + " " + std::to_string(r.height) + " " +
                      std::to_string(r.fontWidth) + " " + std::to_string(r.fontHeight) + " " + r.debugFile +
                      " " + r.logFile,
                  c.fields)
            << c.cfg;
        EXPECT_EQ(r.refusals.size(), c.refused) << c.cfg;
    }
    gFileMgr.Reset();
}
