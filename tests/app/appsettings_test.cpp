// The reading of the settings file into the application settings.
#include "app/appsettings.h"
#include "fs/filemgr.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

TEST(AppSettingsTest, ReadsEveryKeyAndHoldsTextsToTheirFields)
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
    gFileMgr.Reset();
}
