// Defaults of the application settings and the reading of the settings file.
#include "app/appsettings.h"
#include "fs/filemgr.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace
{
class AppSettingsTest : public ::testing::Test
{
  protected:
    AppSettingsTest() : work(dir.Path()) { gFileMgr.Reset(); }
    ~AppSettingsTest() override { gFileMgr.Reset(); }

    // Each test writes its own file name: the file manager caches by path.
    AppSettings Read(const std::string& name, const std::string& text)
    {
        EXPECT_TRUE(WriteFileText(name, text));
        AppSettings s;
        EXPECT_TRUE(s.Load(name.c_str()));
        return s;
    }

    TempDir dir;
    ScopedWorkDir work;
};
} // namespace

TEST_F(AppSettingsTest, MissingFileKeepsDefaults)
{
    AppSettings s;
    EXPECT_FALSE(s.Load("app.cfg"));
    EXPECT_EQ(s.clearMask, 0x4100u);
    EXPECT_STREQ(s.caption, "Application x");
    EXPECT_EQ(s.near.defaultText, "0.500000");
    EXPECT_FLOAT_EQ(s.far.Float(), 10000.0f);
}

TEST_F(AppSettingsTest, ReadsEveryKey)
{
    AppSettings s = Read("a.cfg", "vsync=0\nfullscreen=1\nWIDTH = 800\nheight=600px\nbpp=16\ndepth=24\n"
                                  "targetfps=30\ncaption=\"My Viewer\" // title\nfontfile=f.tga\n"
                                  "debugfile=d.txt\nlogfile=l.txt\nfontwidth=8\nfontheight=9\nmtex=0\ncva=0\n"
                                  "clear_color=1\nclear_depth=1\nwidth=1024\n");
    EXPECT_EQ(s.vsync, 0);
    EXPECT_EQ(s.fullscreen, 1);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.bpp, 16);
    EXPECT_EQ(s.depth, 24);
    EXPECT_EQ(s.targetFps, 30);
    EXPECT_STREQ(s.caption, "My Viewer");
    EXPECT_STREQ(s.fontFile, "f.tga");
    EXPECT_STREQ(s.debugFile, "d.txt");
    EXPECT_STREQ(s.logFile, "l.txt");
    EXPECT_EQ(s.fontWidth, 8);
    EXPECT_EQ(s.fontHeight, 9);
    EXPECT_EQ(s.mtex, 0);
    EXPECT_EQ(s.cva, 0);
    EXPECT_EQ(s.clearMask, 0x4100u);
}

TEST_F(AppSettingsTest, ClearMaskIsRebuiltFromTheFile)
{
    EXPECT_EQ(Read("none.cfg", "width=800\n").clearMask, 0u);
    EXPECT_EQ(Read("two.cfg", "clear_color=2\nclear_depth=1\n").clearMask, 0x100u);
    EXPECT_EQ(Read("color.cfg", "clear_color=1\n").clearMask, 0x4000u);
}

TEST_F(AppSettingsTest, OverlongTextsNeverOverrunTheirFields)
{
    std::string longCaption(300, 'c');
    std::string longName(256, 'f');
    AppSettings s = Read("long.cfg", "caption=" + longCaption + "\nfontfile=" + longName +
                                         "\nlogfile=" + std::string(255, 'l') + "\n");
    EXPECT_EQ(std::string(s.caption), longCaption.substr(0, 127));
    EXPECT_STREQ(s.fontFile, "font_arial.tga");
    EXPECT_EQ(std::string(s.logFile), std::string(255, 'l'));
}
