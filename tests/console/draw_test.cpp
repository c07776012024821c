// Drawing of the console text in a real GL context: the slide, the rows of each kind of text,
// the GL state afterwards, and no memory allocation per frame.
#include "consolefixture.h"
#include "support/glcontext.h"
#include "text/font.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstdlib>
#include <new>

// Counts C++ allocations through a replaced operator new while counting is on. Sanitizer builds
// keep their own allocator, so there the frames are drawn but not counted.
namespace
{
bool counting = false;
long allocations = 0;
} // namespace
#if defined(__SANITIZE_ADDRESS__)
const bool ALLOCATIONS_COUNTED = false;
#else
const bool ALLOCATIONS_COUNTED = true;
#pragma GCC diagnostic ignored "-Wmismatched-new-delete" // malloc and free underneath
void* operator new(std::size_t size)
{
    allocations += counting;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

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
    void Frames(int count)
    {
        for (int i = 0; i < count; i++)
        {
            glClear(GL_COLOR_BUFFER_BIT);
            gConsole.Draw(font, W, H);
        }
    }
    cFont font; // without a glyph image every glyph is a solid cell in the font's colour
};
} // namespace

TEST_F(DrawTest, SlideAndTextRows)
{
    gConsole.Print("it's older"); // an apostrophe switches the font's glyph set
    gConsole.Print("newer");
    Type("f"); // offers far and fov
    Frames(64);
    EXPECT_LT(gConsole.SlideOffset(), 30.0f);
    Frames(2);
    EXPECT_NEAR(gConsole.SlideOffset(), 31.5f, 1e-3);

    // Help line and page number at row 31 in grey 0.6; input line at 300 + 31.5 + 2 in white;
    // output lines 13 pixels apart going up, the newest two steps above the input line;
    // completion names from the middle of the window at row 14 + 31.5, in grey 0.3.
    const int rows[][3] = {{3, 36, 153},      {W - 87, 36, 153},   {3, 28, 0},          {3, 338, 255},
                           {3, 346, 0},       {3, 325, 0},         {3, 312, 255},       {3, 299, 255},
                           {3, 288, 0},       {W / 2 + 3, 50, 77}, {W / 2 + 3, 63, 77}, {W / 2 + 3, 76, 0},
                           {W / 2 - 3, 50, 0}};
    for (const auto& r : rows)
        EXPECT_NEAR(Grey(r[0], r[1]), r[2], r[2] % 255 ? 2 : 0) << r[0] << "," << r[1];
    EXPECT_EQ(font.altSet, 0);
    EXPECT_FLOAT_EQ(font.color[0], 1.0f);

    // Page 2 of 50 lines holds lines 42 to 49: eight rows from 307 upwards.
    for (int i = 0; i < 48; i++)
        gConsole.Print("%d", i);
    gConsole.KeyInput(KEY_PGUP, 0);
    gConsole.KeyInput(KEY_PGUP, 0);
    Frames(1);
    EXPECT_EQ(Grey(3, 307 - 7 * 13 + 5), 255);
    EXPECT_EQ(Grey(3, 307 - 8 * 13 + 5), 0);
}

// A full console: a page of output, the longest completion list (more than a page of names is
// cut, not completed) and the GL state left as found.
TEST_F(DrawTest, FullConsoleDrawsWithoutAllocatingAndRestoresGlState)
{
    for (int i = 0; i < 30; i++)
        gConsole.RegisterCommand(("q" + std::to_string(i)).c_str(), 100 + i, nullptr);
    std::string longLine(100, 'y');
    for (int i = 0; i < 150; i++)
        gConsole.Print("%d %s", i, longLine.c_str());
    Type("q");
    ASSERT_EQ(gConsole.Completions().size(), 22u);
    EXPECT_STREQ(gConsole.Input(), "q");
    glEnable(GL_DEPTH_TEST);
    glColor4f(0.2f, 0.3f, 0.4f, 1.0f);
    GLint modelDepth, projDepth, depth;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projDepth);

    // A first frame lets the GL driver build what it keeps for this state (the software
    // renderer compiles its pipelines with allocations of its own); then only drawing counts.
    Frames(1);
    allocations = 0;
    counting = true;
    Frames(70);
    gConsole.KeyInput(KEY_PGUP, 0);
    Frames(1);
    counting = false;

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.2f);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, modelDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, projDepth);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDisable(GL_DEPTH_TEST);

    if (!ALLOCATIONS_COUNTED)
        GTEST_SKIP() << "allocations are counted in the normal build only";
    EXPECT_EQ(allocations, 0);
    // The counter does see allocations: a long printed line allocates its text.
    counting = true;
    gConsole.Print("%s", longLine.c_str());
    counting = false;
    EXPECT_GT(allocations, 0);
}

TEST_F(DrawTest, GlextListsEachWordFollowedByABlank)
{
    std::string ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    size_t blanks = std::count(ext.begin(), ext.end(), ' ');
    ASSERT_GT(blanks, 0u);
    gConsole.Execute("clear");
    gConsole.Execute("glext");
    ASSERT_EQ(gConsole.Lines().size(), std::min<size_t>(blanks, 101));
    EXPECT_EQ(gConsole.Lines().front().find(' '), std::string::npos);
    EXPECT_NE(ext.find(gConsole.Lines().front() + " "), std::string::npos);
}
