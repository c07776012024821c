// Player model loading and the animation state machine.
#include "model/modelq3.h"

#include "platform/log.h"
#include "fs/memfile.h"
#include "model/ressmgr.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

const char MODEL_ANIM_NAMES[MODEL_NUM_ANIMS][32] = {
    "BOTH_DEATH1", "BOTH_DEAD1",    "BOTH_DEATH2",  "BOTH_DEAD2",    "BOTH_DEATH3",
    "BOTH_DEAD3",  "TORSO_GESTURE", "TORSO_ATTACK", "TORSO_ATTACK2", "TORSO_DROP",
    "TORSO_RAISE", "TORSO_STAND",   "TORSO_STAND2", "LEGS_WALKCR",   "LEGS_WALK",
    "LEGS_RUN",    "LEGS_BACK",     "LEGS_SWIM",    "LEGS_JUMP",     "LEGS_LAND",
    "LEGS_JUMPB",  "LEGS_LANDB",    "LEGS_IDLE",    "LEGS_IDLECR",   "LEGS_TURN"};

namespace
{
bool IsAnimLine(const char* line) { return isdigit(static_cast<unsigned char>(line[0])) != 0; }

// Puts the view back at its first byte.
void Rewind(memfile_t& file)
{
    file.position = 0;
    file.cursor = file.data;
}

// Points a state at animation a, restarting it only when it played another one.
void StartAnimation(sAnimState& state, sAnimation& a)
{
    if (state.animation == &a)
        return;
    state.animation = &a;
    state.currentFrame = a.firstFrame;
    state.nextFrame = a.firstFrame;
}

void StepState(sAnimState& state, float now)
{
    const sAnimation* a = state.animation;
    if (!a)
        return;
    float elapsed = now - state.lastTime;
    if (elapsed >= a->frameTime)
    {
        // One frame at most per call, however long the pause was.
        state.currentFrame = state.nextFrame;
        uint32_t next = state.currentFrame + 1;
        state.nextFrame = next >= a->endFrame ? a->firstFrame : next;
        state.fraction = 0;
        state.lastTime = now;
    }
    else
        state.fraction = elapsed * a->fps;
}

// Steps index by delta inside the group [first, last], wrapping at both ends.
int StepInGroup(int index, int delta, int first, int last)
{
    index += delta;
    if (delta > 0 && (index > last || index < first))
        return first;
    if (delta < 0 && (index < first || index > last))
        return last;
    return index;
}
} // namespace

cModelQ3::cModelQ3() {}

cModelQ3::~cModelQ3() { Unload(); }

bool cModelQ3::IsLoaded() { return head && upper && lower; }

void cModelQ3::Unload()
{
    cMd3** parts[3] = {&lower, &upper, &head};
    for (cMd3** part : parts)
    {
        if (!*part)
            continue;
        // A part that stays cached for other holders must not point at our states. One that
        // is gone (also when the cache was emptied first at exit) is not touched.
        if (gRessMgr.Release(*part) &&
            ((*part)->animState == &lowerState || (*part)->animState == &upperState))
            (*part)->animState = nullptr;
        *part = nullptr;
    }
}

// The parts come from the cache, so several players (and weapons) may share one part; skins
// are read into the shared parts before they are joined at their tags.
bool cModelQ3::Load(const char* folder)
{
    if (!folder || strlen(folder) >= sizeof modelDir)
        return DebugLog("cModelQ3:: folder path too long : %.200s", folder ? folder : "(null)");
    snprintf(modelDir, sizeof modelDir, "%s", folder);
    Unload();

    char path[MODEL_NAME_SIZE + 32];
    snprintf(path, sizeof path, "%s/lower.md3", folder);
    if (!(lower = gRessMgr.Load(path)))
        return false;
    snprintf(path, sizeof path, "%s/upper.md3", folder);
    if (!(upper = gRessMgr.Load(path)))
        return false;
    snprintf(path, sizeof path, "%s/head.md3", folder);
    if (!(head = gRessMgr.Load(path)))
        return false;

    LoadSkins();
    lower->AttachToTag("tag_torso", upper);
    upper->AttachToTag("tag_head", head);

    snprintf(path, sizeof path, "%s/animation.cfg", folder);
    {
        memfile_t file(path, "rt");
        LoadAnimations(file);
    }
    SetAnimation(ANIM_LEGS_IDLE);
    SetAnimation(ANIM_TORSO_STAND);
    lower->animState = &lowerState;
    upper->animState = &upperState;
    return true;
}

