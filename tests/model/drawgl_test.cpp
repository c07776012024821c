// Models drawn in a real GL context through the shader library and the geometry batch: tag
// placement and slerp seen in the pixels (the blend itself is compared value by value in
// draw_test.cpp).
#include "fs/memfile.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/glcontext.h"
#include "support/md3builder.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

namespace
{
const int W = 160, H = 120;

// An orthographic view of x in [-10, 10] and y in [-10, 10]; "$default" draws white.
class ModelGLTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGLContext(W, H)) << "no GL context: run under a display (xvfb-run)";
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glCullFace(GL_BACK);
        glColor4f(1, 1, 1, 1);
        glClearColor(0, 0, 0, 1);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-10, 10, -10, 10, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gShaderMgr.Reset();
        gShaderMgr.Init();
        gTess.Reset();
        while (glGetError() != GL_NO_ERROR)
        {
        }
    }
    void TearDown() override
    {
        gTess.Reset();
        gShaderMgr.Reset();
    }

    static void Clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }
    // True when the point (x, y) of the view is lit.
    static bool Lit(float x, float y)
    {
        unsigned char rgba[4];
        ReadTestPixel(static_cast<int>((x + 10) / 20 * W), static_cast<int>((y + 10) / 20 * H), rgba);
        return rgba[0] > 128;
    }
    static void Load(cMd3& model, const Md3Builder& b)
    {
        std::vector<unsigned char> bytes = b.Build();
        memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "gl.md3", false);
        ASSERT_TRUE(model.LoadFromFile(view));
    }
};

// A rectangle in z = 0 per frame, given in model units; the file winds it clockwise and the
// loader turns it round to face the viewer.
void AddBox(Md3Builder& b, const std::vector<std::array<float, 4>>& boxes)
{
    Md3Builder::Surface& s = b.AddSurface("box", 4, "$default");
    s.triangles = {0, 2, 1, 0, 3, 2};
    for (int f = 0; f < b.numFrames; f++)
    {
        const auto& r = boxes[f];
        const float corners[4][2] = {{r[0], r[1]}, {r[2], r[1]}, {r[2], r[3]}, {r[0], r[3]}};
        for (int v = 0; v < 4; v++)
            s.Vertex(f, v) = {static_cast<int16_t>(corners[v][0] * 64),
                              static_cast<int16_t>(corners[v][1] * 64), 0, 0, 0};
    }
}
} // namespace

TEST_F(ModelGLTest, ChildOnALongAxisTagIsRotatedButNotScaled)
{
    // The tag sits at (5, 0), turned a quarter round z, with axes 4.6 long; frame 1 holds the
    // same rotation with the opposite sign, so half-way between the frames nothing moves.
    Md3Builder pb(2);
    pb.AddTag("tag_child");
    const float quarter[3][3] = {{0, 4.6f, 0}, {-4.6f, 0, 0}, {0, 0, 4.6f}};
    for (int f = 0; f < 2; f++)
    {
        memcpy(pb.GetTag(f, 0).axis, quarter, sizeof quarter);
        pb.GetTag(f, 0).origin[0] = 5;
    }
    Md3Builder cb(1);
    AddBox(cb, {{0, -0.5f, 4, 0.5f}}); // a bar along the child's x axis
    cMd3 parent, child;
    Load(parent, pb);
    Load(child, cb);
    parent.AttachToTag("tag_child", &child);
    float* q = parent.frames[1].tags[0].rotation;
    for (int k = 0; k < 4; k++)
        q[k] = -q[k];
    sAnimState state;
    parent.animState = &state;

    for (float f : {0.0f, 0.5f})
    {
        state.nextFrame = f > 0;
        state.fraction = f;
        Clear();
        cModelQ3::RenderTree(&parent);
        EXPECT_TRUE(Lit(5, 1)) << f;
        EXPECT_TRUE(Lit(5, 3.5f)) << f;
        EXPECT_FALSE(Lit(7, 0)) << f;    // unturned, the bar would lie here
        EXPECT_FALSE(Lit(5, 6)) << f;    // scaled by the axis length, it would reach this far
        EXPECT_FALSE(Lit(3, 2.5f)) << f; // sheared, it would lean over here
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
