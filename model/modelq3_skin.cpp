// Player skins: the folder's lower_<skin>.skin files name the skins; skin k's file for a part
// puts its shaders in slot k of the surfaces it names. The default skin files stand in for
// model-file shaders that lead nowhere and for surfaces a skin does not name.
#include "platform/log.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "model/modelq3.h"
#include "platform/gamelook.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

// Skin 0 is always "default": the shaders the model files name themselves. Skin k is drawn
// from slot k of every surface, so the slots are emptied before the files fill them again.
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
    for (cMd3* part : {head, upper, lower})
        if (part)
            for (sMd3Surface& surface : part->surfaces)
                surface.ClearSkinSlots();
    for (uint32_t k = 1; k < skinCount; k++)
    {
        LoadSkinFile(head, "head_", k);
        LoadSkinFile(upper, "upper_", k);
        LoadSkinFile(lower, "lower_", k);
    }
    LoadDefaultSkin(head, "head_");
    LoadDefaultSkin(upper, "upper_");
    // A player without default skin files has no skin 0 worth showing: the game look starts
    // it on its first listed skin.
    if (!LoadDefaultSkin(lower, "lower_") && gGameLook && skinCount > 1)
        SelectSkin(1);
}

void cModelQ3::ListSkins()
{
    char pattern[MODEL_NAME_SIZE + 16];
    snprintf(pattern, sizeof pattern, "%s/*.skin", modelDir);
    std::vector<std::string> names;
    gFileMgr.list(pattern, names);

    // Only the lower part's files name the skins; upper and head follow the same names.
    for (const std::string& file : names)
    {
        if (file.find("lower_") == std::string::npos || file.size() < 5)
            continue;
        std::string base = file.substr(0, file.size() - 5);
        std::string skin = base.substr(base.find('_') + 1);
        if (strcasecmp(skin.c_str(), "default") == 0)
            continue;
        const uint32_t limit = gGameLook ? MODEL_MAX_LISTED_SKINS : MODEL_MAX_SKINS;
        if (skinCount >= limit)
        {
            DebugLog("cModelQ3:: %s : more than %d skins, %s left out", modelDir, static_cast<int>(limit),
                     skin.c_str());
            continue;
        }
        snprintf(skinNames[skinCount], sizeof skinNames[skinCount], "%s", skin.c_str());
        skinCount++;
    }
}

namespace
{
// Calls use(surface, shader) for each line of the skin file at path that starts with the
// part's letter and reads "surface,shader" (the shader may be empty); other lines (tags,
// other parts) are skipped. Answers whether the file exists.
template <class Use> bool ReadSkinFile(const char* path, char partLetter, Use use)
{
    memfile_t file;
    if (!file.open(path, "r"))
        return false;
    char line[MEMFILE_MAX_LINE + 1];
    while (file.ReadLine(line, MEMFILE_MAX_LINE))
    {
        if (line[0] != partLetter)
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
        use(line, shader);
    }
    // Nothing of the file is needed again: a player with many large skin files keeps none.
    file.close();
    gFileMgr.Release(path);
    return true;
}

// The first surface of part called name, any case, or null.
sMd3Surface* FindSurface(cMd3* part, const char* name)
{
    for (sMd3Surface& surface : part->surfaces)
        if (strcasecmp(surface.name, name) == 0)
            return &surface;
    return nullptr;
}
} // namespace

// A surface that the file names twice keeps the first shader, as the default file does. A
// line without a shader leaves the slot empty but marks it as named (a later line with a
// shader still fills it).
void cModelQ3::LoadSkinFile(cMd3* part, const char* prefix, uint32_t skin)
{
    if (!part || !prefix || !prefix[0] || skin >= skinCount || skin >= MODEL_MAX_LISTED_SKINS)
        return;
    char path[3 * MODEL_NAME_SIZE];
    snprintf(path, sizeof path, "%s/%s%s.skin", modelDir, prefix, skinNames[skin]);
    std::vector<const sMd3Surface*> named;
    ReadSkinFile(path, prefix[0],
                 [part, skin, &named](const char* surfaceName, const char* shader)
                 {
                     sMd3Surface* surface = FindSurface(part, surfaceName);
                     sMd3Shader* slot = surface ? surface->MakeSlot(skin) : nullptr;
                     if (!slot)
                         return;
                     const bool seen = std::find(named.begin(), named.end(), surface) != named.end();
                     if (seen && (slot->name[0] || !shader[0]))
                         return;
                     if (!seen)
                         named.push_back(surface);
                     snprintf(slot->name, MD3_NAME_SIZE, "%s", shader);
                     slot->namedEmpty = !shader[0];
                 });
}

// The part's <prefix>default.skin is no skin of its own; it gives each surface it names the
// shader to draw in skin 0 when the model file's own one leads nowhere, and in any skin that
// leaves the surface out. The first line wins.
bool cModelQ3::LoadDefaultSkin(cMd3* part, const char* prefix)
{
    if (!part || !prefix || !prefix[0])
        return false;
    for (sMd3Surface& surface : part->surfaces)
        surface.defaultSkin.name[0] = 0;
    char path[3 * MODEL_NAME_SIZE];
    snprintf(path, sizeof path, "%s/%sdefault.skin", modelDir, prefix);
    return ReadSkinFile(path, prefix[0],
                        [part](const char* surfaceName, const char* shader)
                        {
                            sMd3Surface* surface = FindSurface(part, surfaceName);
                            if (surface && !surface->defaultSkin.name[0])
                                snprintf(surface->defaultSkin.name, MD3_NAME_SIZE, "%s", shader);
                        });
}

void cModelQ3::SelectSkin(uint32_t skin)
{
    if (skin >= skinCount || skin >= MODEL_MAX_LISTED_SKINS)
        return;
    cMd3* parts[3] = {lower, upper, head};
    for (cMd3* part : parts)
        if (part)
            part->skinIndex = skin;
    currentSkin = skin;
}

void cModelQ3::NextSkin()
{
    if (skinCount)
        SelectSkin(currentSkin + 1 < skinCount ? currentSkin + 1 : 0);
}

void cModelQ3::PrevSkin()
{
    if (skinCount)
        SelectSkin(currentSkin == 0 || currentSkin >= skinCount ? skinCount - 1 : currentSkin - 1);
}
