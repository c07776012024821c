// The fuzz targets: each reader of outside data on arbitrary bytes, followed by what the program
// does next with what was read, and the viewer's whole pipeline on an arbitrary game archive.
// One program; the build links it as fuzz_<target> for each target, and the name picks the
// target. Without libFuzzer it replays every file of the folders on its command line once.
#include "console/console.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/pakfile.h"
#include "fs/zipfile.h"
#include "image/image.h"
#include "model/drawer.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "platform/configfile.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "support/gamepak.h"
#include "support/testutil.h"
#include "viewer/viewerapp.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <numeric>
#include <sstream>

namespace
{
// A broken invariant is a finding: stop with the signal the fuzzer reports.
void FuzzCheck(bool condition, const char* what)
{
    if (!condition)
        fprintf(stderr, "fuzz check failed: %s\n", what), abort();
}

// A private working folder, removed at exit: the readers that take paths, and the WAL decoder
// looking for its colour map, look below it.
std::string gWorkDir;

bool FuzzWriteFile(const std::string& path, const Bytes& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(gWorkDir + "/" + path).parent_path());
    return WriteFileBytes(gWorkDir + "/" + path, bytes);
}

// Stands in for the GL drawer while it lives: reads every value a real draw would read and stops
// on anything the batch could not draw safely.
struct cCountingDrawer : cModelDrawer
{
    cCountingDrawer() { SetModelDrawer(this); }
    ~cCountingDrawer() override
    {
        SetModelDrawer(nullptr);
        FuzzCheck(depth == 0, "transforms left pushed");
    }
    void DrawSurface(const sMd3Surface& s, const char* shader, const float* xyz,
                     const float* normals) override
    {
        FuzzCheck(shader && strnlen(shader, MD3_NAME_SIZE) < MD3_NAME_SIZE, "shader name unterminated");
        FuzzCheck(s.numVerts <= MD3_MAX_VERTS && s.st.size() >= s.numVerts * 2u, "vertices or st missing");
        FuzzCheck(s.indices.size() >= s.numIndices, "fewer indices than counted");
        for (uint32_t i = 0; i < s.numIndices; i++)
        {
            FuzzCheck(s.indices[i] < s.numVerts, "index past the vertices");
            sum += xyz[s.indices[i] * 3] + normals[s.indices[i] * 3 + 2] + s.st[s.indices[i] * 2 + 1];
        }
    }
    void PushTransform(const float matrix[16]) override
    {
        sum = std::accumulate(matrix, matrix + 16, sum);
        depth++;
    }
    void PopTransform() override { FuzzCheck(depth-- > 0, "transform popped without a push"); }
    int depth = 0;
    double sum = 0; // keeps the reads from being optimised away
};

// The line reader every text format shares, then settings files.
void Config(const Bytes& in)
{
    for (int limit : {MEMFILE_MAX_LINE, 7, 0})
    {
        memfile_t file(in.data(), static_cast<uint32_t>(in.size()), "fuzz.cfg", false);
        char line[MEMFILE_MAX_LINE + 1];
        size_t lines = 0;
        while (file.ReadLine(line, limit)) // each line takes a byte at least, or the reader hangs
            FuzzCheck(strlen(line) <= size_t(limit) && ++lines <= in.size() + 1,
                      "line too long, or too many");
    }
    for (char separator : {'=', ' '})
    {
        memfile_t file(in.data(), static_cast<uint32_t>(in.size()), "fuzz.cfg", false);
        ConfigFile config;
        config.Load(file, separator);
        for (const KeyValue& pair : config.Entries())
            FuzzCheck(config.Find(pair.key.c_str()) != nullptr, "a key read is not found");
    }
}

// Open, list every folder, read every member into the room its record claims.
void Zip(const Bytes& in)
{
    FuzzCheck(FuzzWriteFile("fuzz.pk3", in), "cannot write the input");
    for (bool skipEmpty : {true, false})
    {
        cZipFile zip;
        std::vector<std::string> names;
        zip.open("fuzz.pk3", skipEmpty);
        for (const ZipEntry& entry : zip.Entries())
        {
            zip.list((ZipDirPart(entry.name) + "*." + ZipExtension(entry.name)).c_str(), names);
            zip.Find(entry.name.c_str());
        }
        for (int i = 0; i < zip.numEntries(); i++)
            if (std::unique_ptr<unsigned char[]> room{
                    new (std::nothrow) unsigned char[zip.Entries()[i].size + 1]})
                zip.read(i, room.get());
    }
}

