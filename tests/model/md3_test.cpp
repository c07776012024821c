// The MD3 loader on files written by the builder: decoding, refusals of broken files, tags.
#include "fs/memfile.h"
#include "model/md3.h"
#include "support/md3builder.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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

// Two frames, one tag, one surface with a triangle: every field decoding has a visible value.
Md3Builder GoodModel()
{
    Md3Builder b(2);
    b.name = "inside_name";
    b.AddTag("tag_head");
    Md3Builder::Tag& t = b.GetTag(1, 0);
    t.origin[0] = 1.5f;
    t.origin[2] = -2;
    float turned[3][3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}};
    memcpy(t.axis, turned, sizeof turned);
    Md3Builder::Surface& s = b.AddSurface("l_legs", 3, "Models/players/x/legs.tga");
    s.triangles = {0, 1, 2};
    s.st = {0.25f, 0.25f, 1, 0, 0, 1};
    s.Vertex(0, 0) = {64, -32768, 32767, 0, 0};
    s.Vertex(1, 2) = {-64, 32, 0, 64, 0};
    return b;
}
} // namespace

TEST(Md3Load, DecodesEveryField)
{
    cMd3 m;
    ASSERT_TRUE(LoadBytes(m, GoodModel().Build()));
    EXPECT_TRUE(m.IsLoaded());
    EXPECT_EQ(m.name, "inside_name");
    EXPECT_EQ(m.numFrames, 2u);
    EXPECT_EQ(m.numTags, 1u);
    ASSERT_EQ(m.numSurfaces, 1u);
    ASSERT_EQ(m.links.size(), 1u);
    EXPECT_EQ(m.links[0], nullptr);
    EXPECT_EQ(m.skinIndex, 0u);

    const sMd3Surface& s = m.surfaces[0];
    EXPECT_STREQ(s.name, "l_legs");
    EXPECT_EQ(s.numVerts, 3u);
    EXPECT_EQ(s.numIndices, 3u);
    EXPECT_EQ(s.numShaders, 1u);
    // Only the first character is replaced, whatever it was.
    EXPECT_STREQ(s.shaders[0].name, "models/players/x/legs.tga");
    EXPECT_STREQ(s.shaders[1].name, "");
    // Winding reversed, t flipped.
    EXPECT_EQ(s.indices, (std::vector<uint32_t>{2, 1, 0}));
    EXPECT_FLOAT_EQ(s.st[0], 0.25f);
    EXPECT_FLOAT_EQ(s.st[1], 0.75f);
    EXPECT_FLOAT_EQ(s.st[3], 1.0f);
    // Positions in 1/64 units, frame by frame.
    EXPECT_FLOAT_EQ(s.xyz[0], 1.0f);
    EXPECT_FLOAT_EQ(s.xyz[1], -512.0f);
    EXPECT_FLOAT_EQ(s.xyz[2], 32767 / 64.0f);
    EXPECT_FLOAT_EQ(s.xyz[(3 + 2) * 3 + 0], -1.0f);
    EXPECT_FLOAT_EQ(s.xyz[(3 + 2) * 3 + 1], 0.5f);
    // Normals from the angle table; the step is 2 pi / 255.
    EXPECT_FLOAT_EQ(s.normals[0], 0.0f);
    EXPECT_FLOAT_EQ(s.normals[1], 0.0f);
    EXPECT_FLOAT_EQ(s.normals[2], 1.0f);
    const double a = 64 * 3.1415927f * (2.0 / 255.0);
    EXPECT_NEAR(s.normals[(3 + 2) * 3 + 0], sin(a), 1e-6);
    EXPECT_NEAR(s.normals[(3 + 2) * 3 + 1], 0.0, 1e-6);
    EXPECT_NEAR(s.normals[(3 + 2) * 3 + 2], cos(a), 1e-6);

    const sMd3Tag& t0 = m.frames[0].tags[0];
    EXPECT_STREQ(t0.name, "tag_head");
    EXPECT_FLOAT_EQ(t0.rotation[3], 1.0f);
    const sMd3Tag& t1 = m.frames[1].tags[0];
    EXPECT_FLOAT_EQ(t1.origin[0], 1.5f);
    EXPECT_FLOAT_EQ(t1.origin[2], -2.0f);
    // Turned half round z: the trace is -1 and the z branch gives (0, 0, 1, 0).
    EXPECT_FLOAT_EQ(t1.rotation[0], 0.0f);
    EXPECT_FLOAT_EQ(t1.rotation[1], 0.0f);
    EXPECT_FLOAT_EQ(t1.rotation[2], 1.0f);
    EXPECT_FLOAT_EQ(t1.rotation[3], 0.0f);
}

