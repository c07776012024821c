#include "fs/memfile.h"
#include "model/modelq3.h"
#include "support/recordingdrawer.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace
{
typedef std::pair<uint32_t, uint32_t> Frames;

// A player whose parts are bare models of 200 and 160 frames, not from the cache.
class AnimTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        player.lower = &lower, player.upper = &upper, lower.numFrames = 200, upper.numFrames = 160;
    }
    void TearDown() override { player.lower = player.upper = nullptr; }
    bool Read(const std::string& text)
    {
        memfile_t view(reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<uint32_t>(text.size()), "animation.cfg", false);
        return player.LoadAnimations(view);
    }
    Frames Lower() const { return Frames(player.lowerState.currentFrame, player.lowerState.nextFrame); }

    LogCapture log;
    cMd3 lower, upper;
    cModelQ3 player;
};

std::string Line(int64_t first, int count, int fps, const char* name, int loop = 0)
{
    return std::to_string(first) + "\t" + std::to_string(count) + "\t" + std::to_string(loop) + "\t" +
           std::to_string(fps) + "\t\t// " + name + "\n";
}
} // namespace

// Legs frames count from the torso start; a line with a leading blank is no animation line, one
// without a name keeps the previous line's; end frames past a part's end are cut; sums near the
// int limits wrap; an fps of 0 never steps. A bad file keeps the lines before the fault.
TEST_F(AnimTest, FilesReadIntoTheAnimationTable)
{
    std::string tooMany;
    for (int i = 0; i < 26; i++)
        tooMany += Line(i, 1, 10, "BOTH_DEATH1");
    lower.numFrames = 150, upper.numFrames = 151;
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"// comment\nsex m\n\r\n" + Line(0, 30, 25, "BOTH_DEATH1") + Line(90, 40, 20, "TORSO_GESTURE") +
             Line(153, 8, 20, "LEGS_WALKCR") + " 170 4 0 10 x LEGS_RUN\n" + Line(161, 12, 20, "LEGS_WALK"),
         " 0:0-30 25 0.04 6:90-130 20 0.05 13:90-98 20 0.05 14:98-110 20 0.05", ""},
        {Line(10, 5, 0, "LEGS_IDLE") + "20 6\n" + "12\n", " 22:12-18 0 inf", ""},
        {Line(100, 51, 10, "BOTH_DEATH2") + Line(140, 10, 10, "BOTH_DEATH3") +
             Line(141, 10, 10, "TORSO_ATTACK") + Line(140, 10, 10, "TORSO_DROP") +
             Line(140, 5, 10, "TORSO_GESTURE") + Line(140, 10, 10, "LEGS_WALKCR") +
             Line(141, 10, 10, "LEGS_RUN"),
         " 2:100-149 10 0.1 4:140-149 10 0.1 6:140-145 10 0.1 7:141-150 10 0.1 9:140-150 10 0.1 13:140-149 "
         "10 0.1 15:141-151 10 0.1",
         ""},
        {Line(2147483647, 2147483647, 25, "BOTH_DEATH1") + Line(2147483647, 1, 5, "TORSO_GESTURE") +
             Line(0, 3, 5, "LEGS_WALKCR") + Line(5, 2, 5, "LEGS_IDLE"),
         " 0:2147483647-4294967294 25 0.04 6:2147483647-2147483648 5 0.2 13:2147483647-2147483650 5 0.2 "
         "22:2147483652-2147483654 5 0.2",
         ""},
        {tooMany, "", "cModelQ3:: file : animation.cfg has more anims than coded :-)"},
        {Line(5, 2, 10, "BOTH_DEAD1") + Line(7, 2, 10, "BOTH_FLY") + Line(9, 2, 10, "BOTH_DEAD2"),
         " 1:5-7 10 0.1", "cModelQ3:: file : animation.cfg has an unknown animation"},
        {"3 4\n", "", "cModelQ3:: file : animation.cfg has an unknown animation"},
        {"", "", "cModelQ3:: cant load animation.cfg"},
    };
    for (const auto& [cfg, animations, message] : cases)
    {
        for (sAnimation& a : player.animations)
            a = sAnimation();
        const size_t mark = log.Debug().size();
        EXPECT_EQ(Read(cfg), message.empty()) << cfg;
        std::ostringstream set; // " index:first-end fps frame-time"
        for (const sAnimation& a : player.animations)
            if (a.firstFrame || a.endFrame)
                set << ' ' << &a - player.animations << ':' << a.firstFrame << '-' << a.endFrame << ' '
                    << a.fps << ' ' << a.frameTime;
        EXPECT_EQ(set.str(), animations) << cfg;
        EXPECT_EQ(log.Debug().substr(mark), message.empty() ? "" : message + " \n") << cfg;
    }
    ASSERT_TRUE(Read(Line(10, 5, 0, "LEGS_IDLE")));
    player.SetAnimation(ANIM_BOTH_DEATH1); // never set by the file: frame 0, never stepping
    player.SetAnimation(ANIM_LEGS_IDLE);   // an fps of 0
    for (float t = 1; t < 5; t += 1)
        player.UpdateAnimations(t);
    EXPECT_EQ(Frames(player.upperState.currentFrame, player.lowerState.currentFrame), Frames(0, 10));
}

