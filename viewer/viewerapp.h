// The model viewer: lists every player and weapon folder of the game archive, draws the current
// player with the current weapon in its hand, and steps through both lists by key and action.
#pragma once

#include "app/app.h"
#include "viewer/camera.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class cModelQ3;
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

class ViewerApp : public App
{
  public:
    ViewerApp();
    ~ViewerApp() override;

    bool OnInit() override;
    void Render() override;
    void Render2D() override;
    void Update(float seconds, float frameFactor) override;
    void OnKeyUp(uint32_t sym, uint32_t mod) override;
    void OnKeyState(InputState* state) override;

    // Fills both lists with one unloaded entry per folder of models/players and models/weapons2
    // in every mounted zip archive; with unique listing (mountall), each folder once, by name.
    void BuildModelLists();
    // The selected entry, loaded on demand, or null when the index is outside the list. An entry
    // whose load failed is returned unloaded and not tried again until it is selected again.
    cModelQ3* CurrentModel();
    cWeaponQ3* CurrentWeapon();
    void NextModel();
    void PrevModel();
    void NextWeapon();
    void PrevWeapon();
    // Hangs the current weapon on the current player's weapon tag while the gun is on.
    void AttachWeapon();
    void ToggleGun();
    // Destroys every entry and empties both lists.
    void ClearModels();

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

  private:
    // What the console's actions hold on to; it goes away with the viewer.
    std::shared_ptr<ViewerApp*> self = std::make_shared<ViewerApp*>(this);

    std::function<void()> Bound(void (ViewerApp::*operation)());
    void SelectFirstLoadable();
    void HangStartWeapon();
};
