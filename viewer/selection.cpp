// The viewer's model lists and selection: which player and weapon are current, the one place
// where entries load, and what hangs on the player's weapon tag and the weapon's flash tag.
#include "viewer/viewerapp.h"

#include "fs/filemgr.h"
#include "fs/zipfile.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "platform/gamelook.h"
#include "platform/log.h"

#include <algorithm>
#include <cctype>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <set>
#include <string>
#include <strings.h>

namespace
{
std::string Lower(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

// The folders directly under dir (which ends in '/') in the archive, lower case. A folder counts
// when any member lies inside it, with or without a record of its own.
std::set<std::string> FoldersUnder(const cZipFile& zip, const std::string& dir)
{
    std::set<std::string> folders;
    for (const ZipEntry& e : zip.Entries())
    {
        if (e.name.size() <= dir.size() || strncasecmp(e.name.c_str(), dir.c_str(), dir.size()) != 0)
            continue;
        size_t slash = e.name.find('/', dir.size());
        if (slash != std::string::npos && slash > dir.size())
            folders.insert(Lower(e.name.substr(dir.size(), slash - dir.size())));
    }
    return folders;
}

// The folder names the archives list under dir, in mount and directory order. Files lying
// directly in dir are left out: only a folder can hold a model. When the archives overlap
// (unique listing), each folder comes once, sorted by name, however many archives hold it.
std::vector<std::string> ListModelFolders(const char* dir)
{
    std::vector<std::string> names;
    std::set<std::string> seen;
    const std::string pattern = std::string(dir) + "*.*";
    const bool unique = gFileMgr.UniqueListing();
    for (const auto& zip : gFileMgr.Zips())
    {
        std::vector<std::string> listed;
        zip->list(pattern.c_str(), listed);
        const std::set<std::string> folders = FoldersUnder(*zip, dir);
        for (const std::string& name : listed)
            if (folders.count(Lower(name)) && (!unique || seen.insert(Lower(name)).second))
                names.push_back(name);
    }
    if (unique)
        std::sort(names.begin(), names.end(),
                  [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    return names;
}

// Index stepping with wrap-around; an empty list gives 0 going forward and -1 going back.
int StepForward(int index, size_t count) { return index + 1 >= static_cast<int>(count) ? 0 : index + 1; }
int StepBack(int index, size_t count) { return index - 1 < 0 ? static_cast<int>(count) - 1 : index - 1; }

template <class T> T* Entry(std::vector<std::unique_ptr<T>>& list, int index)
{
    return index >= 0 && index < static_cast<int>(list.size()) ? list[index].get() : nullptr;
}

// Loads the entry unless it is loaded or its last load failed; records the outcome.
template <class T>
T* LoadOnDemand(std::vector<std::unique_ptr<T>>& list, std::vector<bool>& failed, int index)
{
    T* entry = Entry(list, index);
    if (entry && !entry->IsLoaded() && !failed[index])
    {
        const std::string folder = entry->name;
        entry->Load(folder.c_str());
        failed[index] = !entry->IsLoaded();
    }
    return entry;
}

// Index of the first entry that loads, or 0 when none does.
template <class T> int FirstLoadable(std::vector<std::unique_ptr<T>>& list, std::vector<bool>& failed)
{
    for (int i = 0; i < static_cast<int>(list.size()); ++i)
        if (LoadOnDemand(list, failed, i)->IsLoaded())
            return i;
    return 0;
}

// A new selection is given one more try even when it failed before.
void Retry(std::vector<bool>& failed, int index)
{
    if (index >= 0 && index < static_cast<int>(failed.size()))
        failed[index] = false;
}

// With the game look, a player no longer shown gives back its vertex frames (parts it shares
// with the new one aside), and the freed memory goes back to the system; drawing it again reads
// them back from the archive.
void ReleaseFrames(cModelQ3* previous, cModelQ3* current)
{
    if (!gGameLook || !previous || previous == current || !previous->IsLoaded())
        return;
    for (cMd3* part : {previous->lower, previous->upper, previous->head})
        if (!current || (part != current->lower && part != current->upper && part != current->head))
            part->ReleaseFrames();
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void ShowFlash(cWeaponQ3& weapon, bool show)
{
    if (weapon.main)
        weapon.main->AttachToTag("tag_flash", show ? weapon.flash : nullptr);
}
} // namespace

void ViewerApp::BuildModelLists()
{
    for (const std::string& folder : ListModelFolders("models/players/"))
    {
        players.emplace_back(new cModelQ3());
        players.back()->name = "models/players/" + folder;
        playerFailed.push_back(false);
    }
    for (const std::string& folder : ListModelFolders("models/weapons2/"))
    {
        weapons.emplace_back(new cWeaponQ3());
        weapons.back()->name = "models/weapons2/" + folder;
        weaponFailed.push_back(false);
    }
}

// Starts on the first player that loads rather than on an empty view (an archive may list a
// folder of textures first), and likewise on the first weapon that loads. When none loads the
// first entry stays selected. At start the weapon hangs whatever the gun switch says.
void ViewerApp::SelectFirstLoadable()
{
    currentPlayer = FirstLoadable(players, playerFailed);
    if (!CurrentModel())
        return;
    currentWeapon = FirstLoadable(weapons, weaponFailed);
    if (cWeaponQ3* weapon = CurrentWeapon())
        ShowFlash(*weapon, flash.Bool());
    HangWeapon(true);
}

void ViewerApp::HangWeapon(bool gun)
{
    cModelQ3* player = CurrentModel();
    if (!player || !player->upper)
        return;
    cWeaponQ3* weapon = CurrentWeapon();
    player->upper->AttachToTag("tag_weapon", gun && weapon ? weapon->main : nullptr);
}

cModelQ3* ViewerApp::CurrentModel() { return Entry(players, currentPlayer); }

cWeaponQ3* ViewerApp::CurrentWeapon() { return Entry(weapons, currentWeapon); }

// Another model may fail for the same causes as the last one: its messages are shown again.
void ViewerApp::SelectModel(int index)
{
    cModelQ3* previous = CurrentModel();
    ForgetLoggedOnce();
    currentPlayer = index;
    Retry(playerFailed, currentPlayer);
    AttachWeapon();
    ReleaseFrames(previous, CurrentModel());
    SelectionChanged(true);
}

void ViewerApp::SelectWeapon(int index)
{
    ForgetLoggedOnce();
    currentWeapon = index;
    Retry(weaponFailed, currentWeapon);
    AttachWeapon();
    SelectionChanged(false);
}

void ViewerApp::NextModel() { SelectModel(StepForward(currentPlayer, players.size())); }

void ViewerApp::PrevModel() { SelectModel(StepBack(currentPlayer, players.size())); }

void ViewerApp::NextWeapon() { SelectWeapon(StepForward(currentWeapon, weapons.size())); }

void ViewerApp::PrevWeapon() { SelectWeapon(StepBack(currentWeapon, weapons.size())); }

// A weapon that did not load takes the previous one out of the hand, and a player chosen while
// the gun is off holds nothing, whatever its shared torso part held before.
void ViewerApp::AttachWeapon()
{
    LoadOnDemand(players, playerFailed, currentPlayer);
    cWeaponQ3* weapon = LoadOnDemand(weapons, weaponFailed, currentWeapon);
    if (weapon)
        ShowFlash(*weapon, flash.Bool());
    HangWeapon(gunOn);
}

void ViewerApp::ToggleGun()
{
    if (!CurrentModel() || !CurrentWeapon())
        return;
    gunOn = !gunOn;
    HangWeapon(gunOn);
}

void ViewerApp::NextSkin()
{
    cModelQ3* player = CurrentModel();
    if (player && player->IsLoaded())
        player->NextSkin();
}

void ViewerApp::PrevSkin()
{
    cModelQ3* player = CurrentModel();
    if (player && player->IsLoaded())
        player->PrevSkin();
}

void ViewerApp::ApplyFlash()
{
    for (const std::unique_ptr<cWeaponQ3>& weapon : weapons)
        if (weapon->IsLoaded())
            ShowFlash(*weapon, flash.Bool());
}

void ViewerApp::ClearModels()
{
    LeaveSolo();
    players.clear();
    weapons.clear();
    playerFailed.clear();
    weaponFailed.clear();
}
