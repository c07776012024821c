// The model viewer: lists every player and weapon folder of the game archive, draws the current
// player with the current weapon in its hand, and steps through both lists by key and action.
#pragma once

#include "app/app.h"
#include "console/convar.h"
#include "text/textblock.h"
#include "viewer/camera.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class cFont;
class cModelQ3;
class cRessource;
class cWeaponQ3;

// Longest q3apath that still leaves room for "/baseq3/pak0.pk3" in a 256-character path.
const int VIEWER_MAX_GAME_PATH = 237;

// The overlay's frame rate: frames are counted and the shown value is renewed once more than
// a second has passed, averaged over that interval.
struct sFrameRate
{
    void Count(uint32_t nowMs);

    int frames = 0;
    int perSecond = 0;
    uint32_t lastUpdate = 0;
};

// One line of a model list in the overlay: its text and colour.
struct sListLine
{
    std::string text;
    float color[3];
};

// The overlay's text in blocks, each laid out again only where its text changed.
struct sOverlayText
{
    cTextBlock rate;  // frame rate and camera position
    cTextBlock stats; // the player's statistics and what failed
    cTextBlock lists; // the model lists with their headings
};

class ViewerApp : public App
{
  public:
    ViewerApp();
    ~ViewerApp() override;

    bool OnVariableChange(ConVar* var, ConArgs* args) override;
    bool OnInit() override;
    void Render() override;
    void Render2D() override;
    void Update(float seconds, float frameFactor) override;
    void OnKeyUp(uint32_t sym, uint32_t mod) override;
    void OnKeyState(InputState* state) override;

    // Fills both lists with one unloaded entry per folder of models/players and models/weapons2
    // in every mounted zip archive; with unique listing (mountall), each folder once, by name.
    void BuildModelLists();
    // The selected entry, or null when the index is outside the list. Loads nothing: selecting
    // loads. An entry whose load failed is returned unloaded.
    cModelQ3* CurrentModel();
    cWeaponQ3* CurrentWeapon();
    // Selects the entry at index (the callers wrap it): an entry that failed gets one more
    // try, through AttachWeapon.
    void SelectModel(int index);
    void SelectWeapon(int index);
    void NextModel();
    void PrevModel();
    void NextWeapon();
    void PrevWeapon();
    // The one place where entries load: the current player and weapon are loaded unless they
    // are loaded or failed since their selection, then the weapon's muzzle flash follows the
    // flash variable and the player's weapon tag holds the current weapon while the gun is on,
    // and nothing when the gun is off or the weapon did not load.
    void AttachWeapon();
    void ToggleGun();
    // The current player's next and previous skin, wrapping round its list.
    void NextSkin();
    void PrevSkin();
    // Hangs or takes off the muzzle flash of every loaded weapon as the flash variable says.
    void ApplyFlash();
    // Destroys every entry and empties both lists.
    void ClearModels();

    // The overlay's line for a list entry; with the game look a failed entry says so.
    sListLine ListLine(cRessource& entry, bool current, bool failed) const;
    // With the game look, two lines for the current player and two for the current weapon when
    // its load failed: the entry, then the reason; drawn in the statistics area.
    std::vector<std::string> FailureLines();

    Camera camera;
    bool gunOn = true;
    bool showText = true;
    int currentPlayer = 0;
    int currentWeapon = 0;
    std::vector<std::unique_ptr<cModelQ3>> players;
    std::vector<std::unique_ptr<cWeaponQ3>> weapons;
    // Entries whose last load failed; cleared when the entry is selected again.
    std::vector<bool> playerFailed;
    std::vector<bool> weaponFailed;
    sFrameRate frameRate;
    sOverlayText overlayText;
    // Console variable "flash": 1 shows the weapons' muzzle flash, 0 hides it.
    ConVar flash;

  private:
    // What the console's actions hold on to; it goes away with the viewer.
    std::shared_ptr<ViewerApp*> self = std::make_shared<ViewerApp*>(this);

    std::function<void()> Bound(void (ViewerApp::*operation)());
    void SelectFirstLoadable();
    // The overlay's statistics block and its lists block.
    void DrawStatistics(cFont& font, cModelQ3& player);
    void DrawModelLists(cFont& font);
    // Links the current weapon at the current player's weapon tag, or unlinks it when gun is
    // off or the weapon has no main part.
    void HangWeapon(bool gun);
};
