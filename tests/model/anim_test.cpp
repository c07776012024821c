// animation.cfg reading and the two animation state machines, with the clock given by the test.
#include "fs/memfile.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "support/recordingdrawer.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

#include <cmath>
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
    const sAnimation& Anim(int i) { return player.animations[i]; }
    std::pair<uint32_t, uint32_t> Range(int i) { return {Anim(i).firstFrame, Anim(i).endFrame}; }

    LogCapture log;
    cMd3 lower, upper;
    cModelQ3 player;
};

std::string Line(int first, int count, int fps, const char* name, int loop = 0)
{
    return std::to_string(first) + "\t" + std::to_string(count) + "\t" + std::to_string(loop) + "\t" +
           std::to_string(fps) + "\t\t// " + name + "\n";
}
} // namespace

TEST_F(AnimTest, LegsFramesAreCountedFromTheTorsoStart)
{
    std::string cfg = "// comment\nsex m\n\r\n" + Line(0, 30, 25, "BOTH_DEATH1") +
                      Line(90, 40, 20, "TORSO_GESTURE") + Line(153, 8, 20, "LEGS_WALKCR") +
                      " 170 4 0 10 x LEGS_RUN\n" + Line(161, 12, 20, "LEGS_WALK");
    // The words after the fps are read as they come; here the fifth is "//", the sixth the name.
    ASSERT_TRUE(Read(cfg));
    EXPECT_EQ(Range(13), std::make_pair(90u, 98u));
    EXPECT_EQ(Range(14), std::make_pair(98u, 110u));
    EXPECT_FLOAT_EQ(Anim(14).fps, 20.0f);
    EXPECT_FLOAT_EQ(Anim(14).frameTime, 0.05f);
    EXPECT_EQ(Anim(6).firstFrame, 90u);
    EXPECT_EQ(Anim(0).endFrame, 30u);
    // A line with a leading blank is not an animation line.
    EXPECT_EQ(Anim(15).endFrame, 0u);
    EXPECT_TRUE(std::isnan(Anim(15).frameTime));
    EXPECT_EQ(log.Debug(), "");
}

TEST_F(AnimTest, BadFilesAreReported)
{
    std::string cfg;
    for (int i = 0; i < 26; i++)
        cfg += Line(i, 1, 10, "BOTH_DEATH1");
    EXPECT_FALSE(Read(cfg));
    EXPECT_EQ(Anim(0).endFrame, 0u); // nothing changed
    EXPECT_NE(log.Debug().find("cModelQ3:: file : animation.cfg has more anims than coded :-)"),
              std::string::npos);

    // An unknown name stops the reading; the lines before it stay.
    EXPECT_FALSE(
        Read(Line(5, 2, 10, "BOTH_DEAD1") + Line(7, 2, 10, "BOTH_FLY") + Line(9, 2, 10, "BOTH_DEAD2")));
    EXPECT_EQ(Anim(1).firstFrame, 5u);
    EXPECT_EQ(Anim(3).firstFrame, 0u);
    EXPECT_NE(log.Debug().find("cModelQ3:: file : animation.cfg has an unknown animation"),
              std::string::npos);

    EXPECT_FALSE(Read(""));
    EXPECT_NE(log.Debug().find("cModelQ3:: cant load animation.cfg"), std::string::npos);
}

TEST_F(AnimTest, EndFramesAtThePartsEndAreClamped)
{
    upper.numFrames = 151;
    lower.numFrames = 150;
    ASSERT_TRUE(Read(Line(100, 51, 10, "BOTH_DEATH2") + Line(140, 10, 10, "BOTH_DEATH3") +
                     Line(141, 10, 10, "TORSO_ATTACK") + Line(140, 10, 10, "TORSO_DROP") +
                     Line(140, 5, 10, "TORSO_GESTURE") + Line(140, 10, 10, "LEGS_WALKCR") +
                     Line(141, 10, 10, "LEGS_RUN")));
    EXPECT_EQ(Anim(2).endFrame, 149u); // cut against upper, then again against lower
    EXPECT_EQ(Anim(4).endFrame, 149u);
    EXPECT_EQ(Anim(7).endFrame, 150u);
    EXPECT_EQ(Anim(9).endFrame, 150u); // equals lower's count only: torso is cut against upper
    EXPECT_EQ(Anim(13).endFrame, 149u);
    EXPECT_EQ(Anim(15).endFrame, 151u);
}

