// animation.cfg reading and the two animation state machines, with the clock given by the test.
#include "fs/memfile.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "support/recordingdrawer.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace
{
// A player whose parts are bare models with the given frame counts, not from the cache.
class AnimTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        lower.numFrames = 200;
        upper.numFrames = 160;
        player.lower = &lower;
        player.upper = &upper;
    }
    void TearDown() override { player.lower = player.upper = nullptr; }
    bool Read(const std::string& text)
    {
        memfile_t view(reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<uint32_t>(text.size()), "animation.cfg", false);
        return player.LoadAnimations(view);
    }
    // Every animation the file set: "index:first-end fps frame time" apart by blanks.
    std::string Animations() const
    {
        std::ostringstream out;
        for (int i = 0; i < MODEL_NUM_ANIMS; i++)
        {
            const sAnimation& a = player.animations[i];
            if (a.firstFrame || a.endFrame)
                out << ' ' << i << ':' << a.firstFrame << '-' << a.endFrame << ' ' << a.fps << ' '
                    << a.frameTime;
        }
        return out.str();
    }

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

// Legs frames count from the torso start; the words after the fps are read as they come (here the
// fifth is "//", the sixth the name); a line with a leading blank is no animation line; a line
// without a name keeps the previous line's; an fps of 0 never steps; end frames at a part's end
// are cut (torso against upper, both against upper and lower, legs against lower); sums near the
// int limits wrap like unsigned frame numbers instead of overflowing. A bad file keeps the lines
// before the fault and says what it was.
TEST_F(AnimTest, FilesReadIntoTheAnimationTable)
{
    std::string tooMany;
    for (int i = 0; i < 26; i++)
        tooMany += Line(i, 1, 10, "BOTH_DEATH1");
    const struct
    {
        std::string cfg;
        uint32_t lowerFrames, upperFrames;
        bool ok;
        std::string animations, message;
    } cases[] = {
        {"// comment\nsex m\n\r\n" + Line(0, 30, 25, "BOTH_DEATH1") + Line(90, 40, 20, "TORSO_GESTURE") +
             Line(153, 8, 20, "LEGS_WALKCR") + " 170 4 0 10 x LEGS_RUN\n" + Line(161, 12, 20, "LEGS_WALK"),
         200, 160, true, " 0:0-30 25 0.04 6:90-130 20 0.05 13:90-98 20 0.05 14:98-110 20 0.05", ""},
        {Line(10, 5, 0, "LEGS_IDLE") + "20 6\n" + "12\n", 200, 160, true, " 22:12-18 0 inf", ""},
        {Line(100, 51, 10, "BOTH_DEATH2") + Line(140, 10, 10, "BOTH_DEATH3") +
             Line(141, 10, 10, "TORSO_ATTACK") + Line(140, 10, 10, "TORSO_DROP") +
             Line(140, 5, 10, "TORSO_GESTURE") + Line(140, 10, 10, "LEGS_WALKCR") +
             Line(141, 10, 10, "LEGS_RUN"),
         150, 151, true,
         " 2:100-149 10 0.1 4:140-149 10 0.1 6:140-145 10 0.1 7:141-150 10 0.1 9:140-150 10 0.1 13:140-149 "
         "10 0.1 15:141-151 10 0.1",
         ""},
        {Line(2147483647, 2147483647, 25, "BOTH_DEATH1") + Line(2147483647, 1, 5, "TORSO_GESTURE") +
             Line(0, 3, 5, "LEGS_WALKCR") + Line(5, 2, 5, "LEGS_IDLE"),
         200, 160, true,
         " 0:2147483647-4294967294 25 0.04 6:2147483647-2147483648 5 0.2 13:2147483647-2147483650 5 0.2 "
         "22:2147483652-2147483654 5 0.2",
         ""},
        {tooMany, 200, 160, false, "", "cModelQ3:: file : animation.cfg has more anims than coded :-)"},
        {Line(5, 2, 10, "BOTH_DEAD1") + Line(7, 2, 10, "BOTH_FLY") + Line(9, 2, 10, "BOTH_DEAD2"), 200, 160,
         false, " 1:5-7 10 0.1", "cModelQ3:: file : animation.cfg has an unknown animation"},
        {"3 4\n", 200, 160, false, "", "cModelQ3:: file : animation.cfg has an unknown animation"},
        {"", 200, 160, false, "", "cModelQ3:: cant load animation.cfg"},
    };
    for (const auto& c : cases)
    {
        for (sAnimation& a : player.animations)
            a = sAnimation();
        lower.numFrames = c.lowerFrames;
        upper.numFrames = c.upperFrames;
        const size_t mark = log.Debug().size();
        EXPECT_EQ(Read(c.cfg), c.ok) << c.cfg;
        EXPECT_EQ(Animations(), c.animations) << c.cfg;
        EXPECT_EQ(log.Debug().substr(mark), c.message.empty() ? "" : c.message + " \n") << c.cfg;
    }
    // An fps of 0 never steps; nothing runs past its frames.
    ASSERT_TRUE(Read(Line(10, 5, 0, "LEGS_IDLE") + "20 6\n" + "12\n"));
    player.SetAnimation(ANIM_LEGS_IDLE);
    for (float t = 1; t < 50; t += 1)
        player.UpdateAnimations(t);
    EXPECT_EQ(player.lowerState.currentFrame, 12u);
    EXPECT_FLOAT_EQ(player.lowerState.fraction, 0.0f);
}

