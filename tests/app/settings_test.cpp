// Settings files: the key-value syntax with its comments, read into the application settings,
// with the values they refuse.
#include "app/appsettings.h"
#include "fs/filemgr.h"
#include "platform/configfile.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

// Each key lands in its field. Keys lose all blanks and ignore case, the first of a key wins;
// values lose leading blanks and tabs, a line comment takes a value's blanks except in quotes;
// block comments take whole lines. Values that would overflow or leave the run folder are
// refused with a message, a caption is cut, a file name too long keeps the default. Pairs past
// the largest number a settings file has are dropped.
TEST(AppSettingsTest, ReadsEveryKeyAndRefusesOverflows)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();
    std::string f255(255, 'f'), plain = " 1 0 32 32 60 1 1|", many;
    for (int i = 0; i < CONFIG_MAX_PAIRS; i++)
        many += "k=1\n";
    const std::pair<std::string, std::string> cases[] = {
        {"  WIDTH\t=\t800\r\n// width=5\n/* x\nheight=1\n*/ y\n /* z\nheight=600px\nfont width=8\n"
         "fontheight=9\nclear_color=1\nclear_depth=1\nvsync=0\nfullscreen=1\nbpp=16\ndepth=24\ntargetfps=30\n"
         "mtex=0\ncva=0\nwidth=1024\ncaption = \"My Vi\tewer\" // t\nfontfile=f.tga\ndebugfile=d.txt\n"
         "logfile=l.txt",
         "800 600 8 9 4100 0 0 1 16 24 30 0 0|My Viewer|f.tga|d.txt|l.txt"},
        {"width=16384\nheight=1\nfontwidth=256\nfontheight=1\ndebugfile=d..x\nclear_color=2\nclear_depth=1\n"
         "caption = My Viewer // t",
         "16384 1 256 1 100 0" + plain + "MyViewer|font_arial.tga|d..x|kelLog.txt"},
        {"width=16385\nheight=0\nfontwidth=2147483647\nfontheight=-1\nclear_color=1\ncaption= My  Viewer \n"
         "logfile=" +
             f255,
         "640 480 14 12 4000 4" + plain + "My  Viewer |font_arial.tga|kelDebug.txt|" + f255},
        {"width=4294967297\ndebugfile=../x\nlogfile=a\\b\nfontfile=f" + f255 + "\ncaption=" + f255,
         "640 480 14 12 0 3" + plain + f255.substr(128) + "|font_arial.tga|kelDebug.txt|kelLog.txt"},
        {many + "width=800",
         "640 480 14 12 0 0" + plain + "Application x|font_arial.tga|kelDebug.txt|kelLog.txt"},
        {"debugfile=..\nlogfile=",
         "640 480 14 12 0 2" + plain + "Application x|font_arial.tga|kelDebug.txt|kelLog.txt"}};
    int n = 0;
    for (const auto& [cfg, expected] : cases)
    {
        // One file name per case: the file manager keeps what it has read.
        const std::string name = "case" + std::to_string(n++) + ".cfg";
        AppSettings s;
        ASSERT_TRUE(WriteFileText(name, cfg) && s.Load(name.c_str()));
        char fields[128];
        snprintf(fields, sizeof fields, "%d %d %d %d %x %zu %d %d %d %d %d %d %d|", s.width, s.height,
                 s.fontWidth, s.fontHeight, s.clearMask, s.refusals.size(), s.vsync, s.fullscreen, s.bpp,
                 s.depth, s.targetFps, s.mtex, s.cva);
        EXPECT_EQ(fields + std::string(s.caption) + "|" + s.fontFile + "|" + s.debugFile + "|" + s.logFile,
                  expected)
            << cfg;
    }
    EXPECT_FALSE(AppSettings().Load("missing.cfg"));
    gFileMgr.Reset();
}
