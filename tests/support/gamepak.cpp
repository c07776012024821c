// Writes the box models, skins, animation files and textures of the viewer's test archives.
#include "support/gamepak.h"

#include "support/md3builder.h"

#include <cstring>

namespace
{
struct sTagSpec
{
    const char* name;
    float x, y, z;
};

// An MD3 holding one box surface (game units, z up) in every frame, and the given tags.
std::vector<unsigned char> BoxMd3(const char* surface, const std::string& shader, const float lo[3],
                                  const float hi[3], const std::vector<sTagSpec>& tags, int frames)
{
    Md3Builder b(frames);
    for (const sTagSpec& t : tags)
        b.AddTag(t.name);
    for (int f = 0; f < frames; ++f)
        for (size_t t = 0; t < tags.size(); ++t)
        {
            Md3Builder::Tag& tag = b.GetTag(f, static_cast<int>(t));
            tag.origin[0] = tags[t].x;
            tag.origin[1] = tags[t].y;
            tag.origin[2] = tags[t].z;
        }
    Md3Builder::Surface& s = b.AddSurface(surface, 8, shader);
    for (int f = 0; f < frames; ++f)
        for (int v = 0; v < 8; ++v)
        {
            // Corner v takes the high side of axis k when bit k is set; MD3 stores 1/64 units.
            Md3Builder::Vert& vert = s.Vertex(f, v);
            vert.x = static_cast<int16_t>(((v & 1) ? hi[0] : lo[0]) * 64);
            vert.y = static_cast<int16_t>(((v & 2) ? hi[1] : lo[1]) * 64);
            vert.z = static_cast<int16_t>(((v & 4) ? hi[2] : lo[2]) * 64);
        }
    for (float& st : s.st)
        st = 0.5f;
    // Two triangles for each of the six faces.
    s.triangles = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                   2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
    return b.Build();
}

std::string AnimationCfg()
{
    static const char* names[25] = {
        "BOTH_DEATH1", "BOTH_DEAD1",    "BOTH_DEATH2",  "BOTH_DEAD2",    "BOTH_DEATH3",
        "BOTH_DEAD3",  "TORSO_GESTURE", "TORSO_ATTACK", "TORSO_ATTACK2", "TORSO_DROP",
        "TORSO_RAISE", "TORSO_STAND",   "TORSO_STAND2", "LEGS_WALKCR",   "LEGS_WALK",
        "LEGS_RUN",    "LEGS_BACK",     "LEGS_SWIM",    "LEGS_JUMP",     "LEGS_LAND",
        "LEGS_JUMPB",  "LEGS_LANDB",    "LEGS_IDLE",    "LEGS_IDLECR",   "LEGS_TURN"};
    std::string text = "// animation config file\n\nsex m\n\n";
    for (const char* name : names)
        text += std::string("0\t2\t0\t10\t\t// ") + name + "\n";
    return text;
}

std::string SkinFile(const std::string& surface, const std::string& shader)
{
    std::string text = surface + "," + shader + "\n";
    if (surface == "u_torso")
        text += "tag_head,\ntag_weapon,\n";
    return text;
}

void AddSkinFiles(ZipBuilder& zip, const std::string& dir, const std::string& skin, const std::string& shader)
{
    zip.AddFile(dir + "head_" + skin + ".skin", SkinFile("h_head", shader));
    zip.AddFile(dir + "lower_" + skin + ".skin", SkinFile("l_legs", shader));
    zip.AddFile(dir + "upper_" + skin + ".skin", SkinFile("u_torso", shader));
}

const char* MODELS_SHADER = "// shaders of the test models\n"
                            "models/players/beta/skin\n"
                            "{\n"
                            "\t{\n"
                            "\t\tmap models/players/beta/skin.tga\n"
                            "\t\trgbGen identity\n"
                            "\t}\n"
                            "}\n";
} // namespace

std::vector<unsigned char> SolidTga(sGameColor c)
{
    std::vector<unsigned char> tga(18, 0);
    tga[2] = 2;
    tga[12] = 8;
    tga[14] = 8;
    tga[16] = 24;
    for (int i = 0; i < 64; ++i)
    {
        tga.push_back(c.b);
        tga.push_back(c.g);
        tga.push_back(c.r);
    }
    return tga;
}