// Times are multiples of 1/64 s and rates 16 frames per second, so the float clock compares
// exactly.
TEST_F(AnimTest, FramesFollowTheClock)
{
    ASSERT_TRUE(Read(Line(40, 4, 16, "LEGS_RUN", 4) + Line(50, 3, 16, "LEGS_JUMP") +
                     Line(60, 1, 16, "LEGS_LAND", 1)));
    sAnimState& s = player.lowerState;
    typedef std::pair<uint32_t, uint32_t> Frames;
    auto frames = [&s]() { return Frames(s.currentFrame, s.nextFrame); };
    const struct
    {
        bool gameLook;
        int anim;
        int step; // 64ths of a second between updates, over 36/64 s (nine frame times)
        Frames end;
    } cases[] = {
        // The plain rule steps once per update at most and drops the rest of the time: updates
        // every 3/64 s play at two thirds of the rate.
        {false, 15, 1, {41, 42}},
        {false, 15, 3, {42, 43}},
        {false, 15, 12, {43, 40}},
        // The game look counts nine frames at any update rate.
        {true, 15, 1, {40, 41}},
        {true, 15, 3, {40, 41}},
        {true, 15, 9, {40, 41}},
        {true, 15, 12, {40, 41}},
        // Played once: its last frame is held, with no blend back to the first.
        {false, 18, 1, {52, 52}},
        {true, 18, 3, {52, 52}},
        {false, 19, 1, {60, 60}},
        {true, 19, 12, {60, 60}},
    };
    for (const auto& c : cases)
    {
        ScopedGameLook look(c.gameLook);
        s = sAnimState();
        player.SetAnimation(c.anim);
        player.UpdateAnimations(1024.0f); // the plain rule steps at once, the game look starts
        for (int t = c.step; t <= 36; t += c.step)
        {
            player.UpdateAnimations(1024.0f + t / 64.0f);
            if (c.gameLook && c.step == 9 && t == 9) // 2.25 frame times: two frames and a quarter
            {
                EXPECT_EQ(frames(), Frames(41, 42));
                EXPECT_FLOAT_EQ(s.fraction, 0.25f);
            }
        }
        EXPECT_EQ(frames(), c.end) << c.gameLook << " " << c.anim << " " << c.step;
        EXPECT_FLOAT_EQ(s.fraction, 0.0f);

        // Chosen again, an animation played once starts over; a looping one goes on.
        player.SetAnimation(c.anim);
        EXPECT_EQ(s.currentFrame, c.anim == 15 ? c.end.first : s.animation->firstFrame);
        // After a long pause the plain rule steps once; the game look skips whole laps at once.
        const Frames before = frames();
        player.UpdateAnimations(1e6f);
        EXPECT_TRUE(c.gameLook || s.currentFrame == before.second);
        EXPECT_TRUE(s.currentFrame >= s.animation->firstFrame && s.nextFrame < s.animation->endFrame);
    }
    // An animation the file never set shows frame 0 and never steps.
    for (bool gameLook : {false, true})
    {
        ScopedGameLook look(gameLook);
        player.SetAnimation(11);
        player.UpdateAnimations(2048.0f);
        player.UpdateAnimations(4096.0f);
        EXPECT_EQ(Frames(player.upperState.currentFrame, player.upperState.nextFrame), Frames(0, 0));
    }
}