// Open, read every record by index and by name, then every member through the file manager.
void Pak(const Bytes& in)
{
    FuzzCheck(FuzzWriteFile("fuzz.pak", in), "cannot write the input");
    pakfile pak;
    std::vector<std::string> names;
    for (size_t i = 0, n = pak.open("fuzz.pak") ? pak.Entries().size() : 0; i < n; i++)
    {
        const PakEntry& entry = pak.Entries()[i];
        names.emplace_back(entry.name, strnlen(entry.name, PAK_NAME_SIZE));
        if (entry.length < 0 || size_t(entry.length) > in.size())
            continue; // room only for records that fit the input; the others must fail unwritten
        Bytes room(entry.length + 1u);
        pak.read(static_cast<int>(i), room.data());
        if (pak.Find(names.back().c_str()) == int(i)) // by name, the first record of the name
            pak.read(names.back().c_str(), room.data());
    }
    char line[MEMFILE_MAX_LINE + 1];
    if (gFileMgr.MountPak("fuzz.pak"))
        for (const std::string& name : names) // through the file manager, line by line
            for (memfile_t file(name.c_str(), "rb"); file.ReadLine(line, MEMFILE_MAX_LINE);)
                FuzzCheck(strlen(line) <= MEMFILE_MAX_LINE, "line too long");
}

// One decoder, chosen by the file name's extension; a picture decoded is checked and turned.
void Image(const char* name, const Bytes& in)
{
    cImage image;
    if (!image.Load(in.data(), static_cast<uint32_t>(in.size()), name))
        return FuzzCheck(!image.pixels && !image.width && !image.height, "a failed decode keeps pixels");
    FuzzCheck(image.pixels && image.width && image.height &&
                  (image.bpp == 1 || image.bpp == 3 || image.bpp == 4),
              "a decoded picture without pixels");
    volatile unsigned char last = image.pixels[size_t(image.width) * image.height * image.bpp - 1];
    (void)last; // a buffer smaller than its shape shows here
    image.SwapRedBlue();
    image.FlipVertically();
}

// Every frame drawn, past the last one too, with a copy of the model on each of its tags.
void Md3(const Bytes& in)
{
    cMd3 model, child;
    if (!model.LoadFromBuffer(in.data(), static_cast<uint32_t>(in.size()), "models/fuzz.md3"))
        return FuzzCheck(!model.IsLoaded() && model.surfaces.empty() && model.frames.empty(),
                         "refused, not empty");
    child.LoadFromBuffer(in.data(), static_cast<uint32_t>(in.size()), "models/child.md3");
    for (const sMd3Tag& tag : model.frames.empty() ? std::vector<sMd3Tag>() : model.frames[0].tags)
        model.AttachToTag(tag.name, &child);
    cCountingDrawer drawer;
    sAnimState state;
    model.animState = &state;
    for (uint32_t f = 0; f <= model.numFrames && f < 64; f++)
    {
        model.Render(f, f + 1, 0.5f);
        state.currentFrame = f;
        state.nextFrame = f + 1;
        state.fraction = 0.25f;
        cModelQ3::RenderTree(&model);
    }
    model.skinIndex = MD3_MAX_SHADER_SLOTS - 1;
    model.Render(0, 0, 0);
}

// A player in each of its skins, then every animation stepped through time.
void DrawPlayer(cModelQ3& player)
{
    for (uint32_t skin = 0; skin <= player.skinCount; skin++)
    {
        player.SelectSkin(skin);
        cModelQ3::RenderTree(player.lower);
    }
    for (int anim = 0; anim < MODEL_NUM_ANIMS; anim++)
    {
        player.SetAnimation(anim);
        for (float t : {0.0f, 0.01f, 0.07f, 0.5f, 3.0f, 1e6f})
        {
            player.UpdateAnimations(t);
            cModelQ3::RenderTree(player.lower);
        }
    }
    player.NextBothAnim();
    player.ChangeSpeed(-1000.0f);
    player.UpdateAnimations(2e6f);
    cModelQ3::RenderTree(player.lower);
}

