// Frame blending, shader names, slerp and the tag tree, seen through a recording drawer.
#include "fs/memfile.h"
#include "model/drawer.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "support/md3builder.h"
#include "support/recordingdrawer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace
{
void LoadModel(cMd3& model, const Md3Builder& b)
{
    std::vector<unsigned char> bytes = b.Build();
    memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "draw.md3", false);
    ASSERT_TRUE(model.LoadFromFile(view));
}

// Two frames; vertex 0 moves from x = 1 to x = 3, vertex 3 belongs to no triangle.
Md3Builder TwoFrames()
{
    Md3Builder b(2);
    b.AddTag("tag_child");
    Md3Builder::Surface& s = b.AddSurface("body", 4, "models/a/b.tga");
    s.triangles = {0, 1, 2};
    s.Vertex(0, 0) = {64, 0, 0, 0, 0};
    s.Vertex(1, 0) = {192, 0, 64, 64, 0};
    s.Vertex(0, 3) = {640, 640, 640, 0, 0};
    s.Vertex(1, 3) = {640, 640, 640, 0, 0};
    return b;
}

void SetAxes(Md3Builder::Tag& tag, const float axes[3][3], float scale)
{
    for (int r = 0; r < 3; r++)
        for (int k = 0; k < 3; k++)
            tag.axis[r][k] = axes[r][k] * scale;
}
} // namespace

TEST(Md3Draw, BlendsUsedVerticesBetweenTwoFrames)
{
    cMd3 m;
    LoadModel(m, TwoFrames());
    const sMd3Surface& s = m.surfaces[0];
    float xyz[12], normals[12];
    for (float& v : xyz)
        v = -7;
    for (float& v : normals)
        v = -7;
    const float a = 64 * 3.1415927f * (2.0f / 255);
    struct
    {
        uint32_t c, n;
        float f, x, z, nx;
    } cases[] = {{0, 1, 0.0f, 1, 0, 0},
                 {0, 1, 1.0f, 3, 1, sinf(a)},
                 {0, 1, 0.5f, 2, 0.5f, sinf(a) / 2},
                 {1, 1, 0.3f, 3, 1, sinf(a)},
                 {1, 0, 0.25f, 2.5f, 0.75f, sinf(a) * 0.75f}};
    for (const auto& k : cases)
    {
        m.BlendSurface(s, k.c, k.n, k.f, xyz, normals);
        EXPECT_FLOAT_EQ(xyz[0], k.x) << k.f;
        EXPECT_FLOAT_EQ(xyz[2], k.z) << k.f;
        EXPECT_NEAR(normals[0], k.nx, 1e-6) << k.f;
        // No triangle uses vertex 3: it is left alone.
        EXPECT_EQ(xyz[9], -7);
        EXPECT_EQ(normals[11], -7);
    }
    // Frames past the end show the last frame instead of reading past the arrays.
    m.BlendSurface(s, 7, 99, 0.5f, xyz, normals);
    EXPECT_FLOAT_EQ(xyz[0], 3);
}

TEST(Md3Draw, ShaderNameComesFromTheSelectedSlotUpToTheFirstDot)
{
    cMd3 m;
    Md3Builder b = TwoFrames();
    b.surfaces[0].shaders = {"models/a.b/c.tga", "skin_two"};
    LoadModel(m, b);
    char name[MD3_NAME_SIZE];
    m.SurfaceShaderName(m.surfaces[0], name);
    EXPECT_STREQ(name, "models/a");
    m.skinIndex = 1;
    m.SurfaceShaderName(m.surfaces[0], name);
    EXPECT_STREQ(name, "mkin_two");
    for (uint32_t empty : {2u, 7u, 8u, 1000u})
    {
        m.skinIndex = empty;
        m.SurfaceShaderName(m.surfaces[0], name);
        EXPECT_STREQ(name, "") << empty;
    }
}

TEST(Md3Draw, RenderHandsEverySurfaceToTheDrawer)
{
    Md3Builder b = TwoFrames();
    b.AddSurface("second", 3, "models/x/y.jpg").triangles = {2, 1, 0};
    cMd3 m;
    LoadModel(m, b);
    RecordingDrawer rec;
    rec.Install();
    m.Render(0, 1, 0.5f);
    ASSERT_EQ(rec.draws.size(), 2u);
    EXPECT_EQ(rec.draws[0].shader, "models/a/b");
    EXPECT_EQ(rec.draws[1].shader, "models/x/y");
    EXPECT_FLOAT_EQ(rec.draws[0].xyz[0], 2.0f);

    cMd3 empty; // no frames: nothing to draw
    empty.Render(0, 0, 0);
    EXPECT_EQ(rec.draws.size(), 2u);
}

