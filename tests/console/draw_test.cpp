// Drawing of the console text in a real GL context: the slide, the rows of each kind of text,
// the GL state afterwards, and no memory allocation per frame.
#include "consolefixture.h"
#include "support/glcontext.h"
#include "text/font.h"

#include <GL/gl.h>
#include <cstdlib>
#include <new>

// Counts every allocation of the test program while counting is switched on. The replacement
// pair is malloc and free underneath, which the compiler cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace
{
bool counting = false;
long allocations = 0;
} // namespace

void* operator new(std::size_t size)
{
    if (counting)
        allocations++;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace
{
const int W = 640, H = 480;

// The grey level at (x, y) counted from the top of the window, like the font's rows.
int Grey(int x, int yFromTop)
{
    unsigned char rgba[4];
    ReadTestPixel(x, H - 1 - yFromTop, rgba);
    return rgba[0];
}

class DrawTest : public ConsoleTest
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGLContext(W, H)) << "no GL context";
        ConsoleTest::SetUp();
        glClearColor(0, 0, 0, 0);
        gConsole.Toggle();
    }
    // Draws one frame on a cleared buffer.
    void Frame()
    {
        glClear(GL_COLOR_BUFFER_BIT);
        gConsole.Draw(font, W, H);
    }
    // A font without glyph image draws every glyph as a solid cell in its colour.
    cFont font;
};
} // namespace

TEST_F(DrawTest, SlideClimbsToRestingOffset)
{
    EXPECT_FLOAT_EQ(gConsole.SlideOffset(), -300.0f);
    for (int i = 0; i < 64; i++)
        Frame();
    EXPECT_LT(gConsole.SlideOffset(), 30.0f);
    Frame();
    EXPECT_NEAR(gConsole.SlideOffset(), 31.5f, 1e-3);
    Frame();
    EXPECT_NEAR(gConsole.SlideOffset(), 31.5f, 1e-3);
    // Closing and reopening starts the slide again.
    gConsole.Toggle();
    gConsole.Toggle();
    EXPECT_FLOAT_EQ(gConsole.SlideOffset(), -300.0f);
}

TEST_F(DrawTest, TextLandsOnExpectedRows)
{
    gConsole.Print("older");
    gConsole.Print("newer");
    Type("f"); // offers far and fov
    for (int i = 0; i < 66; i++)
        Frame();
    // Resting offset 31.5: help line and page number at row 31, in grey 0.6.
    EXPECT_NEAR(Grey(3, 36), 153, 2);
    EXPECT_NEAR(Grey(W - 90 + 3, 36), 153, 2);
    EXPECT_EQ(Grey(3, 28), 0);
    // Input line at 300 + 31.5 + 2 = 333, white.
    EXPECT_EQ(Grey(3, 338), 255);
    EXPECT_EQ(Grey(3, 346), 0);
    // Output lines 13 pixels apart going up, the newest two steps above the input line.
    EXPECT_EQ(Grey(3, 312), 255);
    EXPECT_EQ(Grey(3, 299), 255);
    EXPECT_EQ(Grey(3, 325), 0);
    EXPECT_EQ(Grey(3, 288), 0);
    // Completion names from the middle of the window at row 14 + 31.5, in grey 0.3.
    EXPECT_NEAR(Grey(W / 2 + 3, 50), 77, 2);
    EXPECT_NEAR(Grey(W / 2 + 3, 63), 77, 2);
    EXPECT_EQ(Grey(W / 2 + 3, 76), 0);
    EXPECT_EQ(Grey(W / 2 - 3, 50), 0);
}

TEST_F(DrawTest, OlderPageShowsRemainingLinesOnly)
{
    for (int i = 0; i < 50; i++)
        gConsole.Print("%d", i);
    gConsole.KeyInput(KEY_PGUP, 0);
    gConsole.KeyInput(KEY_PGUP, 0);
    for (int i = 0; i < 66; i++)
        Frame();
    // Page 2 holds lines 42 to 49, eight rows from 307 upwards.
    EXPECT_EQ(Grey(3, 307 - 7 * 13 + 5), 255);
    EXPECT_EQ(Grey(3, 307 - 8 * 13 + 5), 0);
}

TEST_F(DrawTest, GlStateAndFontAreLeftAsFound)
{
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.2f, 0.3f, 0.4f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    GLint modelDepth, projDepth;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projDepth);

    gConsole.Print("it's got apostrophes'");
    Type("'quoted");
    gConsole.Draw(font, W, H);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.2f);
    EXPECT_FLOAT_EQ(colour[2], 0.4f);
    GLint depth;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, modelDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, projDepth);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(font.altSet, 0);
    EXPECT_FLOAT_EQ(font.color[0], 1.0f);
    glDisable(GL_DEPTH_TEST);
}

TEST_F(DrawTest, FullConsoleDrawsWithoutAllocating)
{
    for (int i = 0; i < 30; i++)
        gConsole.RegisterCommand(("q" + std::to_string(i)).c_str(), 100 + i, nullptr);
    for (int i = 0; i < 150; i++)
        gConsole.Print("%d %s", i, std::string(100, 'x').c_str());
    Type("q");
    ASSERT_EQ(gConsole.Completions().size(), 22u);

    allocations = 0;
    counting = true;
    for (int i = 0; i < 80; i++)
        gConsole.Draw(font, W, H);
    gConsole.KeyInput(KEY_PGUP, 0);
    gConsole.Draw(font, W, H);
    counting = false;
    EXPECT_EQ(allocations, 0);
    // The counter does see allocations: a long printed line allocates its text.
    std::string longLine(100, 'y');
    counting = true;
    gConsole.Print("%s", longLine.c_str());
    counting = false;
    EXPECT_GT(allocations, 0);
}
