// Drawing of the console text in a real GL context: the slide, where each kind of text goes,
// the font left as found, and no allocation of ours per frame.
#include "consolefixture.h"
#include "support/allochook.h"
#include "support/glcontext.h"
#include "text/font.h"

#include <GL/gl.h>

namespace
{
const int W = 640, H = 480;

// The red level at (x, y), y counted from the top of the window like the font's rows.
int Grey(int x, int yFromTop)
{
    unsigned char rgba[4];
    ReadTestPixel(x, H - 1 - yFromTop, rgba);
    return rgba[0];
}
} // namespace

TEST_F(ConsoleTest, DrawSlidesPlacesTextAndAllocatesNothing)
{
    ASSERT_TRUE(OpenTestGLContext(W, H)) << "no GL context";
    cFont font; // without a glyph image every glyph is a solid cell in the font's colour
    auto frames = [&font](int count)
    {
        for (int i = 0; i < count; i++)
        {
            glClear(GL_COLOR_BUFFER_BIT);
            gConsole.Draw(font, W, H);
        }
    };
    glClearColor(0, 0, 0, 0);
    gConsole.Toggle();
    gConsole.Print("it's older"); // an apostrophe switches the font's glyph set
    gConsole.Print("newer");
    Type("f"); // offers far and fov
    frames(66);
    EXPECT_NEAR(gConsole.SlideOffset(), 31.5f, 1e-3); // 65 steps of 5.1 from -300, then it rests

    // Help line and page number at row 31 in grey 0.6; input line at 300 + 31.5 + 2 in white;
    // output lines 13 pixels apart going up, the newest two steps above the input line;
    // completion names from the middle of the window at row 14 + 31.5, in grey 0.3.
    const int rows[][3] = {{3, 36, 153},        {W - 87, 36, 153},   {3, 28, 0},         {3, 338, 255},
                           {3, 325, 0},         {3, 312, 255},       {3, 299, 255},      {3, 288, 0},
                           {W / 2 + 3, 50, 77}, {W / 2 + 3, 63, 77}, {W / 2 + 3, 76, 0}, {W / 2 - 3, 50, 0}};
    for (const auto& r : rows)
        EXPECT_NEAR(Grey(r[0], r[1]), r[2], r[2] % 255 ? 2 : 0) << r[0] << "," << r[1];
    EXPECT_EQ(font.altSet + font.color[0], 1.0f); // first set, white

    // Page 2 of 50 lines holds lines 42 to 49: eight rows from 307 upwards.
    for (int i = 0; i < 48; i++)
        gConsole.Print("%d", i);
    gConsole.KeyInput(KEY_PGUP, 0);
    gConsole.KeyInput(KEY_PGUP, 0);
    frames(1);
    EXPECT_EQ(Grey(3, 307 - 7 * 13 + 5), 255);
    EXPECT_EQ(Grey(3, 307 - 8 * 13 + 5), 0);

    // A full console: long lines and the longest completion list (past a page, names are cut and
    // nothing is completed). A first frame lets the GL driver build what it keeps for it.
    for (int i = 0; i < 30; i++)
        gConsole.RegisterCommand(("q" + std::to_string(i)).c_str(), 100 + i, nullptr);
    for (int i = 0; i < 150; i++)
        gConsole.Print("%d %s", i, std::string(100, 'y').c_str());
    gConsole.KeyInput(KEY_BACKSPACE, 0);
    Type("q");
    ASSERT_EQ(gConsole.Completions().size(), 22u);
    EXPECT_STREQ(gConsole.Input(), "q");
    frames(1);
    AllocCounter counter;
    frames(70);
    gConsole.KeyInput(KEY_PGDN, 0);
    frames(1);
    EXPECT_EQ(counter.Counts().Ours(), 0);
}
