// Font tests in a real GL context: loading rules, pen movement, glyph sets, saved GL state, no
// allocation per call and the pixels the shipped font puts on screen.
#include "text/font.h"

#include "fs/filemgr.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace
{
const int W = 640, H = 480;
bool counting = false; // operator new counts into allocations while this is on
long allocations = 0;

// A 24-bit glyph image of w x h whose top rows (glyph rows 0 to 7) are white and the rest black,
// so every glyph of the first set draws as a solid block and the second set draws nothing.
Bytes HalfWhiteFont(unsigned w, unsigned h)
{
    Bytes body((size_t)w * h * 3, 0);
    for (unsigned y = h / 2; y < h; y++) // stored bottom row first: the upper half comes last
        for (unsigned x = 0; x < w * 3; x++)
            body[(size_t)y * w * 3 + x] = 255;
    return BuildTga(2, 24, w, h, 0, body);
}

// One channel of the pixel at (x, y) counted from the top left of the window.
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

#if defined(__SANITIZE_ADDRESS__)
const long ONE_NEW = 0; // sanitizer builds keep their own allocator: nothing is counted
#else
const long ONE_NEW = 1;
#pragma GCC diagnostic ignored "-Wmismatched-new-delete" // the library's delete frees with free
void* operator new(std::size_t size)
{
    allocations += counting;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
#endif

TEST_F(FontTest, LoadAcceptsOnlyRoughlySquareImages)
{
    const unsigned cases[][3] = {{256, 256, 1}, {300, 256, 1}, {256, 512, 0}, {512, 256, 0}, {16, 0, 0}};
    for (const auto& c : cases) // width, height, usable
    {
        cFont f;
        gFileMgr.Reset();
        ASSERT_TRUE(WriteFileBytes(dir.File("f.tga"), HalfWhiteFont(c[0], c[1])));
        EXPECT_EQ(f.Load("f.tga", 8, 10), c[2] == 1) << c[0] << "x" << c[1];
        EXPECT_EQ(f.texture != 0, c[2] == 1);
        glDeleteTextures(1, &f.texture);
    }
    EXPECT_FALSE(cFont().Load("nothing.tga", 14, 12));

    // A loaded font keeps its texture and only takes the new cell size.
    ASSERT_TRUE(font.Load("half.tga", 14, 12));
    GLuint tex = font.texture;
    EXPECT_TRUE(font.Load("nothing.tga", 7, 6));
    EXPECT_EQ(font.texture, tex);
    EXPECT_EQ(font.glyphHeight, 6);
}

TEST_F(FontTest, PenRulesGlyphPlacementAndAlternateSet)
{
    ASSERT_TRUE(font.Load("half.tga", 14, 12));
    auto pen = [&] { return std::make_pair(font.cursorX, font.cursorY); };

    // 14 * 2/3 is cut to 9 a glyph; a line feed goes 12 + 1 lower, back to the line start, and
    // Print starts lines at cursorX
    font.PrintAt(10, 20, "A\nB");
    EXPECT_EQ(pen(), std::make_pair(19, 33));
    EXPECT_GT(PixelAt(16, 26), 200); // first block: x 10..23, y 20..31
    EXPECT_EQ(PixelAt(16, 32), 0);   // the one-pixel gap between the lines
    EXPECT_GT(PixelAt(16, 38), 200); // second block: y 33..44
    EXPECT_EQ(PixelAt(30, 26), 0);
    font.cursorX = 10;
    font.Print("xy\nz\n");
    EXPECT_EQ(pen(), std::make_pair(10, 59));

    // bell goes one line up, tab and space move right, the apostrophe does not move the pen
    font.PrintAt(10, 40, "A\aB");
    EXPECT_EQ(pen(), std::make_pair(19, 27));
    font.PrintAt(0, 0, "\t \t''"); // two apostrophes: back to the first set
    EXPECT_EQ(font.cursorX, 6 + 9 + 6);

    glClear(GL_COLOR_BUFFER_BIT);
    font.PrintAt(100, 0, "A"); // a glyph at y 0 touches the top of the viewport
    EXPECT_GT(PixelAt(105, 0), 200);
    EXPECT_EQ(PixelAt(105, 12), 0);

    // after an apostrophe the second set (black here) is used, also in the next call
    font.PrintAt(200, 100, "A'B");
    EXPECT_GT(PixelAt(205, 105), 200);
    EXPECT_EQ(PixelAt(214 + 4, 105), 0);
    font.PrintAt(200, 200, "C");
    EXPECT_EQ(PixelAt(205, 205), 0);
    font.PrintAt(200, 300, "'D");
    EXPECT_GT(PixelAt(205, 305), 200);

    // the colour modulates the glyphs; a colour array the caller left on is not used
    font.color[0] = 0;
    const float red[6][3] = {{1}, {1}, {1}, {1}, {1}, {1}};
    glColorPointer(3, GL_FLOAT, 0, red);
    glEnableClientState(GL_COLOR_ARRAY);
    font.PrintAt(300, 400, "E");
    EXPECT_EQ(PixelAt(305, 405), 0);
    EXPECT_GT(PixelAt(305, 405, 1), 200);
}

// The GL state the font changes, client arrays too, comes back as it was; after the first call
// in a state, drawing allocates nothing of ours.
TEST_F(FontTest, RestoresEveryStateItTouchesAndDrawsWithoutAllocating)
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

    // A hundred lines longer than the text buffer (cut, not written past it, 14 * 2/3 = 9 pixels a
    // glyph), then one plain new that the counter must see.
    const std::string line(FONT_TEXT_SIZE, 'w');
    allocations = 0;
    counting = true;
    for (int i = 0; i < 100; i++)
        font.PrintAt(0, i, "%d %s", i, line.c_str());
    ::operator delete(::operator new(16));
    counting = false;
    EXPECT_EQ(font.cursorX, 9 * (FONT_TEXT_SIZE - 1));
    EXPECT_EQ(allocations, ONE_NEW) << "allocations while drawing, and the plain new";
}

TEST_F(FontTest, ShippedFontDrawsGlyphsOnlyWhereTextIs)
{
    std::string source = __FILE__;
    source.erase(source.rfind("/tests/"));
    gFileMgr.Reset();
    ScopedWorkDir base(source + "/base");
    ASSERT_TRUE(font.Load("font_arial.tga", 14, 12));

    font.PrintAt(100, 200, "Hello 'World'");
    std::vector<unsigned char> screen((size_t)W * H * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, screen.data());
    int inside = 0, outside = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
        {
            int top = H - 1 - y;
            bool lit = screen[((size_t)y * W + x) * 4] > 40;
            // eleven glyphs and a space from x 100, each 9 apart, 14 wide, 12 high
            bool inText = x >= 100 && x < 100 + 11 * 9 + 14 && top >= 200 && top < 212;
            (inText ? inside : outside) += lit;
        }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
}
