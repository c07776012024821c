// The MD3 loader on files written by the builder: decoding, refusals of broken files, tags.
#include "fs/memfile.h"
#include "model/md3.h"
#include "model/md3_parser.h"
#include "support/md3builder.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

namespace
{
bool LoadBytes(cMd3& model, const std::vector<unsigned char>& bytes)
{
    memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "test.md3", false);
    return model.LoadFromFile(view);
}

bool IsEmpty(const cMd3& m)
{
    return m.numSurfaces == 0 && m.numFrames == 0 && m.numTags == 0 && m.surfaces.empty() &&
           m.frames.empty() && m.links.empty();
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
                const float scale = t ? 4.6f : 1.0f;
                b.GetTag(0, t).axis[r][k] *= scale;
                b.GetTag(1, t).axis[r][k] = turned[r][k] * scale;
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

TEST(Md3Load, DecodesEveryField)
{
    cMd3 m;
    std::vector<unsigned char> bytes = GoodModel().Build();
    Put32(bytes, MD3_HEADER_SIZE + MD3_FRAME_SIZE + 4, 0x7FC00000u); // frame 1's box: a NaN
    ASSERT_TRUE(LoadBytes(m, bytes));
    EXPECT_TRUE(m.IsLoaded());
    EXPECT_EQ(m.name, "inside_name");
    EXPECT_EQ(m.numFrames, 2u);
    ASSERT_EQ(m.numSurfaces, 2u);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{nullptr, nullptr}));

    const sMd3Surface& s = m.surfaces[0];
    EXPECT_STREQ(s.name, "l_legs");
    EXPECT_EQ(s.numVerts, 3u);
    EXPECT_EQ(s.numShaders, 1u);
    // Only the first character of a file shader name is replaced.
    EXPECT_STREQ(s.shaders[0].name, "models/players/x/legs.tga");
    // Winding reversed, t flipped, positions in 1/64 units frame by frame.
    EXPECT_EQ(s.indices, (std::vector<uint32_t>{2, 1, 0}));
    EXPECT_FLOAT_EQ(s.st[0], 0.25f);
    EXPECT_FLOAT_EQ(s.st[1], 0.75f);
    EXPECT_FLOAT_EQ(s.xyz[0], 1.0f);
    EXPECT_FLOAT_EQ(s.xyz[1], -512.0f);
    EXPECT_FLOAT_EQ(s.xyz[(3 + 2) * 3 + 1], 0.5f);
    // Normals from the angle table, whose step is 2 pi / 255.
    EXPECT_FLOAT_EQ(s.normals[2], 1.0f);
    const double a = 64 * 3.1415927f * (2.0 / 255.0);
    EXPECT_NEAR(s.normals[(3 + 2) * 3 + 0], sin(a), 1e-6);
    EXPECT_NEAR(s.normals[(3 + 2) * 3 + 1], 0.0, 1e-6);
    EXPECT_NEAR(s.normals[(3 + 2) * 3 + 2], cos(a), 1e-6);

    // Frame boxes as the file gives them; one holding a value that is not a number stays empty.
    EXPECT_FLOAT_EQ(m.frames[0].mins[1], -512.0f);
    EXPECT_FLOAT_EQ(m.frames[0].maxs[2], 32767 / 64.0f);
    EXPECT_EQ(m.frames[1].mins[0], 0.0f); // -1 in the file
    EXPECT_STREQ(m.frames[0].tags[0].name, "tag_head");
    EXPECT_FLOAT_EQ(m.frames[0].tags[0].rotation[3], 1.0f);
    EXPECT_FLOAT_EQ(m.frames[1].tags[0].origin[0], 1.5f);
    // Half a turn round z: trace -1, the z branch gives (0, 0, 1, 0); long axes change nothing.
    const float half[4] = {0, 0, 1, 0};
    for (int k = 0; k < 4; k++)
    {
        EXPECT_FLOAT_EQ(m.frames[1].tags[0].rotation[k], half[k]);
        EXPECT_NEAR(m.frames[1].tags[1].rotation[k], half[k], 1e-6) << k;
        EXPECT_NEAR(m.frames[0].tags[1].rotation[k], k == 3, 1e-6) << k;
    }
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
            EXPECT_TRUE(IsEmpty(m)) << at << " = " << value;
            EXPECT_EQ(m.loadError, reason) << at << " = " << value;
        }
    EXPECT_NE(log.Debug().find("cMd3:: test.md3 : surface 0 vertices overlaps surface 1 vertices"),
              std::string::npos);
    EXPECT_NE(log.Debug().find("cMd3:: test.md3 : surface 0 has records past end of file"),
              std::string::npos);

    // Every cut of the file; an empty view is refused before the model is touched.
    for (size_t cut = 1; cut < good.size(); cut++)
    {
        cMd3 m;
        ASSERT_TRUE(LoadBytes(m, good));
        EXPECT_FALSE(LoadBytes(m, std::vector<unsigned char>(good.begin(), good.begin() + cut))) << cut;
        EXPECT_TRUE(IsEmpty(m)) << cut;
    }

    Md3Builder b = GoodModel();
    b.GetTag(1, 0).name = std::string(64, 't');
    cMd3 m;
    EXPECT_FALSE(LoadBytes(m, b.Build()));
    EXPECT_NE(log.Debug().find("tag 0 has an unterminated name"), std::string::npos);

    EXPECT_NE(log.Debug().find("cMd3:: this : test.md3 file is not a valid md3 file"), std::string::npos);
    EXPECT_NE(log.Debug().find("cMd3:: this : test.md3 file has a wrong version"), std::string::npos);

    LogCapture quiet;
    memfile_t empty;
    EXPECT_FALSE(m.LoadFromFile(empty));
    EXPECT_EQ(quiet.Debug(), "");
}

