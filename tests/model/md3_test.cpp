// The MD3 loader on files written by the builder: every decoded field, odd but sound files, and
// broken files refused with their reason, leaving the model empty.
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

// What a model holds: name, frames, whether it counts as loaded, links; each tag of each frame
// with origin and rotation; each surface with its name, counts, filled shader slots, the file's
// first name as stored, indices, texture coordinates, then positions and normals frame by frame.
std::string Dump(const cMd3& m)
{
    std::ostringstream out;
    out.precision(4);
    out << m.name << ' ' << m.numFrames << " frames " << m.numTags << " tags " << m.numSurfaces
        << " surfaces " << m.links.size() << " links" << (const_cast<cMd3&>(m).IsLoaded() ? " loaded" : "")
        << '\n';
    for (const sMd3Frame& f : m.frames)
        for (const sMd3Tag& t : f.tags)
            out << t.name << ' ' << t.origin[0] << ',' << t.origin[1] << ',' << t.origin[2] << ' '
                << t.rotation[0] << ',' << t.rotation[1] << ',' << t.rotation[2] << ',' << t.rotation[3]
                << '\n';
    for (const sMd3Surface& s : m.surfaces)
    {
        out << s.name << ' ' << s.numVerts << " verts " << s.numShaders << " shaders";
        for (const sMd3Shader& slot : s.shaders)
            out << (slot.name[0] ? " " : "") << slot.name;
        out << " file " << s.fileShader.name << " indices";
        for (uint32_t i : s.indices)
            out << ' ' << i;
        out << " st";
        for (float v : s.st)
            out << ' ' << v;
        for (size_t v = 0; v < s.xyz.size(); v += 3)
            out << (v % (3 * s.numVerts) ? "" : "\n ") << " (" << s.xyz[v] << ',' << s.xyz[v + 1] << ','
                << s.xyz[v + 2] << '/' << s.normals[v] << ',' << s.normals[v + 1] << ',' << s.normals[v + 2]
                << ')';
        out << '\n';
    }
    return out.str();
}

// Two frames, two surfaces of one triangle each, and two tags turned half round z in frame 1, the
// second with axes 4.6 long: every decoded field has a visible value.
Md3Builder GoodModel()
{
    Md3Builder b(2);
    b.name = "inside_name";
    b.AddTag("tag_head");
    b.AddTag("tag_long");
    const float turned[3][3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}};
    for (int t = 0; t < 2; t++)
        for (int r = 0; r < 3; r++)
            for (int k = 0; k < 3; k++)
            {
                b.GetTag(0, t).axis[r][k] *= t ? 4.6f : 1.0f;
                b.GetTag(1, t).axis[r][k] = turned[r][k] * (t ? 4.6f : 1.0f);
            }
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

// Winding reversed, t flipped, positions in 1/64 units, normals from the angle table (step
// 2 pi / 255), tag axes made a rotation whatever their length; only the first letter of a shader
// name is replaced.
TEST(Md3Load, DecodesEveryField)
{
    cMd3 m;
    std::vector<unsigned char> bytes = GoodModel().Build();
    Put32(bytes, MD3_HEADER_SIZE + MD3_FRAME_SIZE + 4, 0x7FC00000u); // frame 1's box: a NaN
    ASSERT_TRUE(LoadBytes(m, bytes));
    // Frame boxes as the file gives them; one holding a value that is not a number stays empty.
    EXPECT_TRUE(m.frames[0].mins[1] == -512.0f && m.frames[0].maxs[2] == 32767 / 64.0f &&
                m.frames[1].mins[0] == 0.0f);
    EXPECT_EQ(Dump(m), "inside_name 2 frames 2 tags 2 surfaces 2 links loaded\n"
                       "tag_head 0,0,0 0,0,0,1\ntag_long 0,0,0 0,0,0,1\n"
                       "tag_head 1.5,0,0 0,0,1,0\ntag_long 0,0,0 0,0,1,0\n"
                       "l_legs 3 verts 1 shaders models/players/x/legs.tga file Models/players/x/legs.tga "
                       "indices 2 1 0 st 0.25 0.75 1 1 0 0\n"
                       "  (1,-512,512/0,0,1) (0,0,0/0,0,1) (0,0,0/0,0,1)\n"
                       "  (0,0,0/0,0,1) (0,0,0/0,0,1) (-1,0.5,0/1,0,-0.00616)\n"
                       "l_second 3 verts 1 shaders mecond.tga file second.tga indices 2 1 0 st 0 1 0 1 0 1\n"
                       "  (0,0,0/0,0,1) (0,0,0/0,0,1) (0,0,0/0,0,1)\n"
                       "  (0,0,0/0,0,1) (0,0,0/0,0,1) (0,0,0/0,0,1)\n");
}