// A player of good parts (lower.md3 of 40 frames, upper.md3 of 30, head.md3) in an archive
// whose members called names (beside the parts) hold the input.
void PlayerWith(std::initializer_list<const char*> names, const Bytes& in)
{
    const std::string folder = "models/players/fuzz", dir = folder + "/", shader = dir + "skin.tga";
    ZipBuilder zip;
    zip.AddFile(dir + "lower.md3",
                GameBoxMd3("l_legs", shader, {-5, -5, -22, 5, 5, 0}, {{"tag_torso", {}}}, 40));
    zip.AddFile(dir + "upper.md3", GameBoxMd3("u_torso", shader, {-8, -6, 0, 8, 6, 16},
                                              {{"tag_head", {}}, {"tag_weapon", {}}}, 30));
    zip.AddFile(dir + "head.md3", GameBoxMd3("h_head", shader, {-4, -4, 0, 4, 4, 8}, {{"tag_head", {}}}, 1));
    for (const char* name : names)
        zip.AddFile(dir + name, in);
    FuzzCheck(FuzzWriteFile("fuzz.pk3", zip.Build()) && gFileMgr.MountZip("fuzz.pk3"), "no archive");
    cCountingDrawer drawer;
    cModelQ3 player;
    FuzzCheck(player.Load(folder.c_str()), "the good player does not load");
    DrawPlayer(player);
}

void Anim(const Bytes& in) { PlayerWith({"animation.cfg"}, in); }

void Skin(const Bytes& in)
{
    PlayerWith({"lower_red.skin", "upper_red.skin", "head_red.skin", "lower_default.skin"}, in);
}

// A script parsed twice, every shader it named made ready as a draw would (no image exists).
void Shader(const Bytes& in)
{
    gShaderMgr.Init();
    for (int pass = 0; pass < 2; pass++)
    {
        memfile_t file(in.data(), static_cast<uint32_t>(in.size()), "scripts/fuzz.shader", false);
        gShaderMgr.ParseScript(file);
        std::vector<std::string> names;
        for (const cShader& shader : gShaderMgr.shaders)
            names.push_back(shader.name);
        for (const std::string& name : names)
            FuzzCheck(size_t(gShaderMgr.Load(name.c_str())) < gShaderMgr.shaders.size(), "no shader loaded");
    }
}

// The input as the variables file with its bind lines, each line run as a command, the whole
// run as a script, then every key pressed and the bytes typed as key codes.
void Commands(const Bytes& in)
{
    gConsole.Init();
    ConVar vars[4];
    const std::pair<const char*, int> kinds[] = {
        {"fov", CONVAR_INT}, {"near", CONVAR_FLOAT}, {"wire", CONVAR_BOOL}, {"name", CONVAR_TEXT}};
    gConsole.RegisterAction("nextmodel", [] {});
    FuzzWriteFile("convars.cfg", in);
    gConsole.LoadConfig("convars.cfg");
    for (int i = 0; i < 4; i++) // registered after the file was read, they take their first values from it
        vars[i].type = kinds[i].second, gConsole.RegisterVar(kinds[i].first, &vars[i], nullptr, 0);
    std::istringstream lines(std::string(in.begin(), in.end()));
    for (std::string line; std::getline(lines, line);)
        gConsole.Execute(line.c_str());
    memfile_t script(in.data(), static_cast<uint32_t>(in.size()), "fuzz.cfg", false);
    gConsole.ExecFile(script);
    for (int code = -1; code <= CON_NUM_KEYS; code++)
        gConsole.KeyPressed(code);
    if (!gConsole.IsOpen())
        gConsole.Toggle();
    for (size_t i = 0; i + 1 < in.size(); i += 2)
        gConsole.KeyInput((in[i] | (in[i + 1] << 8)) % (CON_NUM_KEYS + 8), 0);
    gConsole.KeyInput(KEY_RETURN, 0);
    gConsole.Reset();
}

