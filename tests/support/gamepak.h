// Game archives for the viewer's tests: players and weapons whose models are boxes of one solid
// colour each, so that a screenshot tells which model and skin are drawn.
#pragma once

#include "support/imagebuild.h"
#include "support/md3builder.h"
#include "support/zipbuilder.h"

#include <sstream>
#include <utility>

struct sGameColor
{
    unsigned char r, g, b;
};

// An MD3 of one box surface {lo x, y, z, hi x, y, z} (z up) in every frame, tags at the origins.
inline Bytes GameBoxMd3(const char* surface, const std::string& shader, const float (&box)[6],
                        const std::vector<std::pair<const char*, std::vector<float>>>& tags, int frames)
{
    Md3Builder b(frames);
    for (const auto& tag : tags)
    {
        b.AddTag(tag.first);
        for (auto& frame : b.tags)
            std::copy(tag.second.begin(), tag.second.end(), frame.back().origin);
    }
    Md3Builder::Surface& s = b.AddSurface(surface, 8, shader);
    // Corner v % 8 takes the high side of axis k when bit k is set; MD3 stores 1/64 units.
    for (size_t v = 0; v < s.verts.size(); v++)
        s.verts[v] = {int16_t(box[v & 1 ? 3 : 0] * 64), int16_t(box[v & 2 ? 4 : 1] * 64),
                      int16_t(box[v & 4 ? 5 : 2] * 64)};
    s.st.assign(16, 0.5f);
    s.triangles = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                   2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
    return b.Build();
}

// An 8 x 8 uncompressed 24-bit TGA of one colour.
inline Bytes SolidTga(sGameColor c)
{
    Bytes body;
    while (body.size() < 64 * 3)
        body.insert(body.end(), {c.b, c.g, c.r});
    return BuildTga(2, 24, 8, 8, 0, body);
}

// models/players/<name>/: boxes joined at their tags, animation.cfg, skins (one texture each).
inline void AddGamePlayer(ZipBuilder& zip, const std::string& name, sGameColor color,
                          const std::vector<std::pair<std::string, sGameColor>>& extraSkins = {})
{
    const std::string dir = "models/players/" + name + "/", shader = dir + "skin.tga";
    zip.AddDir(dir);
    zip.AddFile(dir + "lower.md3",
                GameBoxMd3("l_legs", shader, {-5, -5, -22, 5, 5, 0}, {{"tag_torso", {}}}, 3), true);
    zip.AddFile(dir + "upper.md3",
                GameBoxMd3("u_torso", shader, {-8, -6, 0, 8, 6, 16},
                           {{"tag_head", {0, 0, 17}}, {"tag_weapon", {0, -9, 8}}}, 3),
                true);
    zip.AddFile(dir + "head.md3", GameBoxMd3("h_head", shader, {-4, -4, 0, 4, 4, 8}, {}, 1), true);
    std::istringstream anims(
        "BOTH_DEATH1 BOTH_DEAD1 BOTH_DEATH2 BOTH_DEAD2 BOTH_DEATH3 BOTH_DEAD3 TORSO_GESTURE "
        "TORSO_ATTACK TORSO_ATTACK2 TORSO_DROP TORSO_RAISE TORSO_STAND TORSO_STAND2 LEGS_WALKCR "
        "LEGS_WALK LEGS_RUN LEGS_BACK LEGS_SWIM LEGS_JUMP LEGS_LAND LEGS_JUMPB LEGS_LANDB "
        "LEGS_IDLE LEGS_IDLECR LEGS_TURN");
    std::string cfg = "sex m\n", anim;
    while (anims >> anim)
        cfg += "0\t2\t0\t10\t\t// " + anim + "\n";
    zip.AddFile(dir + "animation.cfg", cfg, true);
    std::vector<std::pair<std::string, sGameColor>> skins = {{"default", color}};
    skins.insert(skins.end(), extraSkins.begin(), extraSkins.end());
    for (const auto& [skin, c] : skins)
    {
        const std::string tex = skin == "default" ? shader : dir + skin + ".tga";
        zip.AddFile(tex, SolidTga(c), true);
        zip.AddFile(dir + "head_" + skin + ".skin", "h_head," + tex + "\n");
        zip.AddFile(dir + "lower_" + skin + ".skin", "l_legs," + tex + "\n");
        zip.AddFile(dir + "upper_" + skin + ".skin", "u_torso," + tex + "\ntag_head,\ntag_weapon,\n");
    }
}

// models/weapons2/<name>/: a long box with a barrel and a muzzle flash on its tags.
inline void AddGameWeapon(ZipBuilder& zip, const std::string& name, sGameColor color)
{
    const std::string dir = "models/weapons2/" + name + "/", shader = dir + name + ".tga";
    zip.AddDir(dir);
    zip.AddFile(dir + name + ".md3",
                GameBoxMd3("w_main", shader, {-2, -2, -2, 20, 2, 2},
                           {{"tag_barrel", {20, 0, 0}}, {"tag_flash", {30, 0, 0}}}, 1),
                true);
    zip.AddFile(dir + name + "_barrel.md3", GameBoxMd3("w_barrel", shader, {0, -1, -1, 10, 1, 1}, {}, 1),
                true);
    zip.AddFile(dir + name + "_flash.md3", GameBoxMd3("w_flash", shader, {0, -2, -2, 3, 2, 2}, {}, 1), true);
    zip.AddFile(shader, SolidTga(color), true);
}

// The archive of the end-to-end tests: a file and a folder of textures only, two players (alpha
// blue with a skin "red" in orange, beta magenta through a script shader), gunA cyan, gunB yellow.
inline Bytes BuildGamePak()
{
    ZipBuilder zip;
    zip.AddDir("models/");
    zip.AddDir("models/players/");
    zip.AddFile("models/players/readme.txt", "not a model\n"); // no folder, so no model
    zip.AddDir("models/players/empty/");
    zip.AddFile("models/players/empty/skin.tga", SolidTga({128, 128, 128}), true);
    AddGamePlayer(zip, "alpha", {0, 0, 255}, {{"red", {255, 128, 0}}});
    AddGamePlayer(zip, "beta", {255, 0, 255});
    zip.AddDir("models/weapons2/");
    AddGameWeapon(zip, "gunA", {0, 255, 255});
    AddGameWeapon(zip, "gunB", {255, 255, 0});
    zip.AddDir("scripts/");
    zip.AddFile("scripts/models.shader",
                "models/players/beta/skin\n{\n\t{\n\t\tmap models/players/beta/skin.tga\n\t\trgbGen "
                "identity\n\t}\n}\n",
                true);
    return zip.Build();
}