TEST(Md3Load, WrongIdentOrVersionIsRefusedWithItsMessage)
{
    LogCapture log;
    std::vector<unsigned char> bytes = GoodModel().Build();
    cMd3 m;
    bytes[0] = 'X';
    EXPECT_FALSE(LoadBytes(m, bytes));
    EXPECT_NE(log.Debug().find("cMd3:: this : test.md3 file is not a valid md3 file"), std::string::npos);
    bytes[0] = 'I';
    for (uint32_t version : {14u, 16u})
    {
        Put32(bytes, MD3_OFS_VERSION, version);
        EXPECT_FALSE(LoadBytes(m, bytes));
        EXPECT_TRUE(IsEmpty(m));
    }
    EXPECT_NE(log.Debug().find("cMd3:: this : test.md3 file has a wrong version"), std::string::npos);
}

TEST(Md3Load, EveryTruncationIsRefusedAndLeavesTheModelEmpty)
{
    LogCapture log;
    std::vector<unsigned char> bytes = GoodModel().Build();
    for (size_t cut = 0; cut < bytes.size(); cut++)
    {
        cMd3 m;
        ASSERT_TRUE(LoadBytes(m, GoodModel().Build()));
        std::vector<unsigned char> part(bytes.begin(), bytes.begin() + cut);
        memfile_t view(part.data(), static_cast<uint32_t>(cut), "cut.md3", false);
        EXPECT_FALSE(m.LoadFromFile(view)) << "cut at " << cut;
        // An empty view is refused before the model is touched.
        if (cut > 0)
        {
            EXPECT_TRUE(IsEmpty(m)) << "cut at " << cut;
        }
    }
}

struct sPatch
{
    const char* what;
    int surface; // -1: file header field
    uint32_t offset;
    uint32_t value;
};

class Md3Refuses : public testing::TestWithParam<sPatch>
{
};

TEST_P(Md3Refuses, BrokenCountOrOffset)
{
    LogCapture log;
    Md3Builder::Layout layout;
    std::vector<unsigned char> bytes = GoodModel().Build(&layout);
    const sPatch& p = GetParam();
    uint32_t base = p.surface < 0 ? 0 : layout.surfaces[p.surface];
    Put32(bytes, base + p.offset, p.value);
    cMd3 m;
    EXPECT_FALSE(LoadBytes(m, bytes));
    EXPECT_TRUE(IsEmpty(m));
    EXPECT_NE(log.Debug().find("cMd3:: test.md3 : "), std::string::npos) << log.Debug();
}

