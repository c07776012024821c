// Skin files on arbitrary bytes: a player whose archive holds good parts and one skin made of
// the input (for each part) is loaded, every skin is selected and the player is drawn.
#include "fs/filemgr.h"
#include "fuzzsupport.h"
#include "model/modelq3.h"
#include "support/zipbuilder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzResetManagers();
    const std::string folder = "models/players/fuzz";
    std::vector<unsigned char> skin(data, data + size);
    ZipBuilder zip;
    for (const auto& part : FuzzPlayerParts(folder))
        zip.AddFile(part.first, part.second);
    for (const char* name : {"lower_red.skin", "upper_red.skin", "head_red.skin", "lower_default.skin"})
        zip.AddFile(folder + "/" + name, skin);
    std::vector<unsigned char> archive = zip.Build();
    if (!FuzzWriteFile("fuzz.pk3", archive.data(), archive.size()) || !gFileMgr.MountZip("fuzz.pk3"))
        abort();

    cCountingDrawer drawer;
    SetModelDrawer(&drawer);
    {
        cModelQ3 player;
        if (!player.Load(folder.c_str()))
            abort();
        for (uint32_t k = 0; k <= player.skinCount; k++)
        {
            player.SelectSkin(k);
            cModelQ3::RenderTree(player.lower);
        }
    }
    SetModelDrawer(nullptr);
    return 0;
}
