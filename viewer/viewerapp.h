// The model viewer: lists every player and weapon folder of the game archive, draws the current
// player with the current weapon in its hand, and steps through both lists by key and action.
#pragma once

#include "app/app.h"
#include "console/convar.h"
#include "text/textblock.h"
#include "viewer/camera.h"
#include "viewer/display.h"
#include "viewer/statusline.h"
#include "viewer/cmdline.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ConfigFile;
class cFont;
class cMd3;
class cModelQ3;
class cRessource;
class cWeaponQ3;

// Longest q3apath that still leaves room for "/baseq3/pak0.pk3" in a 256-character path.
const int VIEWER_MAX_GAME_PATH = 237;

// Every .md3 member of the mounted archives, each path once, sorted ignoring letter case.
std::vector<std::string> ArchiveModelPaths();

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
    // The viewer's console commands: model, screenshot, anim.
    bool OnCommand(int id, ConArgs* args) override;
    bool OnInit() override;
    void Render() override;
    void Render2D() override;
    void Update(float seconds, float frameFactor) override;
    void OnKeyUp(uint32_t sym, uint32_t mod) override;
    void OnKeyState(InputState* state) override;
    // The wheel zooms; pointer motion feeds the camera's drag (both only while the console is
    // closed).
    void OnMouseDown(int button, int x, int y) override;
    void OnMouseDelta(int dx, int dy) override;
    // The settings of app.cfg for input and messages: dragrepeat (0: a drag stops when the
    // pointer stops), contoggleclose (1: the console key closes the console) and statusline
    // (1: debug-file lines show at the bottom of the view and in the console). Each absent
    // key keeps the plain behaviour.
    void ApplyInputSettings(const ConfigFile& config);

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
    // Display variables (r_wireframe, r_bounds, ...) and the status line.
    cViewerDisplay display;
    cStatusLine statusLine;

    // Start options, the view of one model, framing, pausing and screenshots (viewer/tools.cpp,
    // options.cpp, soloview.cpp, framing.cpp, screenshot.cpp, sheet.cpp).
    // The actions screenshot, pause, stepnext, stepprev, resetcam and the commands.
    void RegisterTools();
    // Mounts the game folder or archive of the command line.
    void MountGameOption();
    // After the lists: framing (app.cfg key "framing"), then the command line's choices. A choice
    // the game lacks leaves startError set.
    void ApplyStartOptions(const ConfigFile& config);
    // Shows the .md3 at path on its own, framed; "" goes back to the player. False (with a
    // console line) when it does not load.
    bool ShowModel(const std::string& path);
    // The model drawn alone instead of the player (--model, the model command, the weapon alone
    // with --player none), or null in the player view.
    cMd3* SoloRoot();
    // Back to the player view, giving the solo model back to the cache.
    void LeaveSolo();
    // Whether a model is there to draw: the solo one, or a loaded player.
    bool ShowsSomething();
    // The model command's completion: "model <path>" lines for the archive paths that begin
    // with typed (any case, "-" standing for "_"), at most limit of them.
    void CompleteModelPath(const char* typed, size_t limit, std::vector<std::string>& out) const;
    // The archive path typed stands for in the same way, or typed itself when none.
    std::string TypedModelPath(const std::string& typed) const;
    // Draws the solo model; false in the player view.
    bool RenderSolo();
    // The overlay's lines about the view: the solo model's statistics, the paused frames.
    void DrawViewNotes();
    // After a new selection: a player ends the solo view; framing points the camera at the
    // new player (also back from a solo view), or at the new weapon while it is shown alone.
    void SelectionChanged(bool player);
    // Points the camera at what is shown so that it fills two thirds of the view height, and
    // keeps that view for resetcam.
    void FrameView();
    // Back to the kept view: the framed one, or the start position without framing.
    void ResetCamera();
    // The current player's animations stopped or going; one frame on or back while stopped.
    void TogglePause();
    void StepNext();
    void StepPrev();
    // Writes the next drawn frame (without the console) to file, or to the next free
    // screenshots/shot-NNNN.png when file is empty; with quit the program ends after it.
    void RequestScreenshot(const std::string& file, bool quit);
    // Renders every player in every skin and every weapon into one labelled picture.
    bool WriteContactSheet(const std::string& file);

    sViewerOptions options;
    std::string startError;
    // The exit status of a run that ended after its screenshot.
    int shotStatus = 0;
    bool framing = false;
    std::string soloPath;
    cMd3* solo = nullptr;
    bool weaponOnly = false;
    // Every .md3 of the mounted archives, sorted, for the model command's completion.
    std::vector<std::string> modelPaths;
    // The view resetcam goes back to: x, y, z, pitch, yaw.
    float homeView[5] = {0.0f, 5.0f, 75.0f, 0.0f, 0.0f};
    std::string shotFile;
    bool shotPending = false;
    bool quitAfterShot = false;

  private:
    // What the console's actions hold on to; it goes away with the viewer.
    std::shared_ptr<ViewerApp*> self = std::make_shared<ViewerApp*>(this);

    std::function<void()> Bound(void (ViewerApp::*operation)());
    // The screenshot action: the next frame to the next free file name.
    void ShotAction();
    // Writes the frame now in the back buffer as the pending screenshot (Render2D calls it).
    void TakePendingScreenshot();
    void SelectFirstLoadable();
    // The overlay's statistics block and its lists block.
    void DrawStatistics(cFont& pen, cModelQ3& player);
    void DrawModelLists(cFont& pen);
    // Links the current weapon at the current player's weapon tag, or unlinks it when gun is
    // off or the weapon has no main part.
    void HangWeapon(bool gun);
};
