// The MD3 loader on files written by the builder: decoded fields, odd but sound files, and broken
// files refused with their reason, leaving the model empty.
#include "fs/memfile.h"
#include "model/md3.h"
#include "model/md3_parser.h"
#include "support/md3builder.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace
{
bool LoadBytes(cMd3& model, const std::vector<unsigned char>& bytes)
{
    memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "test.md3", false);
    return model.LoadFromFile(view);
}

// Name, counts, links; tags (origin, rotation); surfaces (slots, file name, indices, st, then
// position/normal of each vertex frame by frame).
std::string Dump(const cMd3& m)
{
    std::ostringstream out;
    out.precision(4);
    out << m.name << ' ' << m.numFrames << ' ' << m.numTags << ' ' << m.numSurfaces << ' ' << m.links.size()
        << (const_cast<cMd3&>(m).IsLoaded() ? " loaded" : "");
    for (const sMd3Frame& f : m.frames)
        for (const sMd3Tag& t : f.tags)
            out << '|' << t.name << ' ' << t.origin[0] << ' ' << t.rotation[2] << ',' << t.rotation[3];
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
        for (size_t v = 0; v < s.xyz.size(); v += 3)
            if (s.xyz[v] || s.xyz[v + 1] || s.xyz[v + 2] || s.normals[v + 2] != 1)
                out << " v" << v / 3 << '(' << s.xyz[v] << ',' << s.xyz[v + 1] << ',' << s.xyz[v + 2] << '/'
                    << s.normals[v] << ',' << s.normals[v + 1] << ',' << s.normals[v + 2] << ')';
    }
    return out.str();
}

// Two frames, two one-triangle surfaces, and two tags turned half round z in frame 1, the second
// with axes 4.6 long.
Md3Builder GoodModel()
{
    Md3Builder b(2);
    b.name = "inside_name";
    b.AddTag("tag_head");
    b.AddTag("tag_long");
    for (int r = 0; r < 3; r++)
        for (int k = 0; k < 3; k++)
            b.GetTag(1, 1).axis[r][k] = (r == k ? (r < 2 ? -4.6f : 4.6f) : 0);
    b.GetTag(1, 0).origin[0] = 1.5f;
    Md3Builder::Surface& s = b.AddSurface("l_legs", 3, "Models/players/x/legs.tga");
    s.triangles = {0, 1, 2};
    s.st = {0.25f, 0.25f, 1, 0, 0, 1};
    s.Vertex(0, 0) = {64, -32768, 32767, 0, 0};
    s.Vertex(1, 2) = {-64, 32, 0, 64, 0};
    b.AddSurface("l_second", 3, "second.tga").triangles = {0, 1, 2};
    return b;
}
} // namespace

// Winding reversed, t flipped, positions in 1/64 units, normals from the angle table, tag axes
// made a rotation whatever their length, only a shader name's first letter replaced; frame boxes
// as the file gives them, one holding a NaN left empty. Odd but sound: names cut to 63
// characters, ten shader records (seven names kept, the count too), tags attached by name in any
// case, a file without tags loads but does not count as loaded, an empty surface loads, and a
// surface's own frame count yields to the header's.
TEST(Md3Load, DecodesSoundFiles)
{
    cMd3 m, child;
    std::vector<unsigned char> bytes = GoodModel().Build();
    Put32(bytes, MD3_HEADER_SIZE + MD3_FRAME_SIZE + 4, 0x7FC00000u);
    ASSERT_TRUE(LoadBytes(m, bytes));
    EXPECT_TRUE(m.frames[0].mins[1] == -512.0f && m.frames[0].maxs[2] == 32767 / 64.0f &&
                m.frames[1].mins[0] == 0.0f);
    EXPECT_EQ(Dump(m),
              "inside_name 2 2 2 2 loaded|tag_head 0 0,1|tag_long 0 0,1|tag_head 1.5 0,1|tag_long 0 1,0"
              "|l_legs 3 1 models/players/x/legs.tga file Models/players/x/legs.tga: 2 1 0 0.25 0.75 1 1 "
              "0 0 v0(1,-512,512/0,0,1) v5(-1,0.5,0/1,0,-0.00616)"
              "|l_second 3 1 mecond.tga file second.tga: 2 1 0 0 1 0 1 0 1");

    Md3Builder odd(1), noTags(1), hand(3);
    odd.name = std::string(64, 'n');
    odd.AddTag("tag_flash");
    odd.AddTag("TAG_FLASH");
    odd.AddSurface(std::string(64, 's'), 0).shaders = {
        "X" + std::string(63, 'x'), "Mb", "c", "d", "e", "f", "g", "h", "i", "j"};
    ASSERT_TRUE(LoadBytes(m, odd.Build()));
    EXPECT_EQ(Dump(m), std::string(63, 'n') + " 1 2 1 2 loaded|tag_flash 0 0,1|TAG_FLASH 0 0,1|" +
                           std::string(63, 's') + " 0 10 m" + std::string(62, 'x') + " mb m m m m m file X" +
                           std::string(62, 'x') + ":");
    m.AttachToTag("Tag_Flash", &child);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{&child, &child}));
    noTags.AddSurface("s", MD3_MAX_VERTS).triangles = {0, 1, MD3_MAX_VERTS - 1};
    hand.AddTag("tag_weapon");
    Md3Builder::Layout layout;
    std::vector<unsigned char> ownFrames = GoodModel().Build(&layout);
    Put32(ownFrames, layout.surfaces[0] + 72, 99);
    std::string heads;
    for (const auto& file : {noTags.Build(), hand.Build(), ownFrames})
    {
        EXPECT_TRUE(LoadBytes(m, file));
        heads += Dump(m).substr(0, Dump(m).find('|')) + " " +
                 std::to_string(m.surfaces.empty() ? 0 : m.surfaces[0].xyz.size()) + ";";
    }
    EXPECT_EQ(heads, "test.md3 1 0 1 0 12288;test.md3 3 1 0 1 0;inside_name 2 2 2 2 loaded 18;");
}

