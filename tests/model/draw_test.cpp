// Blending, shader names and the tag tree, seen through a recording drawer.
#include "fs/memfile.h"
#include "model/drawer.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "support/md3builder.h"
#include "support/recordingdrawer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace
{
void LoadModel(cMd3& model, const Md3Builder& b)
{
    std::vector<unsigned char> bytes = b.Build();
    memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "draw.md3", false);
    ASSERT_TRUE(model.LoadFromFile(view));
}
} // namespace

// The blend of the packed frames equals a float decode of the builder's values, on a surface that
// leaves vertex 3 out (left untouched) and one that uses every vertex; frames past the end show
// the last one. The shader name is the chosen slot's up to the first dot, "" past the slots.
TEST(Md3Draw, BlendEqualsAFloatDecodeAndShaderSlotsStayInBounds)
{
    Md3Builder b(3);
    for (int s = 0; s < 2; s++)
    {
        Md3Builder::Surface& surf = b.AddSurface("s", 5, "models/a.b/c.tga");
        surf.shaders.push_back("skin_two");
        surf.triangles = {0, 1, 2, 2, s ? 3 : 1, 4};
        for (int f = 0; f < 15; f++)
            surf.verts[f] = {int16_t(1000 * f - 37 * s + 5), int16_t(f - 32768), int16_t(32767 - 11 * f * s),
                             uint8_t(50 * f + s), uint8_t(17 * f)};
    }
    cMd3 m;
    LoadModel(m, b);
    const float* table = Md3NormalTable();
    const std::tuple<uint32_t, uint32_t, float> cases[] = {{0, 1, 0.25f}, {2, 0, 0.7f}, {7, 99, 0.5f}};
    for (int s = 0; s < 2; s++)
        for (const auto& [current, next, f] : cases)
        {
            std::vector<float> got(30, -7.0f), want(30, -7.0f);
            m.BlendSurface(m.surfaces[s], current, next, f, got.data(), got.data() + 15);
            for (int v = 0; v < 5; v++)
                for (int k = 0; k < 3 && (s == 1 || v != 3); k++)
                {
                    const Md3Builder::Vert& a = b.surfaces[s].Vertex(std::min(current, 2u), v);
                    const Md3Builder::Vert& z = b.surfaces[s].Vertex(std::min(next, 2u), v);
                    const int16_t pa[3] = {a.x, a.y, a.z}, pz[3] = {z.x, z.y, z.z};
                    want[v * 3 + k] = (1 - f) * (pa[k] / 64.0f) + f * (pz[k] / 64.0f);
                    want[15 + v * 3 + k] = (1 - f) * table[(a.normalI * 256 + a.normalJ) * 3 + k] +
                                           f * table[(z.normalI * 256 + z.normalJ) * 3 + k];
                }
            EXPECT_EQ(got, want) << s << " " << current << " " << f;
        }
    RecordingDrawer rec;
    rec.Install();
    std::string names;
    for (uint32_t slot : {0u, 1u, 2u, 1000u})
    {
        m.skinIndex = slot;
        m.Render(0, 1, 0.5f);
        names += rec.draws.back().shader + std::string(",");
    }
    EXPECT_EQ(names, "models/a,mkin_two,,,");
}

// A child without frames is visited, frames past the parent's are clamped, and a loop of links
// stops.
TEST(Md3Draw, TreeVisitsBareChildrenClampsFramesAndStopsOnLoops)
{
    Md3Builder b(2);
    b.AddTag("tag_child");
    b.AddSurface("body", 4).triangles = {0, 1, 2};
    cMd3 parent, bare;
    LoadModel(parent, b);
    parent.AttachToTag("tag_child", &bare);
    sAnimState state;
    state.currentFrame = 50;
    state.nextFrame = 1;
    parent.animState = &state;
    RecordingDrawer rec;
    rec.Install();
    cModelQ3::RenderTree(&parent);
    EXPECT_TRUE(rec.pushes == 1 && rec.draws.size() == 1u);
    parent.links[0] = &parent;
    cModelQ3::RenderTree(&parent);
    EXPECT_EQ(rec.stack.size(), 1u);
}