void DrawModels(ViewerApp& viewer)
{
    for (auto& weapon : viewer.weapons)
    {
        weapon->Load(std::string(weapon->name).c_str());
        cModelQ3::RenderTree(weapon->main);
    }
    for (auto& player : viewer.players)
    {
        if (!player->Load(std::string(player->name).c_str()))
            continue;
        for (auto& weapon : viewer.weapons)
            player->upper->AttachToTag("tag_weapon", weapon->main);
        DrawPlayer(*player);
    }
}

// The archive mounted as the game's pk3 by the viewer's own start-up: every player with its
// skins and animations and every weapon drawn, every image decoded, every script parsed (one by
// one, then all together in the game look), every .cfg member run by exec.
void Pipeline(const Bytes& in)
{
    static const std::string settings = "q3apath = .\n";
    static bool written = FuzzWriteFile("app.cfg", {settings.begin(), settings.end()});
    gConsole.Init();
    cCountingDrawer drawer;
    std::unique_ptr<ViewerApp> viewer(new ViewerApp);
    if (!written || !FuzzWriteFile("baseq3/pak0.pk3", in) || !viewer->OnInit() || gFileMgr.Zips().empty())
        return;
    DrawModels(*viewer);
    std::vector<std::string> names;
    for (const ZipEntry& entry : gFileMgr.Zips()[0]->Entries())
        names.push_back(entry.name);
    for (const std::string& name : names)
    {
        memfile_t file(name.c_str(), "rb");
        cImage image;
        const std::string type = name.substr(std::min(name.rfind('.'), name.size())) + ".";
        if (strcasestr(".shader.", type.c_str()))
            gShaderMgr.ParseScript(file);
        else if (strcasestr(".cfg.", type.c_str()))
            gConsole.Execute(("exec " + name).c_str());
        else if (strcasestr(".tga.jpg.jpeg.bmp.pcx.wal.", type.c_str()) && image.LoadFromFile(file))
            gFileMgr.Release(name.c_str());
    }
    gGameLook = true; // which keeps every skin and reads every script
    gShaderMgr.Reset();
    gShaderMgr.ParseAllScripts();
    viewer->ClearModels();
    viewer->BuildModelLists();
    DrawModels(*viewer);
    gGameLook = false;
}

std::string gTarget; // config, zip, pak, md3, anim, skin, shader, console, pipeline, image_<extension>
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv)
{
    gTarget = std::filesystem::path((*argv)[0]).filename().string().substr(5); // after "fuzz_"
    char templ[] = "/tmp/kelfuzz.XXXXXX";
    FuzzCheck(mkdtemp(templ) && chdir(templ) == 0, "no working folder");
    atexit([] { std::filesystem::remove_all(gWorkDir); });
    gWorkDir = templ;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::map<std::string, void (*)(const Bytes&)> targets = {
        {"config", Config}, {"zip", Zip},       {"pak", Pak},          {"md3", Md3},          {"anim", Anim},
        {"skin", Skin},     {"shader", Shader}, {"console", Commands}, {"pipeline", Pipeline}};
    const Bytes in(data, data + size);   // a block of exactly the input's size
    if (gTarget.rfind("image_", 0) == 0) // image_any: a name without extension, the fallback order
        return Image(gTarget == "image_any" ? "fuzz" : ("fuzz." + gTarget.substr(6)).c_str(), in), 0;
    if (gTarget != "md3" && gTarget != "config") // the managers as at start-up
    {
        gFileMgr.Reset();
        gRessMgr.Reset();
        gShaderMgr.Reset();
        gConsole.Reset();
    }
    targets.at(gTarget)(in);
    return 0;
}

#ifndef KEL_LIBFUZZER
int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> files; // resolved first: the targets change the working folder
    for (int i = 1; i < argc; i++)
        for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
            files.push_back(std::filesystem::absolute(entry.path()));
    std::sort(files.begin(), files.end());
    LLVMFuzzerInitialize(&argc, &argv);
    for (const auto& file : files)
    {
        const Bytes bytes = ReadFileBytes(file);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    printf("replay: %zu inputs\n", files.size());
    return files.empty();
}
#endif
