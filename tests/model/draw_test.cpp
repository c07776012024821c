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
#include <tuple>

namespace
{
void LoadModel(cMd3& model, const Md3Builder& b)
{
    std::vector<unsigned char> bytes = b.Build();
    memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "draw.md3", false);
    ASSERT_TRUE(model.LoadFromFile(view));
}

// Two frames with one tag and a surface with two shader names.
Md3Builder TwoFrames()
{
    Md3Builder b(2);
    b.AddTag("tag_child");
    Md3Builder::Surface& s = b.AddSurface("body", 4, "models/a.b/c.tga");
    s.shaders.push_back("skin_two");
    s.triangles = {0, 1, 2};
    return b;
}
} // namespace

// The blend of the packed frames against a plain float decode of the builder's values, on a
// surface that leaves vertex 3 out and on one that uses every vertex. Frames past the end show
// the last frame instead of reading past the arrays.
TEST(Md3Draw, BlendEqualsAFloatDecodeOfBothFramesAndShaderSlotsStayInBounds)
{
    Md3Builder b(3);
    for (int s = 0; s < 2; s++)
    {
        Md3Builder::Surface& surf = b.AddSurface("s", 5);
        surf.triangles = {0, 1, 2, 2, s ? 3 : 1, 4};
        for (int f = 0; f < 15; f++)
            surf.verts[f] = {int16_t(1000 * f - 37 * s + 5), int16_t(f - 32768), int16_t(32767 - 11 * f * s),
                             uint8_t(50 * f + s), uint8_t(17 * f)};
    }
    cMd3 m;
    LoadModel(m, b);
    const float* table = Md3NormalTable();
    const std::tuple<uint32_t, uint32_t, float> cases[] = {
        {0, 1, 0}, {0, 1, 1}, {0, 1, 0.25f}, {2, 0, 0.7f}, {7, 99, 0.5f}};
    for (int s = 0; s < 2; s++)
        for (const auto& [current, next, f] : cases)
        {
            float xyz[15], normals[15];
            std::fill(xyz, xyz + 15, -7.0f);
            std::fill(normals, normals + 15, -7.0f);
            m.BlendSurface(m.surfaces[s], current, next, f, xyz, normals);
            for (int v = 0; v < 5; v++)
            {
                const Md3Builder::Vert& a = b.surfaces[s].Vertex(std::min(current, 2u), v);
                const Md3Builder::Vert& z = b.surfaces[s].Vertex(std::min(next, 2u), v);
                const float pa[3] = {a.x / 64.0f, a.y / 64.0f, a.z / 64.0f},
                            pz[3] = {z.x / 64.0f, z.y / 64.0f, z.z / 64.0f};
                const float* na = table + (a.normalI * 256 + a.normalJ) * 3;
                const float* nz = table + (z.normalI * 256 + z.normalJ) * 3;
                for (int k = 0; k < 3; k++)
                {
                    const bool used = s == 1 || v != 3;
                    EXPECT_EQ(xyz[v * 3 + k], used ? (1 - f) * pa[k] + f * pz[k] : -7) << s << v << f;
                    EXPECT_EQ(normals[v * 3 + k], used ? (1 - f) * na[k] + f * nz[k] : -7) << s << v << f;
                }
            }
        }

    LoadModel(m, TwoFrames());
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