// Sums near the int limits wrap like unsigned frame numbers instead of overflowing.
TEST_F(AnimTest, NumbersAtTheIntLimitsWrap)
{
    ASSERT_TRUE(Read(Line(2147483647, 2147483647, 25, "BOTH_DEATH1") +
                     Line(2147483647, 1, 5, "TORSO_GESTURE") + Line(0, 3, 5, "LEGS_WALKCR") +
                     Line(5, 2, 5, "LEGS_IDLE")));
    EXPECT_EQ(Anim(0).firstFrame, 2147483647u);
    EXPECT_EQ(Anim(0).endFrame, 4294967294u);
    // The legs skip 0 - 2147483647 frames, so they count from 2147483647 on.
    EXPECT_EQ(Anim(13).firstFrame, 2147483647u);
    EXPECT_EQ(Range(22), std::make_pair(2147483652u, 2147483654u));
}

TEST_F(AnimTest, ShortLinesAndZeroFpsStayHarmless)
{
    // A line without a name keeps the previous line's; the first one has none to keep.
    EXPECT_FALSE(Read("3 4\n"));
    EXPECT_TRUE(Read(Line(10, 5, 0, "LEGS_IDLE") + "20 6\n" + "12\n"));
    EXPECT_EQ(Range(22), std::make_pair(12u, 18u));
    EXPECT_TRUE(std::isinf(Anim(22).frameTime));

    // An fps of 0 never steps; nothing runs past its frames.
    player.SetAnimation(22);
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
        if (!c.gameLook)
        {
            EXPECT_EQ(s.currentFrame, before.second);
        }
        EXPECT_GE(s.currentFrame, s.animation->firstFrame);
        EXPECT_LT(s.nextFrame, s.animation->endFrame);
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

TEST_F(AnimTest, GroupsStepAndWrap)
{
    player.NextBothAnim();
    EXPECT_EQ(player.upperState.animation, &player.animations[1]);
    EXPECT_EQ(player.lowerState.animation, &player.animations[1]);
    player.PrevBothAnim();
    player.PrevBothAnim();
    EXPECT_EQ(player.bothAnim, 5);
    player.NextBothAnim();
    EXPECT_EQ(player.bothAnim, 0);

    // Torso and legs wrap both ways and set only their own part.
    player.SetAnimation(12);
    player.NextTorsoAnim();
    EXPECT_EQ(player.torsoAnim, 6);
    player.PrevTorsoAnim();
    player.SetAnimation(24);
    player.NextLegsAnim();
    EXPECT_EQ(player.legsAnim, 13);
    player.PrevLegsAnim();
    EXPECT_EQ(player.upperState.animation, &player.animations[12]);
    EXPECT_EQ(player.lowerState.animation, &player.animations[24]);

    // Indices outside the table change nothing.
    player.SetAnimation(25);
    player.SetAnimation(-1);
    EXPECT_EQ(player.legsAnim, 24);
    EXPECT_EQ(player.torsoAnim, 12);
}

TEST_F(AnimTest, SpeedStaysBetweenOneAndFifty)
{
    ASSERT_TRUE(
        Read(Line(0, 5, 1, "BOTH_DEATH1") + Line(0, 5, 50, "BOTH_DEAD1") + Line(0, 5, 20, "BOTH_DEATH2")));
    player.ChangeSpeed(-1);
    EXPECT_FLOAT_EQ(Anim(0).fps, 1.0f);
    EXPECT_FLOAT_EQ(Anim(2).fps, 19.0f);
    EXPECT_FLOAT_EQ(Anim(2).frameTime, 1.0f / 19);
    player.ChangeSpeed(+1);
    player.ChangeSpeed(+1);
    EXPECT_FLOAT_EQ(Anim(1).fps, 50.0f);
    EXPECT_FLOAT_EQ(Anim(1).frameTime, 0.02f);
    // Animations the file never set get a usable frame time too.
    EXPECT_FLOAT_EQ(Anim(24).fps, 3.0f);
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
