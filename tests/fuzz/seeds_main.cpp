// Writes the starting inputs of every fuzz target into <folder>/<target>/: game archives from
// the test builders, the last with players that cost memory if sizes were trusted (the bounded
// end-to-end test's game), their members, a few more files from the builders, and members of
// the real archive when it is there.
#include "fs/zipfile.h"
#include "support/gamepak.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <strings.h>

namespace
{
std::string outDir;
int written = 0;

void Seed(const std::string& target, std::string name, const Bytes& bytes)
{
    std::replace(name.begin(), name.end(), '/', '_');
    std::filesystem::create_directories(outDir + "/" + target);
    if (!WriteFileBytes(outDir + "/" + target + "/" + name, bytes))
        fprintf(stderr, "fuzz_seeds: cannot write %s\n", name.c_str()), exit(1);
    written++;
}

// The target that reads members of this name, or "".
std::string TargetOf(const std::string& name)
{
    const char* const kinds[][2] = {{".md3", "md3"},       {".tga", "image_tga"}, {".jpg", "image_jpg"},
                                    {".shader", "shader"}, {".skin", "skin"},     {"animation.cfg", "anim"},
                                    {".cfg", "config"}};
    for (const auto& kind : kinds)
        if (name.size() >= strlen(kind[0]) &&
            !strcasecmp(name.c_str() + name.size() - strlen(kind[0]), kind[0]))
            return kind[1];
    return "";
}

// A member seeds the target its name tells; settings and scripts seed the console too.
void SeedMember(const std::string& name, const Bytes& bytes)
{
    if (!TargetOf(name).empty())
        Seed(TargetOf(name), name, bytes);
    if (TargetOf(name) == "config")
        Seed("console", name, bytes);
}

// Surfaces whose vertex blocks all lie in the last one's: refused, since decoded once per user
// such a block would cost its size again for every surface.
Bytes SharedBlockMd3(const std::string& shader)
{
    Md3Builder b(3);
    b.AddTag("tag_torso");
    for (int s = 0; s < 3; s++)
        b.AddSurface("l_legs" + std::to_string(s), 3, shader).triangles = {0, 1, 2};
    Md3Builder::Layout layout;
    Bytes bytes = b.Build(&layout);
    uint32_t last;
    memcpy(&last, &bytes[layout.surfaces.back() + SURF_OFS_OFS_XYZ], 4);
    for (uint32_t start : layout.surfaces)
        Put32(bytes, start + SURF_OFS_OFS_XYZ, layout.surfaces.back() + last - start);
    return bytes;
}

// Names with control characters first (a folder without models, a member claiming more than it
// holds), a small good game, then players made to cost memory added one by one: a texture
// claiming 65500 x 65500, surfaces sharing a vertex block, a surface of 3,000 vertices.
void GameSeeds()
{
    ZipBuilder game;
    game.AddFile("models/players/\001ctl\x1b[2J\nx\x7f/skin.tga", "x");
    game.AddFile("models/\x1b]0;title\x07\r\n.tga", "x").centralUncompressed = 0x7fffffff;
    AddGamePlayer(game, "alpha", {0, 0, 255}, {{"red", {255, 128, 0}}});
    AddGamePlayer(game, "beta", {255, 0, 255});
    AddGameWeapon(game, "gun", {0, 255, 255});
    game.AddFile("scripts/models.shader", "models/players/beta/skin\n{\n\t{\n\t\tmap x.tga\n\t}\n}\n");
    game.AddFile("autoexec.cfg",
                 "// settings and commands\nbind a nextmodel\nbind MOUSE1 contoggle\nunbind a\nfov 90\n"
                 "near 4.5\nname hello world\necho text\nexec autoexec.cfg\nconcolor 1 0 0\nvars\nhelp\n"
                 "bindings\nacts\nunbindall\nclear\nwidth = 1024\r\ncaption = \"MD3 Viewer\"\n"
                 "/* block\ncomment */ fullscreen = 0\nvsync = 1 // trailing\n=novalue\nkeyonly\n");
    Seed("pipeline", "game.pk3", game.Build());
    for (int kind = 0; kind < 3; kind++)
    {
        const std::string dir = "models/players/costly" + std::to_string(kind) + "/";
        AddGamePlayer(game, "costly" + std::to_string(kind), {255, 0, 0});
        Md3Builder many(2);
        many.AddTag("tag_torso");
        Md3Builder::Surface& s = many.AddSurface("l_legs", 3000, dir + "skin.tga");
        for (int v = 0; v < s.numVerts; v++)
            s.triangles.push_back(v);
        for (ZipBuilder::Member& m : game.members)
            if (kind == 0 && m.name == dir + "skin.tga") // the library then takes skin.jpg
                m.name = dir + "skin.jpg", m.data = BuildClaimingJpeg(65500, 65500);
            else if (kind > 0 && m.name == dir + "lower.md3")
                m.data = kind == 1 ? SharedBlockMd3(dir + "skin.tga") : many.Build();
        Seed("pipeline", "costly" + std::to_string(kind) + ".pk3", game.Build());
    }
    for (const ZipBuilder::Member& m : game.members)
        SeedMember(m.name, m.data);
    Seed("zip", "game.pk3", game.Build());
}

// The formats no archive holds, a pak and a zip whose sizes follow their data.
void BuilderSeeds()
{
    for (const auto& [name, bytes] :
         {std::pair{"rgb.bmp", BuildBmp(3, 2, 24, Bytes(2 * 12, 90))},
          {"indexed.bmp", BuildBmp(4, 2, 8, {0, 1, 2, 3, 3, 2, 1, 0}, 4)},
          {"small.pcx", BuildPcx(4, 2, {0xC2, 5, 6, 7, 0xC4, 9})},
          {"small.wal", BuildWal(4, 4, 100, Bytes(16 + 4 + 1, 3))},
          {"rle.tga", BuildTga(10, 24, 4, 2, 0, {0x83, 1, 2, 3, 0x03, 9, 9, 9, 8, 8, 8})}})
    {
        Seed("image_" + std::string(strrchr(name, '.') + 1), name, bytes);
        Seed("image_any", name, bytes);
    }
    PakBuilder pak;
    pak.AddFile("pics/colormap.pcx", BuildPcx(16, 16, Bytes(256, 3)));
    pak.AddFile("maps/readme.txt", "hello\n");
    Seed("pak", "small.pak", pak.Build());
    ZipBuilder zip;
    zip.AddFile("models/a.txt", "stored text\n");
    zip.AddFile("scripts/c.shader", "c { map c.tga }\n", true).dataDescriptor = true;
    Seed("zip", "descriptor.pk3", zip.Build());
}

// Members of the real archive up to 64 KB, at most eight of each kind a reader takes.
void ArchiveSeeds()
{
    cZipFile pk3;
    if (RealDataFolder().empty() || !pk3.open((RealDataFolder() + "/pak0.pk3").c_str(), true))
        return;
    std::map<std::string, int> taken;
    for (int i = 0; i < pk3.numEntries(); i++)
    {
        const ZipEntry& entry = pk3.Entries()[i];
        Bytes bytes(std::min(entry.size, 64u * 1024 + 1));
        if (bytes.size() == entry.size && !TargetOf(entry.name).empty() &&
            taken[TargetOf(entry.name)]++ < 8 && pk3.read(i, bytes.data()))
            SeedMember(entry.name, bytes);
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return fprintf(stderr, "usage: fuzz_seeds <folder>\n"), 2;
    outDir = argv[1];
    std::filesystem::remove_all(outDir);
    GameSeeds();
    BuilderSeeds();
    ArchiveSeeds();
    printf("fuzz_seeds: %d files in %s\n", written, outDir.c_str());
}
