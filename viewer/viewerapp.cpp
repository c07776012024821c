// The viewer's start-up, its model lists and selection, drawing of the scene and its keys.
#include "viewer/viewerapp.h"

#include "platform/configfile.h"
#include "platform/log.h"
#include "console/console.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"

#include <SDL.h>
#include <algorithm>
#include <cctype>
#include <set>
#include <string>

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
    const std::string lowerDir = Lower(dir);
    for (const ZipEntry& e : zip.Entries())
    {
        if (e.name.size() <= dir.size() || Lower(e.name.substr(0, dir.size())) != lowerDir)
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

// Loads entry unless it is loaded or its last load failed; records the outcome.
template <class T>
T* LoadOnDemand(std::vector<std::unique_ptr<T>>& list, std::vector<bool>& failed, int index)
{
    if (index < 0 || index >= static_cast<int>(list.size()))
        return nullptr;
    T* entry = list[index].get();
    if (!entry->IsLoaded() && !failed[index])
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
} // namespace

ViewerApp::ViewerApp() {}

ViewerApp::~ViewerApp() { ClearModels(); }

// The console may outlive the viewer (globals go away in any order at exit, tests make many
// viewers): its actions reach the viewer through a handle that dies with it.
std::function<void()> ViewerApp::Bound(void (ViewerApp::*operation)())
{
    std::weak_ptr<ViewerApp*> target = self;
    return [target, operation] {
        if (std::shared_ptr<ViewerApp*> viewer = target.lock())
            ((*viewer)->*operation)();
    };
}

bool ViewerApp::OnInit()
{
    gConsole.RegisterAction("nextmodel", Bound(&ViewerApp::NextModel));
    gConsole.RegisterAction("prevmodel", Bound(&ViewerApp::PrevModel));
    gConsole.RegisterAction("nextweap", Bound(&ViewerApp::NextWeapon));
    gConsole.RegisterAction("prevweap", Bound(&ViewerApp::PrevWeapon));
    gConsole.RegisterAction("gun", Bound(&ViewerApp::ToggleGun));

    memfile_t settingsFile;
    if (!settingsFile.open("app.cfg", "r"))
        return DebugLog("App:: where is the app.cfg??");
    ConfigFile config('=');
    config.Load(settingsFile, '=');
    settingsFile.close();

    const KeyValue* gamePath = config.Find("q3apath");
    if (!gamePath || gamePath->value.empty() || gamePath->value.size() > VIEWER_MAX_GAME_PATH)
        return DebugLog("App:: Q3A Path not specified in app.cfg!");
    // Other games of the same format keep their data in a game folder of another name; modders
    // and updates add archives beside pak0.pk3, which mountall takes in as well.
    const KeyValue* gameName = config.Find("q3game");
    const std::string gameFolder =
        gamePath->value + "/" + (gameName && !gameName->value.empty() ? gameName->value : "baseq3");
    const bool mountAll = config.GetInt("mountall", 0) == 1;
    gFileMgr.SetUniqueListing(mountAll);
    if (mountAll)
        gFileMgr.MountZipFolder(gameFolder.c_str());
    else
        gFileMgr.MountZip((gameFolder + "/pak0.pk3").c_str());

    memfile_t shaderFile;
    shaderFile.open("scripts/models.shader", "r");
    gShaderMgr.ParseScript(shaderFile);
    shaderFile.close();

    gTess.lightmapTexture = 0;
    gTess.specialTexture = 0;

    camera.SetMode(CAMERA_EXAMINE);
    camera.x = 0.0f;
    camera.y = 5.0f;
    camera.z = 75.0f;

    BuildModelLists();
    Log("ViewerApp:: %d players, %d weapons listed", static_cast<int>(players.size()),
        static_cast<int>(weapons.size()));
    SelectFirstLoadable();
    HangStartWeapon();
    return true;
}

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
// first entry stays selected.
void ViewerApp::SelectFirstLoadable()
{
    currentPlayer = FirstLoadable(players, playerFailed);
    if (CurrentModel())
        currentWeapon = FirstLoadable(weapons, weaponFailed);
}

// At start the weapon hangs whatever the gun switch says; no weapon clears the tag.
void ViewerApp::HangStartWeapon()
{
    cModelQ3* player = CurrentModel();
    if (!player)
        return;
    cWeaponQ3* weapon = CurrentWeapon();
    if (!player->upper)
        return;
    if (!weapon)
        player->upper->AttachToTag("tag_weapon", nullptr);
    else if (weapon->main)
        player->upper->AttachToTag("tag_weapon", weapon->main);
}

cModelQ3* ViewerApp::CurrentModel() { return LoadOnDemand(players, playerFailed, currentPlayer); }

cWeaponQ3* ViewerApp::CurrentWeapon() { return LoadOnDemand(weapons, weaponFailed, currentWeapon); }

void ViewerApp::NextModel()
{
    currentPlayer = StepForward(currentPlayer, players.size());
    Retry(playerFailed, currentPlayer);
    AttachWeapon();
}

void ViewerApp::PrevModel()
{
    currentPlayer = StepBack(currentPlayer, players.size());
    Retry(playerFailed, currentPlayer);
    AttachWeapon();
}

void ViewerApp::NextWeapon()
{
    currentWeapon = StepForward(currentWeapon, weapons.size());
    Retry(weaponFailed, currentWeapon);
    AttachWeapon();
}

void ViewerApp::PrevWeapon()
{
    currentWeapon = StepBack(currentWeapon, weapons.size());
    Retry(weaponFailed, currentWeapon);
    AttachWeapon();
}

void ViewerApp::AttachWeapon()
{
    cModelQ3* player = CurrentModel();
    cWeaponQ3* weapon = CurrentWeapon();
    if (gunOn && player && weapon && player->upper && weapon->main)
        player->upper->AttachToTag("tag_weapon", weapon->main);
}

void ViewerApp::ToggleGun()
{
    cModelQ3* player = CurrentModel();
    cWeaponQ3* weapon = CurrentWeapon();
    if (!player || !weapon)
        return;
    gunOn = !gunOn;
    if (!gunOn)
    {
        if (player->upper)
            player->upper->AttachToTag("tag_weapon", nullptr);
    }
    else
        AttachWeapon();
}

void ViewerApp::ClearModels()
{
    players.clear();
    weapons.clear();
    playerFailed.clear();
    weaponFailed.clear();
}

void ViewerApp::Render()
{
    cModelQ3* player = CurrentModel();
    if (!player || !player->IsLoaded())
        return;
    gTess.Reset();
    player->Render();
    if (gTess.pending != TESS_EMPTY)
        gTess.Flush();
}

void ViewerApp::Update(float, float)
{
    if (camera.mode != CAMERA_EXAMINE)
        camera.ApplyEyeView();
    else
        camera.ApplyObjectView();
}

void ViewerApp::OnKeyState(InputState* state)
{
    camera.speed = FrameFactor() * 1.2f;
    camera.Update(*state);
}

// The viewer's keys act on release.
void ViewerApp::OnKeyUp(uint32_t sym, uint32_t)
{
    cModelQ3* player = CurrentModel();
    if (!player || sym < SDLK_COMMA || sym > SDLK_PAGEDOWN)
        return;
    switch (sym)
    {
    case SDLK_LESS:
        ToggleGun();
        return;
    case SDLK_q:
        showText = !showText;
        return;
    case SDLK_KP_DIVIDE:
        PrevWeapon();
        return;
    case SDLK_KP_MULTIPLY:
        NextWeapon();
        return;
    case SDLK_KP_MINUS:
        PrevModel();
        return;
    case SDLK_KP_PLUS:
        NextModel();
        return;
    default:
        break;
    }
    // Skins, speed and animations need the model's parts.
    if (!player->IsLoaded())
        return;
    if (sym >= SDLK_1 && sym <= SDLK_7)
    {
        player->SelectSkin(sym - SDLK_1);
        return;
    }
    switch (sym)
    {
    case SDLK_COMMA:
        player->ChangeSpeed(-1);
        break;
    case SDLK_PERIOD:
        player->ChangeSpeed(+1);
        break;
    case SDLK_DELETE:
        player->PrevBothAnim();
        break;
    case SDLK_INSERT:
        player->NextBothAnim();
        break;
    case SDLK_HOME:
        player->NextTorsoAnim();
        break;
    case SDLK_END:
        player->PrevTorsoAnim();
        break;
    case SDLK_PAGEUP:
        player->NextLegsAnim();
        break;
    case SDLK_PAGEDOWN:
        player->PrevLegsAnim();
        break;
    default:
        break;
    }
}
