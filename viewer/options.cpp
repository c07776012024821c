// The command line applied at start: the game folder or archive it names, then the player,
// skin, weapon, animations, frame and model it chooses, and the framing setting of app.cfg.
#include "viewer/viewerapp.h"

#include "fs/filemgr.h"
#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "platform/configfile.h"

#include <strings.h>
#include <sys/stat.h>

namespace
{
// The folder name of a list entry ("models/players/sarge" gives "sarge").
std::string ShortName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Index of the entry whose folder (or whole path) is name, any letter case; -1 when none is.
template <class T> int FindEntry(const std::vector<std::unique_ptr<T>>& list, const std::string& name)
{
    for (size_t i = 0; i < list.size(); i++)
        if (strcasecmp(ShortName(list[i]->name).c_str(), name.c_str()) == 0 ||
            strcasecmp(list[i]->name.c_str(), name.c_str()) == 0)
            return static_cast<int>(i);
    return -1;
}

template <class T> std::string Choices(const std::vector<std::unique_ptr<T>>& list)
{
    std::string names;
    for (const auto& entry : list)
        names += (names.empty() ? "" : ", ") + ShortName(entry->name);
    return names.empty() ? "none" : names;
}
} // namespace

// A folder gives every archive in it, later names overriding earlier ones, each model once;
// a file is that archive alone.
void ViewerApp::MountGameOption()
{
    struct stat info;
    const bool folder = stat(options.game.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    gFileMgr.SetUniqueListing(folder);
    if (folder ? gFileMgr.MountZipFolder(options.game.c_str()) == 0
               : !gFileMgr.MountZip(options.game.c_str()))
        startError = folder ? "no .pk3 archive could be opened in " + options.game
                            : options.game + " could not be opened as a .pk3 archive";
}

void ViewerApp::ApplyStartOptions(const ConfigFile& config)
{
    // 1 points the camera at each player as it is chosen; without the key it starts where it
    // always has.
    framing = config.GetInt("framing", 0) == 1;
    modelPaths = ArchiveModelPaths();
    if (!startError.empty())
        return;
    const sViewerOptions& o = options;
    if (o.player == "none")
        weaponOnly = true;
    else if (!o.player.empty())
    {
        const int index = FindEntry(players, o.player);
        if (index < 0)
        {
            startError = "no player " + o.player + " in the game (players: " + Choices(players) + ")";
            return;
        }
        SelectModel(index);
    }
    cModelQ3* player = CurrentModel();
    if (!o.player.empty() && !weaponOnly && !player->IsLoaded())
    {
        startError = "player " + o.player + " did not load: " + player->loadError;
        return;
    }
    if (o.weapon == "none")
    {
        if (gunOn)
            ToggleGun();
        gunOn = false;
    }
    else if (!o.weapon.empty())
    {
        const int index = FindEntry(weapons, o.weapon);
        if (index < 0)
        {
            startError = "no weapon " + o.weapon + " in the game (weapons: " + Choices(weapons) + ")";
            return;
        }
        SelectWeapon(index);
    }
    if (player && player->IsLoaded())
    {
        if (!o.skin.empty())
        {
            uint32_t skin = 0;
            while (skin < player->skinCount && strcasecmp(player->skinNames[skin], o.skin.c_str()) != 0)
                skin++;
            if (skin == player->skinCount)
            {
                std::string names;
                for (uint32_t s = 0; s < player->skinCount; s++)
                    names += (s ? ", " : "") + std::string(player->skinNames[s]);
                startError = "no skin " + o.skin + " for " + player->name + " (skins: " + names + ")";
                return;
            }
            player->SelectSkin(skin);
        }
        for (const std::string& anim : o.anims)
            player->SetAnimationByName(anim.c_str());
        if (o.frame >= 0)
            player->SetFrame(static_cast<uint32_t>(o.frame));
    }
    if (!o.model.empty() && !ShowModel(o.model))
    {
        startError = "model " + o.model + " did not load (see " + std::string(settings.debugFile) + ")";
        return;
    }
    if (framing || solo || weaponOnly)
        FrameView();
}