// Animation lines start with a digit: first frame, frame count, looping frames, frames per
// second, a word we skip and the animation's name. Every other line is a comment or a setting
// we do not use. The file is read twice: once to count the lines, once to apply them.
bool cModelQ3::LoadAnimations(memfile_t& file)
{
    if (!file.data || file.size == 0)
        return DebugLog("cModelQ3:: cant load animation.cfg");
    const char* fileName = file.name ? file.name : "";

    char line[MEMFILE_MAX_LINE + 1];
    int count = 0;
    Rewind(file);
    while (file.ReadLine(line, MEMFILE_MAX_LINE))
        if (IsAnimLine(line))
            count++;
    if (count > MODEL_NUM_ANIMS)
    {
        Rewind(file);
        return DebugLog("cModelQ3:: file : %s has more anims than coded :-)", fileName);
    }

    Rewind(file);
    // 64-bit sums: files may hold numbers near the int limits; frames wrap as unsigned values.
    int64_t torsoStart = 0, legsSkip = 0;
    // A line that lacks fields keeps the values of the line before it.
    int first = 0, frames = 0, loop = 0, fps = 0;
    char word[MEMFILE_MAX_LINE + 1] = "";
    char animName[MEMFILE_MAX_LINE + 1] = "";
    while (file.ReadLine(line, MEMFILE_MAX_LINE))
    {
        if (!IsAnimLine(line))
            continue;
        sscanf(line, "%d %d %d %d %1024s %1024s", &first, &frames, &loop, &fps, word, animName);
        int index = 0;
        while (index < MODEL_NUM_ANIMS && strcasecmp(MODEL_ANIM_NAMES[index], animName) != 0)
            index++;
        if (index == MODEL_NUM_ANIMS)
            return DebugLog("cModelQ3:: file : %s has an unknown animation", fileName);

        // Legs frames follow the torso frames in the file's numbering but the legs part
        // counts its own frames from where the torso animations begin.
        if (index == ANIM_TORSO_GESTURE)
            torsoStart = first;
        if (index == ANIM_LEGS_WALKCR)
            legsSkip = first - torsoStart;
        int64_t start = index < ANIM_LEGS_WALKCR ? first : first - legsSkip;

        sAnimation& a = animations[index];
        a.firstFrame = static_cast<uint32_t>(start);
        a.endFrame = static_cast<uint32_t>(start + frames);
        a.loopFrames = static_cast<uint32_t>(loop);
        a.fps = static_cast<float>(fps);
        long double count64 = static_cast<uint32_t>(frames);
        a.frameTime = static_cast<float>((count64 / static_cast<uint32_t>(fps)) / count64);
    }

    // The last frame of an animation that runs to the end of its part is not shown.
    uint32_t upperFrames = upper ? upper->numFrames : 0;
    uint32_t lowerFrames = lower ? lower->numFrames : 0;
    for (int i = 0; i < MODEL_NUM_ANIMS; i++)
    {
        sAnimation& a = animations[i];
        if (i < ANIM_TORSO_GESTURE)
        {
            if (upper && a.endFrame == upperFrames)
                a.endFrame--;
            if (lower && a.endFrame == lowerFrames)
                a.endFrame--;
        }
        else if (i < ANIM_LEGS_WALKCR)
        {
            if (upper && a.endFrame == upperFrames)
                a.endFrame--;
        }
        else if (lower && a.endFrame == lowerFrames)
            a.endFrame--;
    }
    Rewind(file);
    return true;
}

void cModelQ3::UpdateAnimations(float now)
{
    StepState(lowerState, now);
    StepState(upperState, now);
}

// Both-group animations drive legs and torso together; torso and legs ones drive one state.
void cModelQ3::SetAnimation(int index)
{
    if (index < 0 || index >= MODEL_NUM_ANIMS)
        return;
    sAnimation& a = animations[index];
    if (index < ANIM_TORSO_GESTURE)
    {
        StartAnimation(upperState, a);
        StartAnimation(lowerState, a);
        bothAnim = index;
    }
    else if (index < ANIM_LEGS_WALKCR)
    {
        StartAnimation(upperState, a);
        torsoAnim = index;
    }
    else
    {
        StartAnimation(lowerState, a);
        legsAnim = index;
    }
}

void cModelQ3::NextBothAnim() { SetAnimation(StepInGroup(bothAnim, 1, ANIM_BOTH_DEATH1, ANIM_BOTH_DEAD3)); }

void cModelQ3::PrevBothAnim() { SetAnimation(StepInGroup(bothAnim, -1, ANIM_BOTH_DEATH1, ANIM_BOTH_DEAD3)); }

void cModelQ3::NextTorsoAnim()
{
    SetAnimation(StepInGroup(torsoAnim, 1, ANIM_TORSO_GESTURE, ANIM_TORSO_STAND2));
}

void cModelQ3::PrevTorsoAnim()
{
    SetAnimation(StepInGroup(torsoAnim, -1, ANIM_TORSO_GESTURE, ANIM_TORSO_STAND2));
}

void cModelQ3::NextLegsAnim() { SetAnimation(StepInGroup(legsAnim, 1, ANIM_LEGS_WALKCR, ANIM_LEGS_TURN)); }

void cModelQ3::PrevLegsAnim() { SetAnimation(StepInGroup(legsAnim, -1, ANIM_LEGS_WALKCR, ANIM_LEGS_TURN)); }

// Changes every animation's rate at once, kept between 1 and 50 frames per second.
void cModelQ3::ChangeSpeed(float delta)
{
    for (sAnimation& a : animations)
    {
        a.fps += delta;
        if (a.fps < 1.0f)
            a.fps = 1.0f;
        if (a.fps > 50.0f)
            a.fps = 50.0f;
        a.frameTime = 1.0f / a.fps;
    }
}
