// Weapon loading: the main part from the folder named after the weapon, then its optional
// barrel and flash, both hung on the main part.
#include "model/weaponq3.h"

#include "platform/log.h"
#include "model/md3.h"
#include "model/ressmgr.h"

#include <cstdio>
#include <cstring>

namespace
{
// Longest folder path a weapon accepts; its part paths fit the buffer below.
const size_t WEAPON_MAX_FOLDER = 200;
} // namespace

cWeaponQ3::~cWeaponQ3() { Unload(); }

void cWeaponQ3::Unload()
{
    cMd3** parts[3] = {&main, &barrel, &flash};
    for (cMd3** part : parts)
    {
        if (*part)
            gRessMgr.Release(*part);
        *part = nullptr;
    }
}

bool cWeaponQ3::Load(const char* folder)
{
    Unload();
    loadError.clear();
    if (!folder || strlen(folder) > WEAPON_MAX_FOLDER)
    {
        loadError = "folder path too long";
        return DebugLog("cWeaponQ3:: folder path too long : %.200s", folder ? folder : "(null)");
    }
    const char* slash = strrchr(folder, '/');
    const char* shortName = slash ? slash + 1 : folder;

    // Folder and short name together stay within twice the limit plus the suffix.
    char path[2 * WEAPON_MAX_FOLDER + 32];
    snprintf(path, sizeof path, "%s/%s.md3", folder, shortName);
    if (!(main = gRessMgr.Load(path, &loadError)))
        return false;
    // Barrel and flash are optional, but running out of memory on either fails the whole load.
    std::string partError;
    snprintf(path, sizeof path, "%s/%s_barrel.md3", folder, shortName);
    barrel = gRessMgr.Load(path, &partError);
    snprintf(path, sizeof path, "%s/%s_flash.md3", folder, shortName);
    if (partError != MD3_OUT_OF_MEMORY)
        flash = gRessMgr.Load(path, &partError);
    if (partError == MD3_OUT_OF_MEMORY)
    {
        Unload();
        loadError = MD3_OUT_OF_MEMORY;
        return DebugLog("cWeaponQ3:: %s : out of memory", folder);
    }

    // The flash hangs on the main part, not on the barrel.
    if (barrel)
        main->AttachToTag("tag_barrel", barrel);
    if (flash)
        main->AttachToTag("tag_flash", flash);
    return true;
}
