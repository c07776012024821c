// Player model loading: the three parts joined at their tags, skins and animation.cfg.
#include "model/modelq3.h"

#include "platform/log.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "model/ressmgr.h"
#include "platform/clock.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
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

// Running out of memory keeps nothing of a load: the parts go back to the cache, which frees
// those that nobody else holds.
bool OutOfMemory(cModelQ3& model)
{
    model.Unload();
    model.skinCount = 0;
    model.loadError = MD3_OUT_OF_MEMORY;
    return DebugLog("cModelQ3:: %s : out of memory", model.modelDir);
}

// Puts the view back at its first byte.
void Rewind(memfile_t& file)
{
    file.position = 0;
    file.cursor = file.data;
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
// are read into the shared parts before they are joined at their tags. A part that fails keeps
// the parts before it held, unless memory ran out.
bool cModelQ3::Load(const char* folder)
try
{
    loadError.clear();
    if (!folder || strlen(folder) >= sizeof modelDir)
    {
        loadError = "folder path too long";
        return DebugLog("cModelQ3:: folder path too long : %.200s", folder ? folder : "(null)");
    }
    snprintf(modelDir, sizeof modelDir, "%s", folder);
    Unload();

    char path[MODEL_NAME_SIZE + 32];
    cMd3** parts[3] = {&lower, &upper, &head};
    const char* files[3] = {"lower", "upper", "head"};
    for (int i = 0; i < 3; i++)
    {
        snprintf(path, sizeof path, "%s/%s.md3", folder, files[i]);
        if (!(*parts[i] = gRessMgr.Load(path, &loadError)))
            return loadError == MD3_OUT_OF_MEMORY ? OutOfMemory(*this) : false;
    }

    LoadSkins();
    lower->AttachToTag("tag_torso", upper);
    upper->AttachToTag("tag_head", head);

    snprintf(path, sizeof path, "%s/animation.cfg", folder);
    {
        memfile_t file(path, "rt");
        LoadAnimations(file);
    }
    gFileMgr.Release(path); // read once; the animations keep what they need
    SetAnimation(ANIM_LEGS_IDLE);
    SetAnimation(ANIM_TORSO_STAND);
    // Both clocks start afresh, also for animations that were already chosen.
    lowerState.startPending = upperState.startPending = true;
    clockOrigin = timeGetTime();
    lower->animState = &lowerState;
    upper->animState = &upperState;
    return true;
}
catch (const std::bad_alloc&)
{
    return OutOfMemory(*this);
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
