#include "fs/memfile.h"
#include "model/md3.h"
#include "model/md3_parser.h"
#include "model/modelq3.h"
#include "support/md3builder.h"
#include "support/recordingdrawer.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <tuple>

namespace
{
bool LoadBytes(cMd3& model, const std::vector<unsigned char>& bytes)
{
    memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "test.md3", false);
    return model.LoadFromFile(view);
}

std::string Dump(const cMd3& m)
{
    std::ostringstream out;
    out << m.name << ' ' << m.numFrames << ' ' << m.numTags << ' ' << m.numSurfaces << ' ' << m.links.size()
        << (const_cast<cMd3&>(m).IsLoaded() ? " loaded" : "");
    for (const sMd3Surface& s : m.surfaces)
    {
        out << '|' << s.name << ' ' << s.numVerts << ' ' << s.numShaders;
        for (const sMd3Shader& slot : s.shaders)
            out << (slot.name[0] ? " " : "") << slot.name;
        out << " file " << s.fileShader.name << ':';
        for (uint32_t i : s.indices)
            out << ' ' << i;
        for (float v : s.st)
            out << ' ' << v;
    }
    return out.str();
}

// Two frames; two tags named alike but for case, the second turned half round z in frame 1; a
// surface, one with a name past 63 characters and ten shader records, and an empty one.
Md3Builder GoodModel()
{
    Md3Builder b(2);
    b.name = std::string(64, 'n');
    b.AddTag("tag_head");
    b.AddTag("TAG_HEAD");
    b.GetTag(1, 1).axis[0][0] = b.GetTag(1, 1).axis[1][1] = -1;
    Md3Builder::Surface& s = b.AddSurface("l_legs", 3, "Models/players/x/legs.tga");
    s.triangles = {0, 1, 2};
    s.st = {0.25f, 0.25f, 1, 0, 0, 1};
    s.Vertex(0, 0) = {64, -32768, 32767, 0, 0};
    b.AddSurface(std::string(64, 's'), 3).shaders = {
        "X" + std::string(63, 'x'), "Mb", "c", "d", "e", "f", "g", "h", "i", "j"};
    b.surfaces[1].triangles = {0, 1, 2};
    b.AddSurface("empty", 0);
    return b;
}
} // namespace

