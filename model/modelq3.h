// A player model: legs, torso and head joined at their tags, the 25 animations of its
// animation.cfg played as two independent groups, and its skins.
#pragma once

#include "model/md3.h"
#include "model/ressource.h"

#include <cstdint>
#include <limits>
#include <string>

class cFont;
class memfile_t;

const int MODEL_NUM_ANIMS = 25;
// Skins a player holds under the plain rules, "default" included.
const int MODEL_MAX_SKINS = 8;
// Skins a player holds with the game look: every one its archives list, up to this bound so
// that a hostile archive cannot make it grow without end.
const int MODEL_MAX_LISTED_SKINS = MD3_MAX_SKIN_SLOTS;
const int MODEL_NAME_SIZE = 64;

// Animation indices that start each group, and the ones a loaded model starts with.
enum
{
    ANIM_BOTH_DEATH1 = 0,
    ANIM_BOTH_DEAD3 = 5,
    ANIM_TORSO_GESTURE = 6,
    ANIM_TORSO_STAND = 11,
    ANIM_TORSO_STAND2 = 12,
    ANIM_LEGS_WALKCR = 13,
    ANIM_LEGS_IDLE = 22,
    ANIM_LEGS_TURN = 24
};

// The animation names as animation.cfg writes them, by index.
extern const char MODEL_ANIM_NAMES[MODEL_NUM_ANIMS][32];

struct sAnimation
{
    uint32_t firstFrame = 0;
    uint32_t endFrame = 0;   // the frame after the last one played
    uint32_t loopFrames = 0; // 0: played once, then its last frame is held; else it loops
    float fps = 1.0f;
    float frameTime = std::numeric_limits<float>::quiet_NaN(); // seconds per frame; none until read
};

struct sAnimState
{
    uint32_t currentFrame = 0;
    uint32_t nextFrame = 0;
    float lastTime = 0;
    float fraction = 0;
    sAnimation* animation = nullptr;
    // Set when an animation (re)starts; with the game look the next update starts its clock.
    bool startPending = false;
};

class cModelQ3 : public cRessource
{
  public:
    cModelQ3();
    ~cModelQ3() override;

    bool IsLoaded() override;
    // Loads folder/lower.md3, upper.md3 and head.md3, the skins and animation.cfg.
    bool Load(const char* folder) override;
    void Unload() override;

    // Advances the animations from the millisecond clock and draws the whole figure.
    void Render();
    // Draws model at its animation frames, then every child linked at one of its tags.
    static void RenderTree(cMd3* model);
    void DrawStats(cFont& font, int x, int y);
    // The skins of DrawStats when there are more than one per line can show.
    void PrintSkinList(cFont& font, int x) const;

    bool LoadAnimations(memfile_t& file);
    void UpdateAnimations(float now);
    void SetAnimation(int index);
    void NextBothAnim();
    void PrevBothAnim();
    void NextTorsoAnim();
    void PrevTorsoAnim();
    void NextLegsAnim();
    void PrevLegsAnim();
    void ChangeSpeed(float delta);
    // Index of the animation animation.cfg calls animName (any letter case), or -1.
    static int FindAnimation(const char* animName);
    // Chooses the animation called animName for its group (both, torso or legs); false when no
    // animation has that name.
    bool SetAnimationByName(const char* animName);
    // Stops or restarts both animation clocks. A stopped model shows whole frames (the blend
    // is dropped); restarted, the clocks count from the next draw, so no time is skipped.
    void SetPaused(bool pause);
    bool IsPaused() const { return paused; }
    // Moves legs and torso delta frames on (or back) inside their animations, wrapping round.
    void StepFrame(int delta);
    // Puts legs and torso at frame offset of their animations (counted from each one's first
    // frame, cut to its last) and stops the clocks.
    void SetFrame(uint32_t offset);
    // What Render does before drawing: the animations follow the clock unless stopped.
    void Advance(float now);

    void LoadSkins();
    void ListSkins();
    void LoadSkinFile(cMd3* part, const char* prefix, uint32_t skin);
    // Reads the part's <prefix>default.skin; false when there is no such file.
    bool LoadDefaultSkin(cMd3* part, const char* prefix);
    void SelectSkin(uint32_t skin);
    // The skin after (before) the current one, wrapping round the list.
    void NextSkin();
    void PrevSkin();

    // Rows past skinCount are unused; the plain rules fill at most MODEL_MAX_SKINS of them.
    char skinNames[MODEL_MAX_LISTED_SKINS][MODEL_NAME_SIZE] = {};
    uint32_t skinCount = 0;
    char modelDir[MODEL_NAME_SIZE] = {};
    cMd3* head = nullptr;
    cMd3* upper = nullptr;
    cMd3* lower = nullptr;
    sAnimation animations[MODEL_NUM_ANIMS];
    sAnimState lowerState;
    sAnimState upperState;
    int legsAnim = 0;
    int torsoAnim = 0;
    int bothAnim = 0;
    uint32_t currentSkin = 0;
    // Why the last Load failed, in a few words ("no lower.md3 in any archive"); empty after a
    // successful one.
    std::string loadError;
    // The millisecond clock at loading: with the game look the animation clock counts from it,
    // so that its float seconds stay fine however long the machine has been running.
    uint32_t clockOrigin = 0;
    bool paused = false;
    // Set on restart: the next Advance starts both clocks afresh.
    bool clockRestart = false;
};
