// Writes the game folder an end-to-end test runs the viewer on, <folder>/baseq3/pak0.pk3:
//   make_gamedata <folder>          the archive of BuildGamePak
//   make_hostile_gamedata <folder>  broken players, weapons, skins, animation files, textures and
//                                   shader scripts between good players and weapons
#include "support/gamepak.h"

#include <cstring>

namespace
{
// The member called name, which a good player or weapon added.
std::vector<unsigned char>& Data(ZipBuilder& zip, const std::string& name)
{
    for (ZipBuilder::Member& m : zip.members)
        if (m.name == name)
            return m.data;
    fprintf(stderr, "make_hostile_gamedata: no member %s\n", name.c_str());
    exit(1);
}

std::vector<unsigned char> Text(const std::string& text) { return {text.begin(), text.end()}; }

// A model whose triangle names a vertex it does not have.
std::vector<unsigned char> BadIndexMd3()
{
    Md3Builder b(1);
    b.AddSurface("l_legs", 3, "models/players/badmd3/skin.tga").triangles = {0, 1, 70000};
    return b.Build();
}

// Skin files: lines without commas or surfaces, overlong names, bytes that are not text, and
// more shaders than a surface keeps.
std::string BadSkin(const std::string& surface)
{
    std::string text = "no comma at all\n,\n" + surface + ",\n" + surface + "," + std::string(3000, 's') +
                       "\n" + std::string(2000, 'x') + "," + std::string(300, 'y') + "\n";
    for (int i = 0; i < 12; i++)
        text += surface + ",models/players/badskin/s" + std::to_string(i) + ".tga\n";
    return text + std::string("\0\xff\xfe,\x01\n", 6);
}

std::vector<unsigned char> HostileGamePak()
{
    ZipBuilder zip;
    zip.AddDir("models/");
    zip.AddDir("models/players/"); // good models first and last, the broken ones between them
    AddGamePlayer(zip, "alpha", {0, 0, 255}, {{"red", {255, 128, 0}}});
    AddGamePlayer(zip, "beta", {255, 0, 255});
    AddGamePlayer(zip, "cutmd3", {0, 255, 0});
    Data(zip, "models/players/cutmd3/lower.md3").resize(150);
    Data(zip, "models/players/cutmd3/upper.md3") = Text("III");
    AddGamePlayer(zip, "badmd3", {0, 255, 0});
    Data(zip, "models/players/badmd3/lower.md3") = BadIndexMd3();
    Md3Builder huge(2); // counts that overflow
    huge.AddTag("tag_torso");
    huge.AddSurface("u_torso", 3, "x").triangles = {0, 1, 2};
    std::vector<unsigned char>& upper = Data(zip, "models/players/badmd3/upper.md3") = huge.Build();
    Put32(upper, MD3_OFS_NUM_FRAMES, 0x7fffffff);
    Put32(upper, MD3_OFS_NUM_TAGS, 0x40000000);
    AddGamePlayer(zip, "badanim", {0, 128, 255});
    Data(zip, "models/players/badanim/animation.cfg") =
        Text("sex m\n2147483647 2147483647 -5 0 // BOTH_DEATH1\n-2147483648 -1 -1 -1 // BOTH_DEAD1\n"
             "99999999999999999999 3 3 3 // BOTH_DEATH2\n0 0 0 0 // TORSO_GESTURE\n-100 5 0 1000000 // "
             "LEGS_WALKCR\n"
             "5 -2147483648 0 10 // LEGS_IDLE\n7 7 7 7 // TORSO_STAND\n");
    AddGamePlayer(zip, "manyanim", {0, 128, 255});
    std::string many;
    for (int i = 0; i < 40; i++)
        many += "0 1 0 10 // LEGS_IDLE\n";
    Data(zip, "models/players/manyanim/animation.cfg") = Text(many);
    // Eleven skins, more than a player keeps, all broken.
    std::vector<std::pair<std::string, sGameColor>> skins;
    for (int i = 0; i < 11; i++)
        skins.push_back({"s" + std::to_string(i), {10, 200, 10}});
    AddGamePlayer(zip, "badskin", {0, 200, 200}, skins);
    const char* const parts[][2] = {{"head_", "h_head"}, {"upper_", "u_torso"}, {"lower_", "l_legs"}};
    for (const auto& skin : skins)
        for (const auto& part : parts)
            Data(zip, "models/players/badskin/" + std::string(part[0]) + skin.first + ".skin") =
                Text(BadSkin(part[1]));
    // Textures that do not decode: cut, with impossible sizes, not a JPEG at all.
    AddGamePlayer(zip, "badtex", {200, 200, 0});
    Data(zip, "models/players/badtex/skin.tga").resize(40);
    const std::vector<unsigned char> tga = SolidTga({1, 2, 3});
    zip.AddFile("models/players/badtex/huge.tga",
                BuildTga(2, 24, 0xffff, 0xffff, 0, Bytes(tga.begin() + 18, tga.end())));
    zip.AddFile("models/players/badtex/cut.tga", tga).data.resize(100);
    zip.AddFile("models/players/badtex/bad.jpg", "\xff\xd8\xff\xe0 not really a jpeg");
    AddGameWeapon(zip, "gunA", {0, 255, 255});
    AddGameWeapon(zip, "gunbad", {255, 255, 0});
    Data(zip, "models/weapons2/gunbad/gunbad.md3") = Text("IDP3 and nothing else");
    AddGameWeapon(zip, "gunparts", {255, 255, 0});
    Data(zip, "models/weapons2/gunparts/gunparts_barrel.md3").resize(120);
    Data(zip, "models/weapons2/gunparts/gunparts_flash.md3") = BadIndexMd3();
    AddGameWeapon(zip, "gunB", {255, 255, 0});
    zip.AddFile("scripts/models.shader",
                "// broken blocks before and after good "
                "ones\n}\n}\n{\nmodels/players/badtex/skin\n{\n\t{\n\t\tmap models/players/badtex/cut.tga\n"
                "\t\ttcMod scroll 1e30 -1e30\n\t\ttcMod rotate nan\n\t\trgbGen wave sin 0 1 0 1e38\n\t}\n"
                "\t{\n\t\tanimMap 0 a.tga b.tga c.tga d.tga e.tga f.tga g.tga h.tga i.tga\n\t}\n"
                "\t{\n\t\tmap models/players/badtex/huge.tga\n\t\tblendFunc GL_BAD GL_WORSE\n\t}\n"
                "\t{\n\t\tmap models/players/badtex/bad.jpg\n\t\tdeformVertexes wave\n\t}\n"
                "\t{\n\t\tclampMap\n\t\ttcMod\n\t\trgbGen wave\n\t\talphaFunc\n\t}\n}\n"
                "models/players/beta/skin\n{\n\t{\n\t\tmap models/players/beta/skin.tga\n\t\trgbGen "
                "identity\n\t}\n}\n"
                "models/unclosed\n{\n\t{\n\t\tmap x.tga\n{\n{\n{\n",
                true);
    return zip.Build();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return fprintf(stderr, "usage: %s <folder>\n", argv[0]), 2;
    const std::string base = std::string(argv[1]) + "/baseq3";
    std::filesystem::create_directories(base);
    if (!WriteFileBytes(base + "/pak0.pk3", strstr(argv[0], "hostile") ? HostileGamePak() : BuildGamePak()))
        return fprintf(stderr, "%s: cannot write %s/pak0.pk3\n", argv[0], base.c_str()), 1;
}
