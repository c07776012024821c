// Writes a game folder whose archive mixes broken players, weapons, skins, animation files,
// textures and shader scripts with good ones, for the end-to-end test of hostile input:
//   make_hostile_gamedata <folder>      writes <folder>/baseq3/pak0.pk3
#include "support/gamepak.h"
#include "support/md3builder.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
// The member called name, which the good player or weapon added.
ZipBuilder::Member& MemberOf(ZipBuilder& zip, const std::string& name)
{
    for (ZipBuilder::Member& m : zip.members)
        if (m.name == name)
            return m;
    fprintf(stderr, "make_hostile_gamedata: no member %s\n", name.c_str());
    exit(1);
}

void Replace(ZipBuilder& zip, const std::string& name, const std::vector<unsigned char>& bytes)
{
    MemberOf(zip, name).data = bytes;
}

void Replace(ZipBuilder& zip, const std::string& name, const std::string& text)
{
    Replace(zip, name, std::vector<unsigned char>(text.begin(), text.end()));
}

std::vector<unsigned char> Cut(std::vector<unsigned char> bytes, size_t size)
{
    bytes.resize(size < bytes.size() ? size : bytes.size());
    return bytes;
}

// A model whose triangle names vertices it does not have, and one whose counts overflow.
std::vector<unsigned char> BadIndexMd3()
{
    Md3Builder b(1);
    Md3Builder::Surface& s = b.AddSurface("l_legs", 3, "models/players/badmd3/skin.tga");
    s.triangles = {0, 1, 70000};
    return b.Build();
}

std::vector<unsigned char> HugeCountMd3()
{
    Md3Builder b(2);
    b.AddTag("tag_torso");
    b.AddSurface("u_torso", 3, "x").triangles = {0, 1, 2};
    std::vector<unsigned char> bytes = b.Build();
    Put32(bytes, MD3_OFS_NUM_FRAMES, 0x7fffffff);
    Put32(bytes, MD3_OFS_NUM_TAGS, 0x40000000);
    return bytes;
}

const char* BAD_ANIM = "sex m\n"
                       "2147483647 2147483647 -5 0 // BOTH_DEATH1\n"
                       "-2147483648 -1 -1 -1 // BOTH_DEAD1\n"
                       "99999999999999999999 3 3 3 // BOTH_DEATH2\n"
                       "0 0 0 0 // TORSO_GESTURE\n"
                       "-100 5 0 1000000 // LEGS_WALKCR\n"
                       "5 -2147483648 0 10 // LEGS_IDLE\n"
                       "7 7 7 7 // TORSO_STAND\n";

// Skin files: lines without commas or surfaces, overlong names, bytes that are not text.
std::string BadSkin(const std::string& surface)
{
    std::string text =
        "no comma at all\n,\n" + surface + ",\n" + surface + "," + std::string(3000, 's') + "\n";
    text += std::string(2000, 'x') + "," + std::string(300, 'y') + "\n";
    for (int i = 0; i < 12; i++)
        text += surface + ",models/players/badskin/s" + std::to_string(i) + ".tga\n";
    text += std::string("\0\xff\xfe,\x01\n", 6);
    return text;
}

