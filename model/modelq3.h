// A player model: legs, torso and head joined at their tags, the 25 animations of its
// animation.cfg played as two independent groups, and its skins.
#pragma once

#include "model/md3.h"
#include "model/ressource.h"

#include <cstdint>
#include <limits>

class cFont;
class memfile_t;

const int MODEL_NUM_ANIMS = 25;
const int MODEL_MAX_SKINS = 8;
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
    uint32_t endFrame = 0; // the frame after the last one played
    uint32_t loopFrames = 0;
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

    void LoadSkins();
    void ListSkins();
    void LoadSkinFile(cMd3* part, const char* prefix, uint32_t skin);
    void LoadDefaultSkin(cMd3* part, const char* prefix);
    void SelectSkin(uint32_t skin);

    char skinNames[MODEL_MAX_SKINS][MODEL_NAME_SIZE] = {};
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
};
