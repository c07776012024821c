// The viewer's whole pipeline on one arbitrary archive, mounted as the game's pk3 by the viewer's
// own start-up: every listed player is loaded with its skins and animations and every weapon,
// all drawn into the counting drawer; every image member is decoded, every shader script
// parsed (one by one, then all together with the game look) and every .cfg member run by exec.
#include "console/console.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "fuzzsupport.h"
#include "image/image.h"
#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "viewer/viewerapp.h"

#include <cstdlib>
#include <cstring>

namespace
{
bool Suffix(const std::string& name, const char* extensions)
{
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && strcasestr(extensions, (name.substr(dot) + ".").c_str());
}

void DrawModels(ViewerApp& viewer)
{
    for (auto& weapon : viewer.weapons)
    {
        const std::string folder = weapon->name;
        weapon->Load(folder.c_str());
        cModelQ3::RenderTree(weapon->main);
    }
    for (auto& player : viewer.players)
    {
        const std::string folder = player->name;
        if (!player->Load(folder.c_str()))
            continue;
        for (auto& weapon : viewer.weapons)
            player->upper->AttachToTag("tag_weapon", weapon->main);
        for (uint32_t skin = 0; skin < player->skinCount; skin++)
        {
            player->SelectSkin(skin);
            cModelQ3::RenderTree(player->lower);
        }
        for (int anim = 0; anim < MODEL_NUM_ANIMS; anim++)
            for (float t : {0.0f, 0.07f, 5.0f})
            {
                player->SetAnimation(anim);
                player->UpdateAnimations(t);
                cModelQ3::RenderTree(player->lower);
            }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzResetManagers();
    gConsole.Init();
    static bool written = FuzzWriteFile("app.cfg", reinterpret_cast<const uint8_t*>("q3apath = .\n"), 12);
    cCountingDrawer drawer;
    SetModelDrawer(&drawer);
    ViewerApp* viewer = new ViewerApp;
    if (written && FuzzWriteFile("baseq3/pak0.pk3", data, size) && viewer->OnInit() &&
        !gFileMgr.Zips().empty())
    {
        DrawModels(*viewer);
        std::vector<std::string> names;
        for (const ZipEntry& entry : gFileMgr.Zips()[0]->Entries())
            names.push_back(entry.name);
        for (const std::string& name : names)
        {
            memfile_t file(name.c_str(), "rb");
            cImage image;
            if (Suffix(name, ".shader."))
                gShaderMgr.ParseScript(file);
            else if (Suffix(name, ".cfg."))
                gConsole.Execute(("exec " + name).c_str());
            else if (Suffix(name, ".tga.jpg.jpeg.bmp.pcx.wal.") && image.LoadFromFile(file))
                gFileMgr.Release(name.c_str());
        }
        // The game look keeps every skin and reads every script.
        gGameLook = true;
        gShaderMgr.Reset();
        gShaderMgr.ParseAllScripts();
        viewer->ClearModels();
        viewer->BuildModelLists();
        DrawModels(*viewer);
        gGameLook = false;
    }
    delete viewer;
    SetModelDrawer(nullptr);
    if (drawer.depth != 0)
        abort();
    FuzzResetManagers();
    return 0;
}