INSTANTIATE_TEST_SUITE_P(Md3, Md3Refuses,
                         testing::Values(sPatch{"negative frames", -1, MD3_OFS_NUM_FRAMES, 0xFFFFFFFFu},
                                         sPatch{"huge frames", -1, MD3_OFS_NUM_FRAMES, 0x7FFFFFFFu},
                                         sPatch{"frames past the vertices", -1, MD3_OFS_NUM_FRAMES, 3},
                                         sPatch{"negative tags", -1, MD3_OFS_NUM_TAGS, 0x80000000u},
                                         sPatch{"tags past end", -1, MD3_OFS_NUM_TAGS, 500},
                                         sPatch{"negative surfaces", -1, MD3_OFS_NUM_SURFACES, 0xFFFFFFFEu},
                                         sPatch{"huge surfaces", -1, MD3_OFS_NUM_SURFACES, 0x10000000u},
                                         sPatch{"tags outside", -1, MD3_OFS_OFS_TAGS, 0x7FFFFFF0u},
                                         sPatch{"tags negative", -1, MD3_OFS_OFS_TAGS, 0xFFFFFF00u},
                                         sPatch{"surfaces outside", -1, MD3_OFS_OFS_SURFACES, 100000},
                                         sPatch{"end offset 0", 0, SURF_OFS_OFS_END, 0},
                                         sPatch{"end offset outside", 0, SURF_OFS_OFS_END, 100000},
                                         sPatch{"negative shaders", 0, SURF_OFS_NUM_SHADERS, 0xFFFFFFFFu},
                                         sPatch{"nine shaders", 0, SURF_OFS_NUM_SHADERS, 9},
                                         sPatch{"negative vertices", 0, SURF_OFS_NUM_VERTS, 0xFFFFFFFFu},
                                         sPatch{"vertices over the limit", 0, SURF_OFS_NUM_VERTS, 4097},
                                         sPatch{"huge triangles", 0, SURF_OFS_NUM_TRIANGLES, 0x40000000u},
                                         sPatch{"triangles outside", 0, SURF_OFS_OFS_TRIANGLES, 0x7FFFFFFFu},
                                         sPatch{"shaders before the file", 0, SURF_OFS_OFS_SHADERS,
                                                0xFFFF0000u},
                                         sPatch{"st outside", 0, SURF_OFS_OFS_ST, 5000},
                                         sPatch{"vertices outside", 0, SURF_OFS_OFS_XYZ, 5000}),
                         [](const testing::TestParamInfo<sPatch>& info)
                         {
                             std::string n = info.param.what;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

TEST(Md3Load, TriangleIndexOutsideTheSurfaceIsRefused)
{
    LogCapture log;
    for (int32_t bad : {3, -1})
    {
        Md3Builder b = GoodModel();
        b.surfaces[0].triangles = {0, bad, 2};
        cMd3 m;
        EXPECT_FALSE(LoadBytes(m, b.Build()));
        EXPECT_TRUE(IsEmpty(m));
    }
}

TEST(Md3Load, TagNameWithoutTerminatorIsRefused)
{
    LogCapture log;
    Md3Builder b = GoodModel();
    b.GetTag(1, 0).name = std::string(64, 't');
    cMd3 m;
    EXPECT_FALSE(LoadBytes(m, b.Build()));
    EXPECT_NE(log.Debug().find("unterminated"), std::string::npos);
}

TEST(Md3Load, LongNamesAreCutToTheirFields)
{
    Md3Builder b = GoodModel();
    b.name = std::string(64, 'n');
    b.surfaces[0].name = std::string(64, 's');
    b.surfaces[0].shaders[0] = "X" + std::string(63, 'x');
    cMd3 m;
    ASSERT_TRUE(LoadBytes(m, b.Build()));
    EXPECT_EQ(m.name, std::string(63, 'n'));
    EXPECT_EQ(std::string(m.surfaces[0].name), std::string(63, 's'));
    EXPECT_EQ(std::string(m.surfaces[0].shaders[0].name), "m" + std::string(62, 'x'));
}

TEST(Md3Load, AtMostSevenShaderNamesAreTakenFromTheFile)
{
    Md3Builder b = GoodModel();
    b.surfaces[0].shaders = {"xmodels/a", "Mb", "c", "d", "e", "f", "g", "h"};
    cMd3 m;
    ASSERT_TRUE(LoadBytes(m, b.Build()));
    const sMd3Surface& s = m.surfaces[0];
    EXPECT_EQ(s.numShaders, 8u);
    EXPECT_STREQ(s.shaders[0].name, "mmodels/a");
    EXPECT_STREQ(s.shaders[1].name, "mb");
    EXPECT_STREQ(s.shaders[6].name, "m");
    EXPECT_STREQ(s.shaders[7].name, "");
}

TEST(Md3Load, VertexLimitIsInclusive)
{
    LogCapture log;
    Md3Builder b(1);
    b.AddTag("tag_x");
    b.AddSurface("big", MD3_MAX_VERTS).triangles = {0, 1, MD3_MAX_VERTS - 1};
    cMd3 m;
    EXPECT_TRUE(LoadBytes(m, b.Build()));
    b.AddSurface("too_big", MD3_MAX_VERTS + 1);
    EXPECT_FALSE(LoadBytes(m, b.Build()));
}

TEST(Md3Load, OddButSoundFilesLoad)
{
    // Without tags: loaded, but not counted as loaded.
    Md3Builder noTags(1);
    noTags.AddSurface("s", 3).triangles = {0, 1, 2};
    cMd3 m;
    EXPECT_TRUE(LoadBytes(m, noTags.Build()));
    EXPECT_FALSE(m.IsLoaded());

    // Tags only (weapon hands) and a surface without vertices.
    Md3Builder hand(3);
    hand.AddTag("tag_weapon");
    hand.AddSurface("empty", 0);
    EXPECT_TRUE(LoadBytes(m, hand.Build()));
    EXPECT_EQ(m.numFrames, 3u);
    EXPECT_EQ(m.surfaces[0].numVerts, 0u);

    // A surface's own frame count is ignored; the header's rules.
    Md3Builder::Layout layout;
    std::vector<unsigned char> bytes = GoodModel().Build(&layout);
    Put32(bytes, layout.surfaces[0] + 72, 99);
    EXPECT_TRUE(LoadBytes(m, bytes));
    EXPECT_EQ(m.surfaces[0].xyz.size(), 2u * 3 * 3);

    // An empty view is refused without a message.
    LogCapture log;
    memfile_t empty;
    EXPECT_FALSE(m.LoadFromFile(empty));
    EXPECT_EQ(log.Debug(), "");
}

TEST(Md3Load, LongTagAxesGiveTheSameRotationAsUnitOnes)
{
    // A quarter turn about z, once with unit axes and once with axes 4.6 long.
    Md3Builder b(1);
    b.AddTag("tag_unit");
    b.AddTag("tag_long");
    float quarter[3][3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};
    for (int r = 0; r < 3; r++)
        for (int k = 0; k < 3; k++)
        {
            b.GetTag(0, 0).axis[r][k] = quarter[r][k];
            b.GetTag(0, 1).axis[r][k] = quarter[r][k] * 4.6f;
        }
    cMd3 m;
    ASSERT_TRUE(LoadBytes(m, b.Build()));
    const float* unit = m.frames[0].tags[0].rotation;
    const float* longer = m.frames[0].tags[1].rotation;
    const float h = sqrtf(0.5f);
    EXPECT_NEAR(unit[2], -h, 1e-6); // rows are the axes: the conjugate of the column rotation
    EXPECT_NEAR(unit[3], h, 1e-6);
    for (int k = 0; k < 4; k++)
        EXPECT_NEAR(longer[k], unit[k], 1e-6) << k;
}

TEST(Md3Load, AttachToTagMatchesEveryTagIgnoringCase)
{
    Md3Builder b(1);
    b.AddTag("tag_flash");
    b.AddTag("tag_barrel");
    b.AddTag("TAG_FLASH");
    cMd3 m, child;
    ASSERT_TRUE(LoadBytes(m, b.Build()));
    m.AttachToTag("Tag_Flash", &child);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{&child, nullptr, &child}));
    m.AttachToTag("tag_flash", nullptr);
    EXPECT_EQ(m.links, (std::vector<cMd3*>{nullptr, nullptr, nullptr}));
    m.Clear();
    EXPECT_TRUE(IsEmpty(m));
    m.AttachToTag("tag_flash", &child); // nothing to attach to, and no crash
}