TEST(Md3Draw, SlerpTakesTheShortWayAndKeepsEqualRotations)
{
    const float h = sqrtf(0.5f);
    const float identity[4] = {0, 0, 0, 1};
    const float quarter[4] = {0, 0, h, h};
    const float minusQuarter[4] = {0, 0, -h, -h};
    float out[4];
    Slerp(identity, quarter, 0.5f, out);
    EXPECT_NEAR(out[2], sinf(3.1415927f / 8), 1e-6);
    EXPECT_NEAR(out[3], cosf(3.1415927f / 8), 1e-6);
    // -q is the same rotation as q: the halfway point is the same eighth turn.
    Slerp(identity, minusQuarter, 0.5f, out);
    EXPECT_NEAR(out[2], sinf(3.1415927f / 8), 1e-6);
    EXPECT_NEAR(out[3], cosf(3.1415927f / 8), 1e-6);
    Slerp(quarter, minusQuarter, 0.7f, out);
    for (int k = 0; k < 4; k++)
        EXPECT_NEAR(out[k], quarter[k], 1e-6);
    Slerp(quarter, quarter, 0.3f, out);
    for (int k = 0; k < 4; k++)
        EXPECT_FLOAT_EQ(out[k], quarter[k]);
}

TEST(Md3Draw, ChildIsPlacedByTheTagWithoutShearOrScale)
{
    // The tag turns a quarter round z and moves to (10, 0, 0) in frame 0, to (20, 0, 0)
    // in frame 1; its axes are 4.6 long, as some real files have them.
    const float quarter[3][3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};
    Md3Builder pb = TwoFrames();
    for (int f = 0; f < 2; f++)
    {
        SetAxes(pb.GetTag(f, 0), quarter, 4.6f);
        pb.GetTag(f, 0).origin[0] = 10.0f * (f + 1);
    }
    Md3Builder cb(1);
    cb.AddSurface("child", 3).triangles = {0, 1, 2};
    cb.surfaces[0].Vertex(0, 0) = {64, 0, 0, 0, 0};
    cb.surfaces[0].Vertex(0, 1) = {0, 0, 128, 0, 0};
    cMd3 parent, child;
    LoadModel(parent, pb);
    LoadModel(child, cb);
    parent.AttachToTag("tag_child", &child);
    sAnimState state;
    state.currentFrame = 0;
    state.nextFrame = 1;
    state.fraction = 0.5f;
    parent.animState = &state;

    RecordingDrawer rec;
    rec.Install();
    cModelQ3::RenderTree(&parent);
    ASSERT_EQ(rec.draws.size(), 2u);
    const RecordingDrawer::Draw& d = rec.draws[1];
    // Child point (1, 0, 0) lands one unit along the tag's first axis, (0, 0, 2) two up.
    auto p0 = RecordingDrawer::Apply(d.transform, &d.xyz[0]);
    auto p1 = RecordingDrawer::Apply(d.transform, &d.xyz[3]);
    EXPECT_NEAR(p0[0], 15, 1e-5);
    EXPECT_NEAR(p0[1], 1, 1e-5);
    EXPECT_NEAR(p0[2], 0, 1e-5);
    EXPECT_NEAR(p1[0], 15, 1e-5);
    EXPECT_NEAR(p1[1], 0, 1e-5);
    EXPECT_NEAR(p1[2], 2, 1e-5);
    EXPECT_EQ(rec.stack.size(), 1u);

    // A child with no surfaces is still placed; frames past the parent's end are clamped.
    cMd3 bare;
    child.AttachToTag("none", nullptr);
    parent.links[0] = &bare;
    state.currentFrame = 50;
    rec.pushes = 0;
    cModelQ3::RenderTree(&parent);
    EXPECT_EQ(rec.pushes, 1);

    // A model linked below itself does not recurse forever.
    parent.links[0] = &parent;
    cModelQ3::RenderTree(&parent);
    EXPECT_EQ(rec.stack.size(), 1u);
}

TEST(Md3Draw, TagMatrixColumnsAreTheAxesAndTheOrigin)
{
    const float h = sqrtf(0.5f);
    const float q[4] = {0, 0, h, h};
    const float origin[3] = {1, 2, 3};
    float m[16];
    TagMatrix(q, origin, m);
    const float expected[16] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    for (int k = 0; k < 16; k++)
        EXPECT_NEAR(m[k], expected[k], 1e-6) << k;
}