const char* HOSTILE_SHADER =
    "// broken blocks before and after good ones\n"
    "}\n}\n{\n"
    "models/players/badtex/skin\n{\n\t{\n\t\tmap models/players/badtex/cut.tga\n"
    "\t\ttcMod scroll 1e30 -1e30\n\t\ttcMod rotate nan\n\t\trgbGen wave sin 0 1 0 1e38\n"
    "\t}\n\t{\n\t\tanimMap 0 a.tga b.tga c.tga d.tga e.tga f.tga g.tga h.tga i.tga\n\t}\n"
    "\t{\n\t\tmap models/players/badtex/huge.tga\n\t\tblendFunc GL_BAD GL_WORSE\n"
    "\t}\n\t{\n\t\tmap models/players/badtex/bad.jpg\n\t\tdeformVertexes wave\n\t}\n"
    "\t{\n\t\tclampMap\n\t\ttcMod\n\t\trgbGen wave\n\t\talphaFunc\n\t}\n}\n"
    "models/players/beta/skin\n{\n\t{\n\t\tmap models/players/beta/skin.tga\n"
    "\t\trgbGen identity\n\t}\n}\n"
    "models/unclosed\n{\n\t{\n\t\tmap x.tga\n{\n{\n{\n";
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf(stderr, "usage: make_hostile_gamedata <folder>\n");
        return 2;
    }
    ZipBuilder zip;
    zip.AddDir("models/");
    zip.AddDir("models/players/");
    // Good models first and last, the broken ones between them.
    AddGamePlayer(zip, "alpha", {0, 0, 255}, {{"red", {255, 128, 0}}});
    AddGamePlayer(zip, "beta", {255, 0, 255});

    AddGamePlayer(zip, "cutmd3", {0, 255, 0});
    const std::string cut = "models/players/cutmd3/";
    Replace(zip, cut + "lower.md3", Cut(MemberOf(zip, cut + "lower.md3").data, 150));
    Replace(zip, cut + "upper.md3", std::vector<unsigned char>(3, 'I'));

    AddGamePlayer(zip, "badmd3", {0, 255, 0});
    Replace(zip, "models/players/badmd3/lower.md3", BadIndexMd3());
    Replace(zip, "models/players/badmd3/upper.md3", HugeCountMd3());

    AddGamePlayer(zip, "badanim", {0, 128, 255});
    Replace(zip, "models/players/badanim/animation.cfg", BAD_ANIM);

    AddGamePlayer(zip, "manyanim", {0, 128, 255});
    std::string many;
    for (int i = 0; i < 40; i++)
        many += "0 1 0 10 // LEGS_IDLE\n";
    Replace(zip, "models/players/manyanim/animation.cfg", many);

    // Eleven skins, more than a player keeps, all broken.
    std::vector<std::pair<std::string, sGameColor>> skins;
    for (int i = 0; i < 11; i++)
        skins.push_back({"s" + std::to_string(i), {10, 200, 10}});
    AddGamePlayer(zip, "badskin", {0, 200, 200}, skins);
    for (const auto& skin : skins)
        for (const char* part : {"head_", "upper_", "lower_"})
            Replace(zip, "models/players/badskin/" + std::string(part) + skin.first + ".skin",
                    BadSkin(part[0] == 'h'   ? "h_head"
                            : part[0] == 'u' ? "u_torso"
                                             : "l_legs"));

    // Textures that do not decode: cut, with impossible sizes, not a JPEG at all.
    AddGamePlayer(zip, "badtex", {200, 200, 0});
    const std::string tex = "models/players/badtex/";
    Replace(zip, tex + "skin.tga", Cut(SolidTga({1, 2, 3}), 40));
    std::vector<unsigned char> huge = SolidTga({1, 2, 3});
    Put16(huge, 12, 0xffff);
    Put16(huge, 14, 0xffff);
    zip.AddFile(tex + "huge.tga", huge);
    zip.AddFile(tex + "cut.tga", Cut(SolidTga({1, 2, 3}), 100));
    zip.AddFile(tex + "bad.jpg", std::string("\xff\xd8\xff\xe0 not really a jpeg"));

    AddGameWeapon(zip, "gunA", {0, 255, 255});
    AddGameWeapon(zip, "gunbad", {255, 255, 0});
    Replace(zip, "models/weapons2/gunbad/gunbad.md3", std::string("IDP3 and nothing else"));
    AddGameWeapon(zip, "gunparts", {255, 255, 0});
    Replace(zip, "models/weapons2/gunparts/gunparts_barrel.md3",
            Cut(MemberOf(zip, "models/weapons2/gunparts/gunparts_barrel.md3").data, 120));
    Replace(zip, "models/weapons2/gunparts/gunparts_flash.md3", BadIndexMd3());
    AddGameWeapon(zip, "gunB", {255, 255, 0});

    zip.AddFile("scripts/models.shader", std::string(HOSTILE_SHADER), true);

    const std::string base = std::string(argv[1]) + "/baseq3";
    mkdir(argv[1], 0755);
    mkdir(base.c_str(), 0755);
    if (!WriteFileBytes(base + "/pak0.pk3", zip.Build()))
    {
        fprintf(stderr, "make_hostile_gamedata: cannot write %s/pak0.pk3\n", base.c_str());
        return 1;
    }
    return 0;
}
