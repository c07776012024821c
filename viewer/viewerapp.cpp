// The viewer's start-up, drawing of the scene, its keys and its console variable.
#include "viewer/viewerapp.h"

#include "platform/configfile.h"
#include "platform/gamelook.h"
#include "platform/log.h"
#include "console/console.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"

#include <SDL.h>
#include <string>

ViewerApp::ViewerApp()
{
    flash.type = CONVAR_BOOL;
    flash.Set(1);
}

ViewerApp::~ViewerApp() { ClearModels(); }

// The console may outlive the viewer (globals go away in any order at exit, tests make many
// viewers): its actions reach the viewer through a handle that dies with it.
std::function<void()> ViewerApp::Bound(void (ViewerApp::*operation)())
{
    std::weak_ptr<ViewerApp*> target = self;
    return [target, operation]
    {
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
    gConsole.RegisterAction("nextskin", Bound(&ViewerApp::NextSkin));
    gConsole.RegisterAction("prevskin", Bound(&ViewerApp::PrevSkin));
    gConsole.RegisterVar("flash", &flash, this, -1);
    display.Register();
    RegisterTools();

    memfile_t settingsFile;
    if (!settingsFile.open(options.config.c_str(), "r"))
        return DebugLog("App:: where is the app.cfg??");
    ConfigFile config('=');
    config.Load(settingsFile, '=');
    settingsFile.close();
    // 1 draws what real game data means (every shader script, skins and animations as the
    // game plays them); 0, also when the key is absent, keeps to the plain rules.
    gGameLook = config.GetInt("gamelook", 0) == 1;
    ApplyInputSettings(config);

    const KeyValue* gamePath = config.Find("q3apath");
    // A game named on the command line replaces the one app.cfg names.
    if (!options.game.empty())
        MountGameOption();
    else if (!gamePath || gamePath->value.empty() || gamePath->value.size() > VIEWER_MAX_GAME_PATH)
        return DebugLog("App:: Q3A Path not specified in app.cfg!");
    else
    {
        // Other games of the same format keep their data in a game folder of another name;
        // modders and updates add archives beside pak0.pk3, which mountall takes in as well.
        const KeyValue* gameName = config.Find("q3game");
        const std::string gameFolder =
            gamePath->value + "/" + (gameName && !gameName->value.empty() ? gameName->value : "baseq3");
        const bool mountAll = config.GetInt("mountall", 0) == 1;
        gFileMgr.SetUniqueListing(mountAll);
        if (mountAll)
            gFileMgr.MountZipFolder(gameFolder.c_str());
        else
            gFileMgr.MountZip((gameFolder + "/pak0.pk3").c_str());
    }

    // Real models name shaders of every script (muzzle flashes, effects, team skins). They are
    // read while the lists are made and the first model's files load; its first shader lookup
    // waits for them.
    if (gGameLook)
        gShaderMgr.StartAllScripts();
    else
    {
        memfile_t shaderFile;
        shaderFile.open("scripts/models.shader", "r");
        gShaderMgr.ParseScript(shaderFile);
        shaderFile.close();
    }

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
    ApplyStartOptions(config);
    return true;
}

// Only the flash variable is the viewer's; the others belong to the application.
bool ViewerApp::OnVariableChange(ConVar* var, ConArgs* args)
{
    if (var != &flash)
        return App::OnVariableChange(var, args);
    if (!args || !args->Arg(0))
        return false;
    flash.Set(args->Arg(0));
    ApplyFlash();
    return true;
}

void ViewerApp::Render()
{
    if (RenderSolo())
        return;
    cModelQ3* player = CurrentModel();
    if (!player || !player->IsLoaded())
        return;
    gTess.Reset();
    display.BeginModel();
    player->Render();
    if (gTess.pending != TESS_EMPTY)
        gTess.Flush();
    display.EndModel(*player);
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
    case SDLK_LEFTBRACKET:
        player->PrevSkin();
        break;
    case SDLK_RIGHTBRACKET:
        player->NextSkin();
        break;
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
