// Writes the starting inputs of every fuzz target into <folder>/<target>/: small valid files
// from the test builders, a few broken variants, and members of the real archive when it is
// present. Nothing of this is kept in the repository.
#include "fs/zipfile.h"
#include "fuzzsupport.h"
#include "support/gamepak.h"
#include "support/md3builder.h"
#include "support/testutil.h"
#include "support/zipbuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <strings.h>
#include <vector>

// The image seeds live apart: the image builders and the archive builders share a name.
void ImageSeeds(void (*seed)(const std::string&, const std::string&, const std::vector<unsigned char>&));

namespace
{
std::string outDir;
int written = 0;

void Seed(const std::string& target, const std::string& name, const std::vector<unsigned char>& bytes)
{
    std::filesystem::create_directories(outDir + "/" + target);
    std::string safe = name;
    std::replace(safe.begin(), safe.end(), '/', '_');
    if (!WriteFileBytes(outDir + "/" + target + "/" + safe, bytes))
    {
        fprintf(stderr, "fuzz_seeds: cannot write %s\n", safe.c_str());
        exit(1);
    }
    written++;
}

void SeedText(const std::string& target, const std::string& name, const std::string& text)
{
    Seed(target, name, std::vector<unsigned char>(text.begin(), text.end()));
}

const char* ANIM_CFG =
    "sex m\nheadoffset 0 0 0\nfootsteps normal\n"
    "0 30 0 25 // BOTH_DEATH1\n29 1 0 25 // BOTH_DEAD1\n30 30 0 25 // BOTH_DEATH2\n"
    "59 1 0 25 // BOTH_DEAD2\n60 30 0 25 // BOTH_DEATH3\n89 1 0 25 // BOTH_DEAD3\n"
    "90 40 0 20 // TORSO_GESTURE\n130 6 0 15 // TORSO_ATTACK\n136 6 0 15 // TORSO_ATTACK2\n"
    "142 5 0 20 // TORSO_DROP\n147 4 0 20 // TORSO_RAISE\n151 1 0 15 // TORSO_STAND\n"
    "152 1 0 15 // TORSO_STAND2\n153 8 8 20 // LEGS_WALKCR\n161 12 12 20 // LEGS_WALK\n"
    "173 9 9 18 // LEGS_RUN\n182 10 10 20 // LEGS_BACK\n192 10 10 15 // LEGS_SWIM\n"
    "202 8 0 15 // LEGS_JUMP\n210 1 0 15 // LEGS_LAND\n211 8 0 15 // LEGS_JUMPB\n"
    "219 1 0 15 // LEGS_LANDB\n220 10 10 15 // LEGS_IDLE\n230 8 8 15 // LEGS_IDLECR\n"
    "238 7 7 15 // LEGS_TURN\n";

void BuilderSeeds()
{
    SeedText("config", "app.cfg",
             "// settings\nq3apath = ../data/game\nwidth = 1024\r\nheight=768\ncaption = \"MD3 Viewer\"\n"
             "/* block\ncomment */ fullscreen = 0\nvsync = 1 // trailing\n=novalue\nkeyonly\n");
    SeedText("config", "convars.cfg", "bind ` contoggle\nbind WHEEL contoggle\nfov 90\n\tnear 4\n");

    ZipBuilder zip;
    zip.AddDir("models/");
    zip.AddFile("models/a.txt", "stored text\n");
    zip.AddFile("models/b.cfg", std::string(300, 'x') + "\nwidth = 3\n", true);
    zip.AddFile("scripts/c.shader", "c { map c.tga }\n", true).dataDescriptor = true;
    Seed("zip", "small.pk3", zip.Build());
    ZipBuilder empty;
    Seed("zip", "empty.pk3", empty.Build());

    PakBuilder pak;
    pak.AddFile("pics/colormap.pcx", std::string(128 + 4 + 768, 10));
    pak.AddFile("maps/readme.txt", "hello\n");
    Seed("pak", "small.pak", pak.Build());

    ImageSeeds(Seed);

    SeedText(
        "shader", "models.shader",
        "// comment\nmodels/a/skin\n{\n\tcull none\n\tdeformVertexes wave 100 sin 0 1 0 1\n"
        "\tsurfaceparm nodraw\n\t{\n\t\tmap models/a/skin.tga\n\t\trgbGen lightingDiffuse\n"
        "\t\tblendFunc GL_ONE GL_ONE\n\t\ttcMod scroll 0.1 0.2\n\t\ttcMod rotate 30\n\t}\n"
        "\t{\n\t\tanimMap 10 a.tga b.tga c.tga\n\t\talphaFunc GE128\n\t\tdepthWrite\n"
        "\t\ttcGen environment\n\t\trgbGen wave triangle 0 1 0 2\n\t}\n}\n"
        "models/b\n{\n\tnopicmip\n\tnomipmaps\n\t{\n\t\tclampMap b.jpg\n\t\tblendfunc add\n"
        "\t\ttcMod stretch sin 1 0.1 0 1\n\t\ttcMod turb 0 0.1 0 1\n\t\ttcMod transform 1 0 0 1 0 0\n"
        "\t\talphaGen wave sawtooth 0 1 0 1\n\t\tdepthFunc equal\n\t}\n\t{\n\t\tmap $lightmap\n\t}\n}\n");

    for (const auto& part : FuzzPlayerParts("models/players/fuzz"))
        Seed("md3", part.first, part.second);
    Md3Builder many(3);
    many.AddTag("tag_weapon");
    many.AddTag("tag_flash");
    for (int s = 0; s < 3; s++)
    {
        Md3Builder::Surface& surface =
            many.AddSurface("s" + std::to_string(s), 3, "shader" + std::to_string(s));
        surface.triangles = {0, 1, 2};
        surface.shaders.push_back("second.tga");
    }
    Seed("md3", "weapon.md3", many.Build());
    // Surfaces sharing one vertex block: refused, since blocks may not overlap (decoded, the
    // shared block would cost its size once per surface).
    Seed("md3", "shared_vertices.md3", SharedBlockMd3("x"));

    SeedText("anim", "animation.cfg", ANIM_CFG);
    SeedText("anim", "short.cfg", "0 10 10 15 // BOTH_DEATH1\n10 1 0 0 // LEGS_IDLE\n");
    SeedText("skin", "lower_red.skin", "l_legs,models/players/fuzz/red.tga\ntag_torso,\n");
    SeedText("skin", "upper_red.skin", "u_torso,models/players/fuzz/red.tga\r\ntag_head,\ntag_weapon,\n");
    SeedText("skin", "head_red.skin", "h_head,models/players/fuzz/red_h.tga,extra\n");
    SeedText("console", "lines.cfg",
             "bind a nextmodel\nbind MOUSE1 gun\nbind JOY3 contoggle\nunbind a\nfov 90\nnear 4.5\n"
             "wire 1\nname hello world\necho some text\nexec convars.cfg\nconcolor 1 0 0\nvars\nhelp\n"
             "bindings\nacts\nunbindall\nclear\n");
}

// Whole game archives: a small good one, then with each costly player added in turn; the last
// is also the game of the end-to-end test of bounded memory. Names with control characters come
// first: a folder without models and a member claiming more than it can hold.
void PipelineSeeds()
{
    ZipBuilder game;
    game.AddFile("models/players/\001ctl\x1b[2J\nx\x7f/skin.tga", "x");
    game.AddFile("models/\x1b]0;title\x07\r\n.tga", "x").centralUncompressed = 0x7fffffff;
    AddGamePlayer(game, "alpha", {0, 0, 255}, {{"red", {255, 128, 0}}});
    AddGamePlayer(game, "beta", {255, 0, 255});
    AddGameWeapon(game, "gun", {0, 255, 255});
    game.AddFile("scripts/models.shader", "models/players/beta/skin\n{\n\t{\n\t\tmap x.tga\n\t}\n}\n");
    game.AddFile("autoexec.cfg", "bind a nextmodel\necho hello\nexec autoexec.cfg\n");
    Seed("pipeline", "game.pk3", game.Build());
    for (eCostlyPlayer kind : {COSTLY_HUGE_JPEG, COSTLY_SHARED_BLOCK, COSTLY_MANY_VERTICES})
    {
        AddCostlyPlayer(game, "costly" + std::to_string(kind), kind);
        Seed("pipeline", "costly" + std::to_string(kind) + ".pk3", game.Build());
    }
}

// Members of the real archive, smallest first, a few of each kind that a reader takes.
void ArchiveSeeds()
{
    std::string folder = RealDataFolder();
    if (folder.empty())
        return;
    cZipFile pk3;
    if (!pk3.open((folder + "/pak0.pk3").c_str(), true))
        return;
    struct Kind
    {
        const char* suffix;
        const char* target;
        uint32_t maxSize;
        int count;
    };
    const Kind kinds[] = {{".md3", "md3", 256 * 1024, 12},     {".tga", "image_tga", 64 * 1024, 8},
                          {".jpg", "image_jpg", 64 * 1024, 8}, {".shader", "shader", 128 * 1024, 6},
                          {".skin", "skin", 4096, 12},         {"animation.cfg", "anim", 8192, 6},
                          {".cfg", "config", 16 * 1024, 4}};
    std::vector<int> order(pk3.numEntries());
    for (int i = 0; i < pk3.numEntries(); i++)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return pk3.Entries()[a].size < pk3.Entries()[b].size; });
    std::map<std::string, int> taken;
    ZipBuilder small;
    for (int i : order)
    {
        const ZipEntry& entry = pk3.Entries()[i];
        for (const Kind& kind : kinds)
        {
            size_t len = strlen(kind.suffix);
            if (entry.name.size() < len ||
                strcasecmp(entry.name.c_str() + entry.name.size() - len, kind.suffix) != 0)
                continue;
            if (entry.size > kind.maxSize || taken[kind.target] >= kind.count)
                break;
            std::vector<unsigned char> bytes(entry.size);
            if (!pk3.read(i, bytes.data()))
                break;
            Seed(kind.target, entry.name, bytes);
            if (taken[kind.target]++ < 2)
                small.AddFile(entry.name, bytes, true);
            break;
        }
    }
    Seed("zip", "real_members.pk3", small.Build());
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    outDir = argv[1];
    std::error_code ignored;
    std::filesystem::remove_all(outDir, ignored);
    BuilderSeeds();
    PipelineSeeds();
    ArchiveSeeds();
    printf("fuzz_seeds: %d files in %s\n", written, outDir.c_str());
    return 0;
}