// Winding reversed, t flipped, tag axes made a rotation, a shader name's first letter replaced,
// frame boxes as the file gives them (a NaN leaves one empty), names cut to 63 characters, tags
// attached by name in any case, and a surface's own frame count, which yields to the header's.
TEST(Md3Load, DecodesSoundFilesAndRefusesBrokenOnes)
{
    cMd3 m, child;
    std::vector<unsigned char> bytes = GoodModel().Build();
    Put32(bytes, MD3_HEADER_SIZE + MD3_FRAME_SIZE + 4, 0x7FC00000u);
    ASSERT_TRUE(LoadBytes(m, bytes));
    const float* turned = m.frames[1].tags[1].rotation;
    EXPECT_TRUE(m.frames[0].mins[1] == -512.0f && m.frames[0].maxs[2] == 32767 / 64.0f &&
                m.frames[1].mins[0] == 0.0f && turned[0] == 0 && turned[1] == 0 && turned[2] == 1 &&
                turned[3] == 0);
    EXPECT_EQ(
        Dump(m),
        std::string(63, 'n') +
            " 2 2 3 2 loaded|l_legs 3 1 models/players/x/legs.tga file Models/players/x/legs.tga: 2 1 0 "
            "0.25 0.75 1 1 0 0|" +
            std::string(63, 's') + " 3 10 m" + std::string(62, 'x') + " mb m m m m m file X" +
            std::string(62, 'x') + ": 2 1 0 0 1 0 1 0 1|empty 0 0 file :");
    m.AttachToTag("Tag_Head", &child);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{&child, &child}));
    Md3Builder::Layout layout;
    std::vector<unsigned char> ownFrames = GoodModel().Build(&layout);
    Put32(ownFrames, layout.surfaces[0] + 72, 99);
    EXPECT_TRUE(LoadBytes(m, ownFrames) && m.surfaces[0].xyz.size() == 18);

    // Broken files are refused with their reason and leave the model empty.
    LogCapture log;
    const std::vector<unsigned char> good = GoodModel().Build(&layout);
    const uint32_t surf = layout.surfaces[0];
    const char* const tooFar = "surface past end of file";
    const char* const overlap = "overlapping blocks";
    const std::tuple<uint32_t, std::vector<uint32_t>, const char*> patches[] = {
        {0, {0x33504458}, "not an md3 file"},
        {MD3_OFS_VERSION, {14, 16}, "wrong md3 version"},
        {MD3_OFS_NUM_FRAMES, {0xFFFFFFFFu, 0x7FFFFFFFu}, "bad frame count"},
        {MD3_OFS_NUM_FRAMES, {3}, overlap},
        {MD3_OFS_NUM_TAGS, {0x80000000u, 1025}, "bad tag count"},
        {MD3_OFS_NUM_SURFACES, {0xFFFFFFFEu, 0x10000000u}, "surfaces past end of file"},
        {MD3_OFS_OFS_TAGS, {0x7FFFFFF0u, 0xFFFFFF00u}, "tags past end of file"},
        {MD3_OFS_OFS_FRAMES, {0xFFFFFF00u}, "frames past end of file"},
        {surf + SURF_OFS_OFS_END, {0, 100000}, tooFar},
        {surf + SURF_OFS_NUM_SHADERS, {0xFFFFFFFFu, 0x01000000u}, tooFar},
        {surf + SURF_OFS_NUM_VERTS, {0xFFFFFFFFu, 4097}, "surface with too many vertices"},
        {surf + SURF_OFS_OFS_TRIANGLES, {0x7FFFFFFFu}, tooFar},
        {surf + SURF_OFS_OFS_ST, {5000}, tooFar},
        {surf + SURF_OFS_OFS_XYZ, {5000}, tooFar},
        {surf + 108 + 68, {3, 0xFFFFFFFFu}, "triangle with a missing vertex"},
        {surf + SURF_OFS_OFS_XYZ, {layout.surfaces[1] - surf + 108 + 68 * 10 + 12 + 24}, overlap},
        {MD3_OFS_OFS_TAGS, {surf, 0}, overlap},
    };
    for (const auto& [at, values, reason] : patches)
        for (uint32_t value : values)
        {
            std::vector<unsigned char> damaged = good;
            Put32(damaged, at, value);
            ASSERT_TRUE(LoadBytes(m, good));
            EXPECT_FALSE(LoadBytes(m, damaged)) << at << " = " << value;
            EXPECT_EQ(Dump(m).substr(m.name.size()) + m.loadError, " 0 0 0 0" + std::string(reason))
                << at << " = " << value;
        }
    Md3Builder b = GoodModel();
    b.GetTag(1, 0).name = std::string(64, 't');
    EXPECT_FALSE(LoadBytes(m, b.Build()));
    for (const char* line :
         {"cMd3:: test.md3 : surface 0 vertices overlaps surface 1 vertices",
          "tag 0 has an unterminated name", "cMd3:: this : test.md3 file is not a valid md3 file",
          "cMd3:: this : test.md3 file has a wrong version"})
        EXPECT_NE(log.Debug().find(line), std::string::npos) << line;
    LogCapture quiet;
    memfile_t empty;
    EXPECT_FALSE(m.LoadFromFile(empty));
    EXPECT_EQ(quiet.Debug(), "");
}

