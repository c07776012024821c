// Player skins: the folder's lower_<skin>.skin files name the skins; each part's skin file
// fills the next free shader slot of the surfaces it names.
#include "app/log.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "model/modelq3.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

// Skin 0 is always "default": the shaders the model files name themselves.
void cModelQ3::LoadSkins()
{
    if (!modelDir[0])
    {
        DebugLog("cModelQ3:: can`t load skins (modeldir not specified!)");
        return;
    }
    snprintf(skinNames[0], sizeof skinNames[0], "default");
    skinCount = 1;
    ListSkins();
    for (uint32_t k = 1; k < skinCount; k++)
    {
        LoadSkinFile(head, "head_", k);
        LoadSkinFile(upper, "upper_", k);
        LoadSkinFile(lower, "lower_", k);
    }
}

void cModelQ3::ListSkins()
{
    char pattern[MODEL_NAME_SIZE + 16];
    snprintf(pattern, sizeof pattern, "%s/*.skin", modelDir);
    std::vector<std::string> names;
    for (const auto& zip : gFileMgr.Zips())
        zip->list(pattern, names);

    // Only the lower part's files name the skins; upper and head follow the same names.
    for (const std::string& file : names)
    {
        if (file.find("lower_") == std::string::npos || file.size() < 5)
            continue;
        std::string base = file.substr(0, file.size() - 5);
        std::string skin = base.substr(base.find('_') + 1);
        if (strcasecmp(skin.c_str(), "default") == 0)
            continue;
        if (skinCount >= MODEL_MAX_SKINS)
        {
            DebugLog("cModelQ3:: %s : more than %d skins, %s left out", modelDir, MODEL_MAX_SKINS,
                     skin.c_str());
            continue;
        }
        snprintf(skinNames[skinCount], sizeof skinNames[skinCount], "%s", skin.c_str());
        skinCount++;
    }
}

// Each used line reads "surface,shader". The shader goes into the surface's next free slot,
// so a part without a file for some skin shifts its later skins down one slot.
void cModelQ3::LoadSkinFile(cMd3* part, const char* prefix, uint32_t skin)
{
    if (!part || !prefix || !prefix[0] || skin >= skinCount || skin >= MODEL_MAX_SKINS)
        return;
    char path[3 * MODEL_NAME_SIZE];
    snprintf(path, sizeof path, "%s/%s%s.skin", modelDir, prefix, skinNames[skin]);
    memfile_t file;
    if (!file.open(path, "r"))
        return;

    char line[MEMFILE_MAX_LINE + 1];
    while (file.ReadLine(line, MEMFILE_MAX_LINE))
    {
        // Lines of other parts and tag lines start with another letter.
        if (line[0] != prefix[0])
            continue;
        char* comma = strchr(line, ',');
        if (!comma || comma == line)
            continue;
        *comma = 0;
        char* shader = comma + 1;
        char* end = strchr(shader, ',');
        if (end)
            *end = 0;
        size_t len = strlen(shader);
        if (len && shader[len - 1] == '\n')
            shader[--len] = 0;
        if (!len)
            continue;
        for (sMd3Surface& surface : part->surfaces)
        {
            if (strcasecmp(surface.name, line) != 0)
                continue;
            if (surface.numShaders < MD3_MAX_SHADER_SLOTS)
            {
                snprintf(surface.shaders[surface.numShaders].name, MD3_NAME_SIZE, "%s", shader);
                surface.numShaders++;
            }
            break;
        }
    }
}

void cModelQ3::SelectSkin(uint32_t skin)
{
    if (skin >= skinCount || skin >= MODEL_MAX_SKINS)
        return;
    cMd3* parts[3] = {lower, upper, head};
    for (cMd3* part : parts)
        if (part)
            part->skinIndex = skin;
    currentSkin = skin;
}