// Groups step and wrap both ways and set only their own part; indices outside the table change
// nothing; the speed stays between 1 and 50 frames a second, also for animations never set.
TEST_F(AnimTest, GroupsStepAndWrapAndSpeedStaysBounded)
{
    std::string steps;
    auto note = [&]()
    {
        steps += std::to_string(player.bothAnim) + "," + std::to_string(player.torsoAnim) + "," +
                 std::to_string(player.legsAnim) + "," +
                 std::to_string(player.upperState.animation - player.animations) + "," +
                 std::to_string(player.lowerState.animation - player.animations) + " ";
    };
    player.NextBothAnim(), note();
    player.PrevBothAnim(), player.PrevBothAnim(), note();
    player.NextBothAnim(), note();
    player.SetAnimation(12), player.NextTorsoAnim(), note();
    player.PrevTorsoAnim(), player.SetAnimation(24), player.NextLegsAnim(), note();
    player.PrevLegsAnim(), player.SetAnimation(25), player.SetAnimation(-1), note();
    EXPECT_EQ(steps, "1,0,0,1,1 5,0,0,5,5 0,0,0,0,0 0,6,0,6,0 0,12,13,12,13 0,12,24,12,24 ");

    ASSERT_TRUE(
        Read(Line(0, 5, 1, "BOTH_DEATH1") + Line(0, 5, 50, "BOTH_DEAD1") + Line(0, 5, 20, "BOTH_DEATH2")));
    player.ChangeSpeed(-1);
    const std::string slower = Animations();
    player.ChangeSpeed(+1);
    player.ChangeSpeed(+1);
    EXPECT_EQ(slower + " |" + Animations(),
              " 0:0-5 1 1 1:0-5 49 0.0204082 2:0-5 19 0.0526316 | 0:0-5 3 0.333333 "
              "1:0-5 50 0.02 2:0-5 21 0.047619");
    EXPECT_FLOAT_EQ(player.animations[24].fps, 3.0f);
}

// Choosing by name, stopping and stepping: a stopped model shows whole frames and ignores the
// clock, steps wrap inside each animation both ways, a frame past the end is cut to the last,
// and a restarted clock counts from the restart, under both sets of timing rules.
TEST_F(AnimTest, PauseStepAndChooseByName)
{
    ASSERT_TRUE(Read(Line(0, 30, 20, "BOTH_DEATH1") + Line(40, 4, 16, "LEGS_RUN", 4)));
    EXPECT_EQ(cModelQ3::FindAnimation("legs_run"), 15);
    EXPECT_EQ(cModelQ3::FindAnimation("LEGS_FLY"), -1);
    EXPECT_EQ(cModelQ3::FindAnimation(nullptr), -1);
    EXPECT_FALSE(player.SetAnimationByName("nothing"));
    ASSERT_TRUE(player.SetAnimationByName("Both_Death1") && player.SetAnimationByName("legs_run"));
    EXPECT_EQ(player.upperState.animation, &player.animations[0]);
    EXPECT_EQ(player.lowerState.animation, &player.animations[15]);
    player.lowerState.fraction = 0.5f;
    player.SetPaused(true);
    EXPECT_FLOAT_EQ(player.lowerState.fraction, 0.0f);

    const struct
    {
        int frame; // >= 0: SetFrame(frame), else StepFrame(step)
        int step;
        uint32_t lower, upper;
    } steps[] = {{2, 0, 42, 2},   {-1, 1, 43, 3},  {-1, 1, 40, 4},
                 {-1, -2, 42, 2}, {99, 0, 43, 29}, {-1, -44, 43, 15}};
    for (const auto& s : steps)
    {
        if (s.frame >= 0)
            player.SetFrame(s.frame);
        else
            player.StepFrame(s.step);
        EXPECT_EQ(player.lowerState.currentFrame, s.lower) << s.frame << " " << s.step;
        EXPECT_EQ(player.upperState.currentFrame, s.upper) << s.frame << " " << s.step;
    }
    player.Advance(500.0f);
    EXPECT_EQ(player.lowerState.currentFrame, 43u);

    for (bool gameLook : {false, true})
    {
        ScopedGameLook look(gameLook);
        player.SetPaused(true);
        player.SetFrame(1);
        player.SetPaused(false);
        player.Advance(1000.0f);
        EXPECT_EQ(player.lowerState.currentFrame, 41u) << gameLook; // no time has passed since
        player.Advance(1000.0625f);
        EXPECT_EQ(player.lowerState.currentFrame, 42u) << gameLook;
    }
}
