// Font in a real GL context: which images load, the pen, the glyph pixels, the GL state put back;
// a text block drawn from its texture as its glyphs would be.
#include "text/font.h"
#include "text/textblock.h"

#include "fs/filemgr.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// A glyph image, its top half white: glyphs of the first set draw as solid blocks, the second nothing.
bool WriteFont(unsigned w, unsigned h)
{
    Bytes body((size_t)w * h * 3, 0);
    std::fill(body.begin() + body.size() / 2, body.end(), 255); // stored bottom row first
    gFileMgr.Reset();
    return WriteFileBytes("f.tga", BuildTga(2, 24, w, h, 0, body));
}

// The red level of the pixel at (x, y) from the top left of the 640 x 480 window.
int PixelAt(int x, int y)
{
    unsigned char rgba[4];
    ReadTestPixel(x, 479 - y, rgba);
    return rgba[0];
}
} // namespace

// Only roughly square images load (width at least the height, less than twice it); a loaded font keeps
// its texture and takes only the new cell size. A glyph advances 14 * 2/3 = 9 pixels, a line feed goes
// 12 + 1 lower and back to the line start (Print's is cursorX), a bell one line up; tab and space move
// right, an apostrophe switches the glyph set without moving the pen, the set holds into the next call.
TEST(FontTest, LoadsPensAndGlyphs)
{
    ASSERT_TRUE(OpenTestGLContext(640, 480));
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    const unsigned sizes[][3] = {{16, 0, 0}, {256, 512, 0}, {512, 256, 0}, {300, 256, 1}, {256, 256, 1}};
    for (const auto& c : sizes) // width, height, usable
        EXPECT_EQ(WriteFont(c[0], c[1]) && cFont().Load("f.tga", 8, 10), c[2] == 1) << c[0] << "x" << c[1];
    cFont font;
    ASSERT_TRUE(!font.Load("nothing.tga", 14, 12) && font.Load("f.tga", 14, 12));
    std::string pens; // where the pen stands after each call
    auto pen = [&] { pens += std::to_string(font.cursorX) + "," + std::to_string(font.cursorY) + " "; };
    font.PrintAt(10, 20, "A\nB");
    pen();
    font.cursorX = 10;
    font.Print("xy\nz\n");
    pen();
    font.PrintAt(10, 40, "A\aB");
    pen();
    font.PrintAt(0, 0, "\t \t''");
    pen();
    const std::string line(FONT_TEXT_SIZE, 'w'); // lines longer than the text buffer are cut
    for (int i = 0; i < 100; i++)
        font.PrintAt(0, i, "%d %s", i, line.c_str());
    pen();
    EXPECT_EQ(pens, "19,33 10,59 19,27 21,0 " + std::to_string(9 * (FONT_TEXT_SIZE - 1)) + ",99 ");

    // A glyph at y 0 covers rows 0 to 11; after an apostrophe the (black) second set draws; the
    // colour modulates the glyphs, and a colour array the caller left on is not used.
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
    const std::vector<int> lit = {PixelAt(105, 0),   PixelAt(105, 12),  PixelAt(205, 105), PixelAt(218, 105),
                                  PixelAt(205, 205), PixelAt(205, 305), PixelAt(305, 405)};
    EXPECT_EQ(lit, (std::vector<int>{255, 0, 255, 0, 0, 255, 0}));
    const GLuint tex = font.texture;
    EXPECT_TRUE(font.Load("nothing.tga", 7, 6) && font.texture == tex && font.glyphHeight == 6);

    // The GL state the font changes, client arrays too, comes back, each of the first five switches on and
    // off.
    const GLenum states[] = {
        GL_BLEND,        GL_TEXTURE_2D,          GL_DEPTH_TEST,       GL_LIGHTING,
        GL_FOG,          GL_BLEND_SRC,           GL_BLEND_DST,        GL_ATTRIB_STACK_DEPTH,
        GL_POLYGON_MODE, GL_TEXTURE_COORD_ARRAY, GL_VERTEX_ARRAY,     GL_CLIENT_ATTRIB_STACK_DEPTH,
        GL_MATRIX_MODE,  GL_CURRENT_COLOR,       GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX};
    auto snapshot = [&]
    {
        std::vector<double> s(16 * std::size(states)); // each state fills as many values as it has
        for (size_t i = 0; i < std::size(states); i++)
            glGetDoublev(states[i], &s[16 * i]);
        return s;
    };
    glTranslatef(1, 2, 3); // a modelview matrix the font replaces while it draws
    for (bool on : {false, true})
    {
        for (int k = 0; k < 5; k++)
            (on == (k < 2)) ? glEnable(states[k]) : glDisable(states[k]);
        for (GLenum array : {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY})
            on ? glEnableClientState(array) : glDisableClientState(array);
        glBlendFunc(on ? GL_ONE : GL_DST_COLOR, on ? GL_ZERO : GL_ONE_MINUS_SRC_ALPHA);
        glPolygonMode(GL_FRONT_AND_BACK, on ? GL_FILL : GL_LINE);
        glColor4f(0.25f, 0.5f, 0.75f, 1);
        const std::vector<double> before = snapshot();
        font.PrintAt(5, 5, "state\n'x'");
        font.Print("more\a");
        EXPECT_TRUE(snapshot() == before && glGetError() == GL_NO_ERROR) << (on ? "on" : "off");
    }
}

// Once its prints stay the same, a block draws them from its texture: the window gets exactly the
// pixels of the glyphs over a lit background, with culling on or off, and no GL error.
TEST(FontTest, TextBlockTextureDrawsTheGlyphsPixels)
{
    ASSERT_TRUE(OpenTestGLContext(640, 480));
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    cFont font;
    ASSERT_TRUE(WriteFont(256, 256) && font.Load("f.tga", 14, 12));
    auto frame = [&](cTextBlock& block)
    {
        glClearColor(0.2f, 0.3f, 0.4f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        block.Begin(font);
        font.color[1] = 0.5f;
        font.PrintAt(20, 30, "Abc\nDe");
        font.color[1] = 1;
        font.PrintAt(300, 400, "F");
        block.End(font);
        std::vector<unsigned char> pixels(640 * 480 * 4);
        glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    for (bool cull : {false, true})
    {
        cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
        cTextBlock glyphs, textured;
        glyphs.textured = false;
        const std::vector<unsigned char> expected = frame(glyphs);
        for (long i = 0; i <= TEXT_BLOCK_STEADY_FRAMES; i++)
            frame(textured);
        EXPECT_TRUE(textured.texturePrints == 2 && textured.textureBuilds == 1) << cull;
        EXPECT_TRUE(frame(textured) == expected && glGetError() == GL_NO_ERROR) << cull;
    }
    glDisable(GL_CULL_FACE);
}