TEST(Md3Load, NamesShaderSlotsTagsAndOddButSoundFiles)
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
    EXPECT_EQ(m.name, std::string(63, 'n'));
    const sMd3Surface& s = m.surfaces[0];
    EXPECT_EQ(std::string(s.name), std::string(63, 's'));
    EXPECT_EQ(std::string(s.shaders[0].name), "m" + std::string(62, 'x'));
    EXPECT_EQ(std::string(s.fileShader.name), "X" + std::string(62, 'x'));
    // Ten in the file: the surface loads, seven names are taken, the count is kept.
    EXPECT_EQ(s.numShaders, 10u);
    EXPECT_STREQ(s.shaders[1].name, "mb");
    EXPECT_STREQ(s.shaders[6].name, "m");
    EXPECT_STREQ(s.shaders[7].name, "");

    // Attaching matches every tag of the name, ignoring case.
    m.AttachToTag("Tag_Flash", &child);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{&child, nullptr, &child}));
    m.AttachToTag("tag_flash", nullptr);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{nullptr, nullptr, nullptr}));

    // Odd but sound files load. Without tags: loaded, but not counted as loaded.
    Md3Builder noTags(1);
    noTags.AddSurface("s", MD3_MAX_VERTS).triangles = {0, 1, MD3_MAX_VERTS - 1};
    EXPECT_TRUE(LoadBytes(m, noTags.Build()));
    EXPECT_FALSE(m.IsLoaded());

    // Tags only (weapon hands) and a surface without vertices.
    Md3Builder hand(3);
    hand.AddTag("tag_weapon");
    hand.AddSurface("empty", 0);
    EXPECT_TRUE(LoadBytes(m, hand.Build()));
    EXPECT_EQ(m.numFrames, 3u);

    // A surface's own frame count is ignored; the header's rules.
    Md3Builder::Layout layout;
    std::vector<unsigned char> bytes = GoodModel().Build(&layout);
    Put32(bytes, layout.surfaces[0] + 72, 99);
    EXPECT_TRUE(LoadBytes(m, bytes));
    EXPECT_EQ(m.surfaces[0].xyz.size(), 2u * 3 * 3);
}