void AddGamePlayer(ZipBuilder& zip, const std::string& name, sGameColor color,
                   const std::vector<std::pair<std::string, sGameColor>>& extraSkins)
{
    const std::string dir = "models/players/" + name + "/";
    const std::string shader = dir + "skin.tga";
    zip.AddDir(dir);
    const float lowerLo[3] = {-5, -5, -22}, lowerHi[3] = {5, 5, 0};
    const float upperLo[3] = {-8, -6, 0}, upperHi[3] = {8, 6, 16};
    const float headLo[3] = {-4, -4, 0}, headHi[3] = {4, 4, 8};
    // Three frames, so that the two-frame animations are not cut short at the part's end.
    zip.AddFile(dir + "lower.md3", BoxMd3("l_legs", shader, lowerLo, lowerHi, {{"tag_torso", 0, 0, 0}}, 3),
                true);
    zip.AddFile(
        dir + "upper.md3",
        BoxMd3("u_torso", shader, upperLo, upperHi, {{"tag_head", 0, 0, 17}, {"tag_weapon", 0, -9, 8}}, 3),
        true);
    zip.AddFile(dir + "head.md3", BoxMd3("h_head", shader, headLo, headHi, {}, 1), true);
    zip.AddFile(dir + "animation.cfg", AnimationCfg(), true);
    zip.AddFile(dir + "skin.tga", SolidTga(color), true);
    AddSkinFiles(zip, dir, "default", shader);
    for (const auto& skin : extraSkins)
    {
        const std::string texture = dir + skin.first + ".tga";
        zip.AddFile(texture, SolidTga(skin.second), true);
        AddSkinFiles(zip, dir, skin.first, texture);
    }
}

void AddGameWeapon(ZipBuilder& zip, const std::string& name, sGameColor color)
{
    const std::string dir = "models/weapons2/" + name + "/";
    const std::string shader = dir + name + ".tga";
    zip.AddDir(dir);
    const float mainLo[3] = {-2, -2, -2}, mainHi[3] = {20, 2, 2};
    const float barrelLo[3] = {0, -1, -1}, barrelHi[3] = {10, 1, 1};
    const float flashLo[3] = {0, -2, -2}, flashHi[3] = {3, 2, 2};
    zip.AddFile(
        dir + name + ".md3",
        BoxMd3("w_main", shader, mainLo, mainHi, {{"tag_barrel", 20, 0, 0}, {"tag_flash", 30, 0, 0}}, 1),
        true);
    zip.AddFile(dir + name + "_barrel.md3", BoxMd3("w_barrel", shader, barrelLo, barrelHi, {}, 1), true);
    zip.AddFile(dir + name + "_flash.md3", BoxMd3("w_flash", shader, flashLo, flashHi, {}, 1), true);
    zip.AddFile(shader, SolidTga(color), true);
}

std::vector<unsigned char> BuildGamePak()
{
    ZipBuilder zip;
    zip.AddDir("models/");
    zip.AddDir("models/players/");
    // A file lying directly in the players folder is not a model.
    zip.AddFile("models/players/readme.txt", std::string("not a model\n"));
    // A folder of textures only, listed first: the viewer starts on the first player that loads.
    zip.AddDir("models/players/empty/");
    zip.AddFile("models/players/empty/skin.tga", SolidTga({128, 128, 128}), true);
    AddGamePlayer(zip, "alpha", {0, 0, 255}, {{"red", {255, 128, 0}}});
    AddGamePlayer(zip, "beta", {255, 0, 255});
    zip.AddDir("models/weapons2/");
    AddGameWeapon(zip, "gunA", {0, 255, 255});
    AddGameWeapon(zip, "gunB", {255, 255, 0});
    zip.AddDir("scripts/");
    zip.AddFile("scripts/models.shader", std::string(MODELS_SHADER), true);
    return zip.Build();
}

std::vector<unsigned char> SharedBlockMd3(const std::string& shader)
{
    Md3Builder b(3);
    b.AddTag("tag_torso");
    for (int s = 0; s < 3; s++)
        b.AddSurface("l_legs" + std::to_string(s), 3, shader).triangles = {0, 1, 2};
    Md3Builder::Layout layout;
    std::vector<unsigned char> bytes = b.Build(&layout);
    uint32_t target;
    memcpy(&target, &bytes[layout.surfaces.back() + SURF_OFS_OFS_XYZ], 4);
    target += layout.surfaces.back();
    for (uint32_t start : layout.surfaces)
        Put32(bytes, start + SURF_OFS_OFS_XYZ, target - start);
    return bytes;
}

void AddCostlyPlayer(ZipBuilder& zip, const std::string& name, eCostlyPlayer kind)
{
    const std::string dir = "models/players/" + name + "/";
    AddGamePlayer(zip, name, {255, 0, 0});
    Md3Builder many(2);
    many.AddTag("tag_torso");
    Md3Builder::Surface& s = many.AddSurface("l_legs", 3000, dir + "skin.tga");
    for (int v = 0; v + 2 < s.numVerts; v += 3)
        s.triangles.insert(s.triangles.end(), {v, v + 1, v + 2});
    for (ZipBuilder::Member& m : zip.members)
        if (kind == COSTLY_HUGE_JPEG && m.name == dir + "skin.tga") // the library then takes skin.jpg
        {
            m.name = dir + "skin.jpg";
            m.data = ClaimingJpegFile(65500, 65500);
        }
        else if (kind != COSTLY_HUGE_JPEG && m.name == dir + "lower.md3")
            m.data = kind == COSTLY_SHARED_BLOCK ? SharedBlockMd3(dir + "skin.tga") : many.Build();
}