// Names are cut to 63 characters; ten shader records load, seven names are taken and the count is
// kept; attaching matches every tag of the name in any case; a file without tags loads without
// counting as loaded; a file of tags only and a surface without vertices load; a surface's own
// frame count is ignored, the header's rules.
TEST(Md3Load, OddButSoundFiles)
{
    Md3Builder b(1);
    b.name = std::string(64, 'n');
    b.AddTag("tag_flash");
    b.AddTag("tag_barrel");
    b.AddTag("TAG_FLASH");
    b.AddSurface(std::string(64, 's'), 3).shaders = {
        "X" + std::string(63, 'x'), "Mb", "c", "d", "e", "f", "g", "h", "i", "j"};
    cMd3 m, child;
    ASSERT_TRUE(LoadBytes(m, b.Build()));
    const std::string x62(62, 'x');
    EXPECT_EQ(Dump(m), std::string(63, 'n') +
                           " 1 frames 3 tags 1 surfaces 3 links loaded\n"
                           "tag_flash 0,0,0 0,0,0,1\ntag_barrel 0,0,0 0,0,0,1\nTAG_FLASH 0,0,0 0,0,0,1\n" +
                           std::string(63, 's') + " 3 verts 10 shaders m" + x62 + " mb m m m m m file X" +
                           x62 + " indices st 0 1 0 1 0 1\n  (0,0,0/0,0,1) (0,0,0/0,0,1) (0,0,0/0,0,1)\n");
    m.AttachToTag("Tag_Flash", &child);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{&child, nullptr, &child}));
    m.AttachToTag("tag_flash", nullptr);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{nullptr, nullptr, nullptr}));

    Md3Builder noTags(1), hand(3);
    noTags.AddSurface("s", MD3_MAX_VERTS).triangles = {0, 1, MD3_MAX_VERTS - 1};
    hand.AddTag("tag_weapon");
    hand.AddSurface("empty", 0);
    Md3Builder::Layout layout;
    std::vector<unsigned char> ownFrames = GoodModel().Build(&layout);
    Put32(ownFrames, layout.surfaces[0] + 72, 99);
    std::string dumps;
    for (const auto& bytes : {noTags.Build(), hand.Build(), ownFrames})
    {
        EXPECT_TRUE(LoadBytes(m, bytes));
        dumps += Dump(m).substr(0, Dump(m).find('\n') + 1) + std::to_string(m.surfaces[0].xyz.size()) + "\n";
    }
    EXPECT_EQ(dumps, "test.md3 1 frames 0 tags 1 surfaces 0 links\n12288\n"
                     "test.md3 3 frames 1 tags 1 surfaces 1 links loaded\n0\n"
                     "inside_name 2 frames 2 tags 2 surfaces 2 links loaded\n18\n");
}

TEST(Md3Load, BrokenFilesAreRefusedAndLeaveTheModelEmpty)
{
    LogCapture log;
    Md3Builder::Layout layout;
    const std::vector<unsigned char> good = GoodModel().Build(&layout);
    const uint32_t surf = layout.surfaces[0];
    const uint32_t firstIndex = surf + 108 + 68; // after the one shader record
    const uint32_t xyz = 108 + 68 + 12 + 3 * 8;  // from each surface's start
    const char* const tooFar = "surface past end of file";
    const char* const overlap = "overlapping blocks";
    // Each field with the values that break it, one patch per file, and the reason given.
    const std::tuple<uint32_t, std::vector<uint32_t>, const char*> patches[] = {
        {0, {0x33504458}, "not an md3 file"}, // "XDP3"
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
        {firstIndex, {3, 0xFFFFFFFFu}, "triangle with a missing vertex"},
        // No byte may belong to two blocks: a shared block would be decoded once per user.
        {surf + SURF_OFS_OFS_XYZ, {layout.surfaces[1] - surf + xyz}, overlap}, // the second's
        {surf + SURF_OFS_OFS_ST, {108 + 68}, overlap},                         // the triangles
        {surf + SURF_OFS_OFS_SHADERS, {0, 100}, overlap},                      // its header
        {MD3_OFS_OFS_TAGS, {surf, 0}, overlap},                                // a header
        {MD3_OFS_OFS_FRAMES, {0, 200}, overlap},                               // header, tags
    };
    for (const auto& [at, values, reason] : patches)
        for (uint32_t value : values)
        {
            std::vector<unsigned char> bytes = good;
            Put32(bytes, at, value);
            cMd3 m;
            EXPECT_FALSE(LoadBytes(m, bytes)) << at << " = " << value;
            EXPECT_EQ(Dump(m) + m.loadError, " 0 frames 0 tags 0 surfaces 0 links\n" + std::string(reason))
                << at << " = " << value;
        }
    Md3Builder b = GoodModel();
    b.GetTag(1, 0).name = std::string(64, 't');
    cMd3 m;
    EXPECT_FALSE(LoadBytes(m, b.Build()));
    for (const char* line :
         {"cMd3:: test.md3 : surface 0 vertices overlaps surface 1 vertices",
          "cMd3:: test.md3 : surface 0 has records past end of file", "tag 0 has an unterminated name",
          "cMd3:: this : test.md3 file is not a valid md3 file",
          "cMd3:: this : test.md3 file has a wrong version"})
        EXPECT_NE(log.Debug().find(line), std::string::npos) << line;

    // Every cut of the file empties a loaded model; an empty view is refused without a word.
    for (size_t cut = 1; cut < good.size(); cut++)
    {
        ASSERT_TRUE(LoadBytes(m, good));
        EXPECT_FALSE(LoadBytes(m, std::vector<unsigned char>(good.begin(), good.begin() + cut))) << cut;
        EXPECT_EQ(Dump(m).substr(m.name.size()), " 0 frames 0 tags 0 surfaces 0 links\n") << cut;
    }
    LogCapture quiet;
    memfile_t empty;
    EXPECT_FALSE(m.LoadFromFile(empty));
    EXPECT_EQ(quiet.Debug(), "");
}
