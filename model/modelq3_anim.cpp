// The player's animation state machine: choosing animations by group, stepping their frames
// from the clock, and their speed.
#include "model/modelq3.h"
#include "platform/gamelook.h"

#include <algorithm>
#include <cmath>
#include <strings.h>

namespace
{
// Points a state at animation a. A looping animation that already plays goes on; one that
// plays once starts again, so a finished death can be seen anew.
void StartAnimation(sAnimState& state, sAnimation& a)
{
    if (state.animation == &a && a.loopFrames != 0)
        return;
    state.animation = &a;
    state.currentFrame = a.firstFrame;
    state.nextFrame = a.firstFrame;
    state.startPending = true;
}

// The frame after frame: past the end a looping animation goes back to its first frame, one
// that plays once stays on its last.
uint32_t StepOnce(const sAnimation& a, uint32_t frame)
{
    uint32_t next = frame + 1;
    if (next >= a.endFrame)
        next = a.loopFrames ? a.firstFrame : frame;
    return next;
}

bool InRange(const sAnimation& a, uint32_t frame) { return frame >= a.firstFrame && frame < a.endFrame; }

// The frame steps frames after frame. Inside the range whole laps are skipped at once, so a
// long pause costs nothing; a frame outside it (only odd numbers in animation.cfg put one
// there) is walked a few single steps and then left where it is.
uint32_t StepMany(const sAnimation& a, uint32_t frame, uint64_t steps)
{
    for (int walk = 0; steps > 0 && !InRange(a, frame) && walk < 4; walk++, steps--)
        frame = StepOnce(a, frame);
    if (steps == 0 || !InRange(a, frame))
        return frame;
    if (!a.loopFrames)
        return static_cast<uint32_t>(std::min<uint64_t>(frame + steps, a.endFrame - 1u));
    return a.firstFrame + static_cast<uint32_t>((frame - a.firstFrame + steps) % (a.endFrame - a.firstFrame));
}

// The plain rule: one step at most per call once a frame's time has passed, the rest of the
// time dropped.
void StepState(sAnimState& state, float now)
{
    const sAnimation* a = state.animation;
    if (!a)
        return;
    float elapsed = now - state.lastTime;
    if (elapsed >= a->frameTime)
    {
        state.currentFrame = state.nextFrame;
        state.nextFrame = StepOnce(*a, state.currentFrame);
        state.fraction = 0;
        state.lastTime = now;
    }
    else
        state.fraction = elapsed * a->fps;
}

// The game look: as many frames pass as whole frame times have elapsed, and what is left over
// is kept for the next call and gives the blend. An animation's clock starts at the first
// update after it started.
void StepStateExact(sAnimState& state, float now)
{
    const sAnimation* a = state.animation;
    if (!a)
        return;
    const double frameTime = a->frameTime;
    const double elapsed = static_cast<double>(now) - state.lastTime;
    if (state.startPending || elapsed < 0)
    {
        // Also when the clock went back: start counting afresh.
        state.startPending = false;
        state.lastTime = now;
        state.fraction = 0;
        return;
    }
    if (!(frameTime > 0) || std::isinf(frameTime))
        return StepState(state, now); // no usable rate: the plain rule knows what to do
    const double frames = std::floor(elapsed / frameTime);
    if (frames < 1)
    {
        state.fraction = static_cast<float>(elapsed / frameTime);
        return;
    }
    // Bounded so the count stays an exact integer however long the pause.
    const uint64_t steps = static_cast<uint64_t>(std::min(frames, 9007199254740992.0));
    // The frame blended towards becomes the current one; the other steps go on from there.
    state.currentFrame = StepMany(*a, state.nextFrame, steps - 1);
    state.nextFrame = StepOnce(*a, state.currentFrame);
    const double rest = elapsed - frames * frameTime;
    state.lastTime = static_cast<float>(now - rest);
    state.fraction = static_cast<float>(rest / frameTime);
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

void cModelQ3::UpdateAnimations(float now)
{
    for (sAnimState* state : {&lowerState, &upperState})
    {
        if (gGameLook)
            StepStateExact(*state, now);
        else
            StepState(*state, now);
    }
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

int cModelQ3::FindAnimation(const char* animName)
{
    for (int i = 0; animName && i < MODEL_NUM_ANIMS; i++)
        if (strcasecmp(MODEL_ANIM_NAMES[i], animName) == 0)
            return i;
    return -1;
}

bool cModelQ3::SetAnimationByName(const char* animName)
{
    const int index = FindAnimation(animName);
    SetAnimation(index);
    return index >= 0;
}

void cModelQ3::SetPaused(bool pause)
{
    if (pause && !paused)
        lowerState.fraction = upperState.fraction = 0;
    if (!pause && paused)
        clockRestart = true;
    paused = pause;
}

namespace
{
// Puts the state offset frames after its animation's first frame, wrapping round the range;
// the next frame is the one that playing on would show.
void PlaceFrame(sAnimState& state, int64_t offset)
{
    const sAnimation* a = state.animation;
    if (!a || a->endFrame <= a->firstFrame)
        return;
    const int64_t length = a->endFrame - a->firstFrame;
    const int64_t wrapped = ((offset % length) + length) % length;
    state.currentFrame = a->firstFrame + static_cast<uint32_t>(wrapped);
    state.nextFrame = StepOnce(*a, state.currentFrame);
    state.fraction = 0;
}

int64_t Offset(const sAnimState& state)
{
    return state.animation ? static_cast<int64_t>(state.currentFrame) - state.animation->firstFrame : 0;
}
} // namespace

void cModelQ3::StepFrame(int delta)
{
    for (sAnimState* state : {&lowerState, &upperState})
        PlaceFrame(*state, Offset(*state) + delta);
}

void cModelQ3::SetFrame(uint32_t offset)
{
    SetPaused(true);
    for (sAnimState* state : {&lowerState, &upperState})
        if (const sAnimation* a = state->animation)
            PlaceFrame(*state, a->endFrame > a->firstFrame
                                   ? std::min<int64_t>(offset, a->endFrame - a->firstFrame - 1)
                                   : 0);
}

void cModelQ3::Advance(float now)
{
    if (paused)
        return;
    if (clockRestart)
    {
        // Counting from now: the time spent stopped is not played.
        lowerState.lastTime = upperState.lastTime = now;
        clockRestart = false;
    }
    UpdateAnimations(now);
}
