// Font tests in a real GL context: loading rules, pen movement, the pixels of the glyph sets, and
// the GL state each call puts back.
#include "text/font.h"

#include "fs/filemgr.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const int W = 640, H = 480;

// A 24-bit glyph image of w x h whose top rows (glyph rows 0 to 7) are white and the rest black,
// so every glyph of the first set draws as a solid block and the second set draws nothing.
Bytes HalfWhiteFont(unsigned w, unsigned h)
{
    Bytes body((size_t)w * h * 3, 0);
    std::fill(body.begin() + body.size() / 2, body.end(), 255); // stored bottom row first
    return BuildTga(2, 24, w, h, 0, body);
}

// The red level of the pixel at (x, y) counted from the top left of the window.
int PixelAt(int x, int y, int channel = 0)
{
    unsigned char rgba[4];
    ReadTestPixel(x, H - 1 - y, rgba);
    return rgba[channel];
}

class FontTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGLContext(W, H));
        gFileMgr.Reset();
        ASSERT_TRUE(WriteFileBytes(dir.File("half.tga"), HalfWhiteFont(256, 256)));
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPushAttrib(GL_ALL_ATTRIB_BITS); // what a test changes is undone in TearDown
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    }
    void TearDown() override
    {
        glPopClientAttrib();
        glPopAttrib();
        glDeleteTextures(1, &font.texture);
        gFileMgr.Reset();
    }

    TempDir dir;
    ScopedWorkDir work{dir.Path()};
    cFont font;
};
} // namespace

// Only roughly square images (width at least the height, less than twice it) are used; a loaded
// font keeps its texture and only takes the new cell size.
TEST_F(FontTest, LoadAcceptsOnlyRoughlySquareImages)
{
    const unsigned cases[][3] = {{256, 256, 1}, {300, 256, 1}, {256, 512, 0}, {512, 256, 0}, {16, 0, 0}};
    for (const auto& c : cases) // width, height, usable
    {
        cFont f;
        gFileMgr.Reset();
        ASSERT_TRUE(WriteFileBytes(dir.File("f.tga"), HalfWhiteFont(c[0], c[1])));
        EXPECT_TRUE(f.Load("f.tga", 8, 10) == (c[2] == 1) && (f.texture != 0) == (c[2] == 1))
            << c[0] << "x" << c[1];
        glDeleteTextures(1, &f.texture);
    }
    EXPECT_FALSE(cFont().Load("nothing.tga", 14, 12));
    ASSERT_TRUE(font.Load("half.tga", 14, 12));
    const GLuint tex = font.texture;
    EXPECT_TRUE(font.Load("nothing.tga", 7, 6) && font.texture == tex && font.glyphHeight == 6);
}

// A glyph advances 14 * 2/3 = 9 pixels; a line feed goes 12 + 1 lower and back to the line start
// (Print's is cursorX), a bell one line up; tab and space move right, an apostrophe switches the
// glyph set without moving the pen, and the set holds into the next call.
TEST_F(FontTest, PenGlyphsAndAlternateSet)
{
    ASSERT_TRUE(font.Load("half.tga", 14, 12));
    std::string pens;
    auto pen = [&] { pens += std::to_string(font.cursorX) + "," + std::to_string(font.cursorY) + " "; };
    font.PrintAt(10, 20, "A\nB");
    pen();
    const std::vector<int> drawn = {PixelAt(16, 26), PixelAt(16, 32), PixelAt(16, 38), PixelAt(30, 26)};
    font.cursorX = 10;
    font.Print("xy\nz\n");
    pen();
    font.PrintAt(10, 40, "A\aB");
    pen();
    font.PrintAt(0, 0, "\t \t''");
    pen();
    // A hundred lines longer than the text buffer are cut, not written past it.
    const std::string line(FONT_TEXT_SIZE, 'w');
    for (int i = 0; i < 100; i++)
        font.PrintAt(0, i, "%d %s", i, line.c_str());
    pen();
    EXPECT_EQ(pens, "19,33 10,59 19,27 21,0 " + std::to_string(9 * (FONT_TEXT_SIZE - 1)) + ",99 ");

    // Blocks at x 10..23, y 20..31 and 33..44 with a gap row between; a glyph at y 0 touches the
    // top of the viewport; after an apostrophe the (black) second set draws; the colour
    // modulates the glyphs, and a colour array the caller left on is not used.
    glClear(GL_COLOR_BUFFER_BIT);
    font.PrintAt(100, 0, "A");
    font.PrintAt(200, 100, "A'B");
    font.PrintAt(200, 200, "C");
    font.PrintAt(200, 300, "'D");
    font.color[0] = 0;
    const float red[6][3] = {{1}, {1}, {1}, {1}, {1}, {1}};
    glColorPointer(3, GL_FLOAT, 0, red);
    glEnableClientState(GL_COLOR_ARRAY);
    font.PrintAt(300, 400, "E");
    const std::vector<int> lit = {PixelAt(105, 0),   PixelAt(105, 12),    PixelAt(205, 105),
                                  PixelAt(218, 105), PixelAt(205, 205),   PixelAt(205, 305),
                                  PixelAt(305, 405), PixelAt(305, 405, 1)};
    EXPECT_EQ(drawn, (std::vector<int>{255, 0, 255, 0}));
    EXPECT_EQ(lit, (std::vector<int>{255, 0, 255, 0, 0, 255, 0, 255}));
}

// The GL state the font changes, client arrays too, comes back as it was.
TEST_F(FontTest, RestoresEveryStateItTouches)
{
    ASSERT_TRUE(font.Load("half.tga", 14, 12));
    // the five switches come first
    const GLenum states[] = {
        GL_BLEND,         GL_TEXTURE_2D,   GL_DEPTH_TEST,         GL_LIGHTING,
        GL_FOG,           GL_BLEND_SRC,    GL_ATTRIB_STACK_DEPTH, GL_CLIENT_ATTRIB_STACK_DEPTH,
        GL_BLEND_DST,     GL_POLYGON_MODE, GL_MATRIX_MODE,        GL_TEXTURE_COORD_ARRAY,
        GL_CURRENT_COLOR, GL_VERTEX_ARRAY, GL_MODELVIEW_MATRIX,   GL_PROJECTION_MATRIX};
    auto snapshot = [&]
    {
        std::vector<double> s;
        for (GLenum state : states)
        {
            double v[16] = {}; // each state fills as many values as it has
            glGetDoublev(state, v);
            s.insert(s.end(), v, v + 16);
        }
        return s;
    };
    for (bool on : {false, true})
    {
        for (int k = 0; k < 5; k++)
            (on == (k < 2)) ? glEnable(states[k]) : glDisable(states[k]);
        for (GLenum array : {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY})
            on ? glEnableClientState(array) : glDisableClientState(array);
        glBlendFunc(on ? GL_ONE : GL_DST_COLOR, on ? GL_ZERO : GL_ONE_MINUS_SRC_ALPHA);
        glPolygonMode(GL_FRONT_AND_BACK, on ? GL_FILL : GL_LINE);
        glColor4f(0.25f, 0.5f, 0.75f, 1);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-1, 1, -1, 1, 1, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(1, 2, 3);

        std::vector<double> before = snapshot();
        font.PrintAt(5, 5, "state\n'x'");
        font.Print("more\a");
        EXPECT_EQ(snapshot(), before) << "states " << (on ? "on" : "off");
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    }
}