// The blend of packed frames equals a float decode, normals from their two angle bytes; a vertex no triangle
// uses is left untouched; frames past the end show the last one. The shader name is the slot's up to the
// first dot, "" past the slots. A child on a tag turned a quarter round z with axes 4.6 long is turned, not
// scaled, also half-way to the same rotation of opposite sign; frames past the parent's are
// clamped; a loop of links stops.
TEST(Md3Draw, BlendSlotsAndTree)
{
    Md3Builder b(3);
    Md3Builder::Surface& surf = b.AddSurface("s", 5, "models/a.b/c.tga");
    surf.shaders.push_back("skin_two");
    surf.triangles = {0, 1, 2, 2, 1, 4};
    for (int f = 0; f < 15; f++)
        surf.verts[f] = {int16_t(1000 * f + 5), int16_t(f - 32768), int16_t(32767 - 11 * f),
                         uint8_t(50 * f + 1), uint8_t(17 * f)};
    cMd3 m;
    ASSERT_TRUE(LoadBytes(m, b.Build()));
    auto normal = [](const Md3Builder::Vert& vert, int k)
    {
        float n[3];
        Md3Normal(Md3Angles(), static_cast<uint16_t>(vert.normalI * 256 + vert.normalJ), n);
        return n[k];
    };
    const std::tuple<uint32_t, uint32_t, float> cases[] = {{0, 1, 0.25f}, {2, 0, 0.7f}, {7, 99, 0.5f}};
    for (const auto& [current, next, f] : cases)
    {
        std::vector<float> got(30, -7.0f), want(30, -7.0f);
        m.BlendSurface(m.surfaces[0], current, next, f, got.data(), got.data() + 15);
        for (int v = 0; v < 5; v++)
            for (int k = 0; k < 3 && v != 3; k++)
            {
                const Md3Builder::Vert& a = surf.Vertex(std::min(current, 2u), v);
                const Md3Builder::Vert& z = surf.Vertex(std::min(next, 2u), v);
                const int16_t pa[3] = {a.x, a.y, a.z}, pz[3] = {z.x, z.y, z.z};
                want[v * 3 + k] = (1 - f) * (pa[k] / 64.0f) + f * (pz[k] / 64.0f);
                want[15 + v * 3 + k] = (1 - f) * normal(a, k) + f * normal(z, k);
            }
        EXPECT_EQ(got, want) << current << " " << f;
    }
    // Normal bytes (latitude, longitude) in steps of 2 pi / 255: (cos lng sin lat, sin lng sin lat, cos lat).
    for (const auto& [lat, lng] : {std::pair{0, 0}, {64, 0}, {64, 64}, {128, 200}, {255, 255}})
    {
        float n[3];
        Md3Normal(Md3Angles(), static_cast<uint16_t>(lat * 256 + lng), n);
        const double a = lat * 2 * M_PI / 255, o = lng * 2 * M_PI / 255;
        const double want3[3] = {cos(o) * sin(a), sin(o) * sin(a), cos(a)};
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(n[k], want3[k], 1e-6) << lat << " " << lng << " " << k;
    }
    RecordingDrawer rec;
    rec.Install();
    std::string names;
    for (uint32_t slot : {0u, 1u, 2u, 1000u})
        m.skinIndex = slot, m.Render(0, 1, 0.5f), names += rec.draws.back().shader + ",";
    EXPECT_EQ(names, "models/a,mkin_two,,,");

    Md3Builder pb(2), cb(1);
    pb.AddTag("tag_child");
    pb.AddSurface("body", 4).triangles = {0, 1, 2};
    cb.AddSurface("bar", 3).triangles = {0, 1, 2};
    const float quarter[3][3] = {{0, 4.6f, 0}, {-4.6f, 0, 0}, {0, 0, 4.6f}};
    for (int f = 0; f < 2; f++)
        memcpy(pb.GetTag(f, 0).axis, quarter, sizeof quarter), pb.GetTag(f, 0).origin[0] = 5;
    cMd3 parent, child;
    ASSERT_TRUE(LoadBytes(parent, pb.Build()) && LoadBytes(child, cb.Build()));
    for (float& q : parent.frames[1].tags[0].rotation)
        q = -q;
    parent.AttachToTag("tag_child", &child);
    sAnimState state;
    parent.animState = &state;
    const float p[3] = {4, 0, 1};
    for (const auto& [current, fraction] : {std::pair{0u, 0.5f}, {50u, 0.0f}})
    {
        state.currentFrame = current, state.nextFrame = 1, state.fraction = fraction;
        rec.draws.clear();
        cModelQ3::RenderTree(&parent);
        ASSERT_EQ(rec.draws.size(), 2u);
        const auto at = RecordingDrawer::Apply(rec.draws[1].transform, p);
        EXPECT_TRUE(std::fabs(at[0] - 5) + std::fabs(at[1] - 4) + std::fabs(at[2] - 1) < 1e-4) << current;
    }
    parent.links[0] = &parent;
    cModelQ3::RenderTree(&parent);
    EXPECT_EQ(rec.stack.size(), 1u);
}
