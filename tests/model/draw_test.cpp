// Blending, shader names, slerp and the tag tree, seen through a recording drawer.
#include "fs/memfile.h"
#include "model/drawer.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "support/md3builder.h"
#include "support/recordingdrawer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{
void LoadModel(cMd3& model, const Md3Builder& b)
{
    std::vector<unsigned char> bytes = b.Build();
    memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "draw.md3", false);
    ASSERT_TRUE(model.LoadFromFile(view));
}

// Two frames with one tag; vertex 0 moves from x = 1 to x = 3.
Md3Builder TwoFrames()
{
    Md3Builder b(2);
    b.AddTag("tag_child");
    Md3Builder::Surface& s = b.AddSurface("body", 4, "models/a.b/c.tga");
    s.shaders.push_back("skin_two");
    s.triangles = {0, 1, 2};
    s.Vertex(0, 0) = {64, 0, 0, 0, 0};
    s.Vertex(1, 0) = {192, 0, 0, 0, 0};
    s.Vertex(0, 3) = s.Vertex(1, 3) = {640, 640, 640, 0, 0};
    return b;
}
} // namespace

TEST(Md3Draw, BlendingAndShaderSlotsStayInBounds)
{
    cMd3 m;
    LoadModel(m, TwoFrames());
    float xyz[12], normals[12];
    std::fill(xyz, xyz + 12, -7.0f);
    std::fill(normals, normals + 12, -7.0f);
    m.BlendSurface(m.surfaces[0], 1, 0, 0.25f, xyz, normals);
    EXPECT_FLOAT_EQ(xyz[0], 2.5f);
    EXPECT_EQ(xyz[9], -7); // vertex 3 is in no triangle
    EXPECT_EQ(normals[11], -7);
    // Frames past the end show the last frame instead of reading past the arrays.
    m.BlendSurface(m.surfaces[0], 7, 99, 0.5f, xyz, normals);
    EXPECT_FLOAT_EQ(xyz[0], 3);

    // The shader name is the selected slot's up to the first dot; empty slots give "".
    RecordingDrawer rec;
    rec.Install();
    const char* expected[] = {"models/a", "mkin_two", "", "", ""};
    const uint32_t slots[] = {0, 1, 2, 7, 1000};
    for (int k = 0; k < 5; k++)
    {
        m.skinIndex = slots[k];
        m.Render(0, 1, 0.5f);
        EXPECT_EQ(rec.draws.back().shader, expected[k]) << slots[k];
    }
    cMd3 empty; // no frames: nothing to draw
    empty.Render(0, 0, 0);
    EXPECT_EQ(rec.draws.size(), 5u);
}

TEST(Md3Draw, SlerpTakesTheShortWayAndKeepsEqualRotations)
{
    const float h = sqrtf(0.5f);
    const float identity[4] = {0, 0, 0, 1}, quarter[4] = {0, 0, h, h}, minusQuarter[4] = {0, 0, -h, -h};
    float out[4];
    // -q is the same rotation as q: half-way to either is the same eighth turn.
    // From q to q or -q the near-equal branch keeps q.
    for (const float* end : {quarter, minusQuarter})
    {
        Slerp(identity, end, 0.5f, out);
        EXPECT_NEAR(out[2], sinf(3.1415927f / 8), 1e-6);
        EXPECT_NEAR(out[3], cosf(3.1415927f / 8), 1e-6);
        Slerp(quarter, end, 0.3f, out);
        for (int k = 0; k < 4; k++)
            EXPECT_NEAR(out[k], quarter[k], 1e-6);
    }
}

TEST(Md3Draw, TreeVisitsBareChildrenClampsFramesAndStopsOnLoops)
{
    cMd3 parent, bare;
    LoadModel(parent, TwoFrames());
    parent.AttachToTag("tag_child", &bare);
    sAnimState state;
    state.currentFrame = 50; // past the parent's frames
    state.nextFrame = 1;
    parent.animState = &state;
    RecordingDrawer rec;
    rec.Install();
    cModelQ3::RenderTree(&parent);
    EXPECT_EQ(rec.pushes, 1);
    EXPECT_EQ(rec.draws.size(), 1u);

    parent.links[0] = &parent;
    cModelQ3::RenderTree(&parent);
    EXPECT_EQ(rec.stack.size(), 1u);
}