TEST(Md3Load, BrokenFilesAreRefusedAndLeaveTheModelEmpty)
{
    LogCapture log;
    Md3Builder::Layout layout;
    const std::vector<unsigned char> good = GoodModel().Build(&layout);
    const uint32_t surf = layout.surfaces[0];
    const char* const tooFar = "surface past end of file";
    const char* const overlap = "overlapping blocks";
    // Each field with the values that break it, one patch per file, and the reason given.
    const std::tuple<uint32_t, std::vector<uint32_t>, const char*> patches[] = {
        {0, {0x33504458}, "not an md3 file"},
        {MD3_OFS_VERSION, {14, 16}, "wrong md3 version"},
        {MD3_OFS_NUM_FRAMES, {0xFFFFFFFFu, 0x7FFFFFFFu}, "bad frame count"},
        {MD3_OFS_NUM_FRAMES, {3}, tooFar},
        {MD3_OFS_NUM_TAGS, {0x80000000u, 1025}, "bad tag count"},
        {MD3_OFS_NUM_TAGS, {500}, "tags past end of file"},
        {MD3_OFS_NUM_SURFACES, {0xFFFFFFFEu, 0x10000000u}, "surfaces past end of file"},
        {MD3_OFS_OFS_TAGS, {0x7FFFFFF0u, 0xFFFFFF00u}, "tags past end of file"},
        {MD3_OFS_OFS_FRAMES, {0xFFFFFF00u}, "frames past end of file"},
        {MD3_OFS_OFS_SURFACES, {100000}, "surfaces past end of file"},
        {surf + SURF_OFS_OFS_END, {0, 100000}, tooFar},
        {surf + SURF_OFS_NUM_SHADERS, {0xFFFFFFFFu, 0x01000000u}, tooFar},
        {surf + SURF_OFS_NUM_VERTS, {0xFFFFFFFFu, 4097}, "surface with too many vertices"},
        {surf + SURF_OFS_NUM_TRIANGLES, {0x40000000u}, tooFar},
        {surf + SURF_OFS_OFS_TRIANGLES, {0x7FFFFFFFu}, tooFar},
        {surf + SURF_OFS_OFS_SHADERS, {0xFFFF0000u}, tooFar},
        {surf + SURF_OFS_OFS_ST, {5000}, tooFar},
        {surf + SURF_OFS_OFS_XYZ, {5000}, tooFar},
        {surf + 108 + 68, {3, 0xFFFFFFFFu}, "triangle with a missing vertex"},
        // No byte may belong to two blocks: a shared block would be decoded once per user.
        {surf + SURF_OFS_OFS_XYZ, {layout.surfaces[1] - surf + 108 + 68 + 12 + 24}, overlap},
        {surf + SURF_OFS_OFS_ST, {108 + 68}, overlap},
        {surf + SURF_OFS_OFS_SHADERS, {0, 100}, overlap},
        {MD3_OFS_OFS_TAGS, {surf, 0}, overlap},
        {MD3_OFS_OFS_FRAMES, {0, 200}, overlap},
    };
    cMd3 m;
    for (const auto& [at, values, reason] : patches)
        for (uint32_t value : values)
        {
            std::vector<unsigned char> bytes = good;
            Put32(bytes, at, value);
            ASSERT_TRUE(LoadBytes(m, good));
            EXPECT_FALSE(LoadBytes(m, bytes)) << at << " = " << value;
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