// Steps of 64ths of a second at 16 frames a second, over nine frame times: the plain rule steps
// once per update at most, the game look counts nine frames at any rate; an animation played once
// holds its last frame, with no blend back to the first.
TEST_F(AnimTest, FramesFollowTheClockOrStop)
{
    ASSERT_TRUE(Read(Line(40, 4, 16, "LEGS_RUN", 4) + Line(50, 3, 16, "LEGS_JUMP") +
                     Line(60, 1, 16, "LEGS_LAND", 1)));
    sAnimState& s = player.lowerState;
    const std::tuple<bool, int, int, Frames> cases[] = {
        {false, 15, 1, {41, 42}}, {false, 15, 3, {42, 43}}, {false, 15, 12, {43, 40}},
        {true, 15, 1, {40, 41}},  {true, 15, 9, {40, 41}},  {true, 15, 12, {40, 41}},
        {false, 18, 1, {52, 52}}, {true, 18, 3, {52, 52}},  {true, 19, 12, {60, 60}}};
    for (const auto& [gameLook, anim, step, end] : cases)
    {
        ScopedGameLook look(gameLook);
        s = sAnimState();
        player.SetAnimation(anim);
        player.UpdateAnimations(1024.0f); // the plain rule steps at once, the game look starts
        for (int t = step; t <= 36; t += step)
        {
            player.UpdateAnimations(1024.0f + t / 64.0f);
            // 2.25 frame times: two frames and a quarter
            EXPECT_TRUE(!gameLook || step != 9 || t != 9 ||
                        (Lower() == Frames(41, 42) && s.fraction == 0.25f));
        }
        EXPECT_TRUE(Lower() == end && s.fraction == 0.0f) << gameLook << " " << anim << " " << step;
    }

    // Chosen by name; stopped, steps wrap inside each animation both ways, a frame past the end is
    // cut to the last, the clock is ignored, and a restarted clock counts from the restart.
    EXPECT_FALSE(player.SetAnimationByName("nothing") || player.SetAnimationByName(nullptr));
    ASSERT_TRUE(Read(Line(0, 30, 20, "BOTH_DEATH1") + Line(40, 4, 16, "LEGS_RUN", 4)) &&
                player.SetAnimationByName("Both_Death1") && player.SetAnimationByName("legs_run"));
    player.lowerState.fraction = 0.5f;
    player.SetPaused(true);
    std::string frames;
    for (const auto& [frame, step] : {std::pair{2, 0}, {-1, 1}, {-1, 1}, {-1, -2}, {99, 0}, {-1, -44}})
    {
        frame >= 0 ? player.SetFrame(frame) : player.StepFrame(step);
        frames += std::to_string(player.lowerState.currentFrame) + "," +
                  std::to_string(player.upperState.currentFrame) + " ";
    }
    player.Advance(500.0f);
    EXPECT_EQ(frames + std::to_string(Lower().first) + " " + std::to_string(player.lowerState.fraction),
              "42,2 43,3 40,4 42,2 43,29 43,15 43 0.000000");
    player.SetPaused(true);
    player.SetFrame(1);
    player.SetPaused(false);
    player.Advance(1000.0f); // no time has passed since
    player.Advance(1000.0625f);
    EXPECT_EQ(Lower().first, 42u);
}
