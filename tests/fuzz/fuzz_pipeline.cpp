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

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace
{
bool EndsWith(const std::string& name, const char* suffix)
{
    const size_t len = strlen(suffix);
    return name.size() >= len && strcasecmp(name.c_str() + name.size() - len, suffix) == 0;
}

bool IsImage(const std::string& name)
{
    for (const char* ext : {".tga", ".jpg", ".jpeg", ".bmp", ".pcx", ".wal"})
        if (EndsWith(name, ext))
            return true;
    return false;
}

template <class T> void LoadEntry(T& entry)
{
    const std::string folder = entry.name;
    if (!entry.IsLoaded())
        entry.Load(folder.c_str());
}

void DrawModels(ViewerApp& viewer, cCountingDrawer& drawer)
{
    for (auto& weapon : viewer.weapons)
    {
        LoadEntry(*weapon);
        cModelQ3::RenderTree(weapon->main);
    }
    for (auto& player : viewer.players)
    {
        LoadEntry(*player);
        if (!player->IsLoaded())
            continue;
        for (auto& weapon : viewer.weapons)
            if (player->upper && weapon->main)
                player->upper->AttachToTag("tag_weapon", weapon->main);
        for (uint32_t skin = 0; skin < player->skinCount; skin++)
        {
            player->SelectSkin(skin);
            cModelQ3::RenderTree(player->lower);
        }
        for (int anim = 0; anim < MODEL_NUM_ANIMS; anim++)
        {
            player->SetAnimation(anim);
            for (float t : {0.0f, 0.07f, 5.0f})
            {
                player->UpdateAnimations(t);
                cModelQ3::RenderTree(player->lower);
            }
        }
    }
    if (drawer.depth != 0)
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzResetManagers();
    gConsole.Init();
    gShaderMgr.Init();
    static bool written = FuzzWriteFile("app.cfg", reinterpret_cast<const uint8_t*>("q3apath = .\n"), 12);
    if (!written || !FuzzWriteFile("baseq3/pak0.pk3", data, size))
        return 0;
    cCountingDrawer drawer;
    SetModelDrawer(&drawer);
    {
        ViewerApp viewer;
        gGameLook = false;
        if (viewer.OnInit() && !gFileMgr.Zips().empty())
        {
            DrawModels(viewer, drawer);
            std::vector<std::string> names;
            for (const ZipEntry& entry : gFileMgr.Zips()[0]->Entries())
                names.push_back(entry.name);
            for (const std::string& name : names)
            {
                memfile_t file(name.c_str(), "rb");
                cImage image;
                if (EndsWith(name, ".shader"))
                    gShaderMgr.ParseScript(file);
                else if (EndsWith(name, ".cfg"))
                    gConsole.Execute(("exec " + name).c_str());
                else if (IsImage(name) && file.data && image.LoadFromFile(file))
                    gFileMgr.Release(name.c_str());
            }
            // The game look keeps every skin and reads every script.
            gGameLook = true;
            gShaderMgr.Reset();
            gShaderMgr.ParseAllScripts();
            viewer.ClearModels();
            viewer.BuildModelLists();
            DrawModels(viewer, drawer);
            gGameLook = false;
        }
    }
    SetModelDrawer(nullptr);
    FuzzResetManagers();
    return 0;
}
