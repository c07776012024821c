// The command line parsed in-process, and the screenshot writer read back with libpng.
#include "viewer/cmdline.h"
#include "viewer/screenshot.h"

#include "support/testutil.h"

#include <gtest/gtest.h>
#include <png.h>

#include <sstream>
#include <sys/stat.h>

namespace
{
// What a parsed line chose, in one line of text.
std::string Summary(const sViewerOptions& o)
{
    std::string anims;
    for (const std::string& a : o.anims)
        anims += a + " ";
    return o.game + "|" + o.player + "/" + o.skin + "/" + o.weapon + "|" + anims + std::to_string(o.frame) +
           "|" + std::to_string(o.width) + "x" + std::to_string(o.height) + "|" + o.config + "|" + o.model +
           "|" + o.screenshot + "|" + o.sheet;
}

TEST(CommandLineTest, ValidLinesFillTheOptionsAndBadOnesEndWithStatusTwo)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir.File("my.cfg"), "width = 640\n"));
    const std::string game = dir.Path(), cfg = dir.File("my.cfg");
    const struct
    {
        std::vector<std::string> args;
        int status;        // -1: the viewer runs
        std::string say;   // what standard output (status 0) or standard error (status 2) holds
        std::string chose; // the summary of a line that runs
    } cases[] = {
        {{}, -1, "", "|//|-1|0x0|app.cfg|||"},
        {{game, "--player", "sarge", "--skin", "red", "--anim", "BOTH_DEATH1", "--frame", "29",
          "--screenshot", "out.png"},
         -1,
         "",
         game + "|sarge/red/|BOTH_DEATH1 29|0x0|app.cfg||out.png|"},
        {{"--anim", "legs_run", "TORSO_ATTACK", "--size", "800x600", "--weapon", "none", "--config", cfg,
          "--model", "models/a.md3", "--sheet", "s.png"},
         -1,
         "",
         "|//none|legs_run TORSO_ATTACK -1|800x600|" + cfg + "|models/a.md3||s.png"},
        {{"--help"}, 0, "--screenshot FILE.png", ""},
        {{"--version"}, 0, "viewer (kelviewer) ", ""},
        {{"--bogus"}, 2, "--bogus", ""},
        {{"--anim", "LEGS_FLY"}, 2, "unknown animation LEGS_FLY", ""},
        {{"--anim", "LEGS_RUN", game}, 2, "unknown animation", ""}, // the folder goes first
        {{"--frame", "-1"}, 2, "--frame", ""},
        {{"--frame", "x"}, 2, "--frame", ""},
        {{"--size", "0x10"}, 2, "--size", ""},
        {{"--size", "800"}, 2, "--size", ""},
        {{dir.File("missing")}, 2, "does not exist", ""},
        {{"--config", dir.File("missing.cfg")}, 2, "--config", ""},
        {{"--sheet", "a.png", "--screenshot", "b.png"}, 2, "excludes", ""},
        {{game, game}, 2, "not expected", ""},
    };
    for (const auto& c : cases)
    {
        std::vector<const char*> argv = {"viewer"};
        for (const std::string& a : c.args)
            argv.push_back(a.c_str());
        sViewerOptions o;
        std::ostringstream out, err;
        const int status = ParseViewerOptions(static_cast<int>(argv.size()), argv.data(), o, out, err);
        const std::string line = c.args.empty() ? "(none)" : c.args[0] + " ...";
        EXPECT_EQ(status, c.status) << line << "\n" << err.str();
        EXPECT_NE((status == 0 ? out : err).str().find(c.say), std::string::npos) << line;
        EXPECT_EQ(o.given, !c.args.empty()) << line;
        EXPECT_EQ(status < 0 ? Summary(o) : "", c.chose) << line;
        // The help names every option.
        for (const char* name : {"--config", "--player", "--skin", "--weapon", "--anim", "--frame", "--size",
                                 "--model", "--sheet", "--version", "GAME_FOLDER|ARCHIVE.pk3"})
            EXPECT_TRUE(c.args != std::vector<std::string>{"--help"} ||
                        out.str().find(name) != std::string::npos)
                << name;
    }
}

// Rows go in bottom first, as OpenGL reads them, and must come out top first; a folder that
// is not there fails without leaving a file; shot names count up past the files there.
TEST(ScreenshotTest, PngRowsComeOutTopFirstAndNamesCountUp)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    const int width = 3, height = 2;
    const std::vector<unsigned char> bottomUp = {10, 20, 30, 40, 50, 60, 70,  80,  90, // bottom row
                                                 1,  2,  3,  4,  5,  6,  255, 128, 0}; // top row
    std::string error;
    ASSERT_TRUE(WritePng("shot.png", width, height, bottomUp.data(), &error)) << error;

    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, "shot.png"));
    EXPECT_EQ(image.width * 10 + image.height, 32u);
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> read(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, read.data(), 0, nullptr));
    const std::vector<unsigned char> topDown = {1,  2,  3,  4,  5,  6,  255, 128, 0,
                                                10, 20, 30, 40, 50, 60, 70,  80,  90};
    EXPECT_EQ(read, topDown);

    EXPECT_FALSE(WritePng("nofolder/shot.png", width, height, bottomUp.data(), &error));
    EXPECT_FALSE(error.empty());
    struct stat info;
    EXPECT_NE(stat("nofolder/shot.png", &info), 0);

    EXPECT_EQ(NextShotName(), "screenshots/shot-0000.png");
    ASSERT_TRUE(WriteFileText("screenshots/shot-0000.png", "x"));
    ASSERT_TRUE(WriteFileText("screenshots/shot-0002.png", "x"));
    EXPECT_EQ(NextShotName(), "screenshots/shot-0001.png");
}
} // namespace
