#include "samples/CADSR.h"

#include <gtest/gtest.h>

#include <array>

namespace
{
// 1 / (0.03f * 44100) = 1 / 1322.99997 = 7.5585791560978e-4 per frame.
constexpr double kInc = 1.0 / (0.03f * 44100.0);

struct Block
{
    std::array<float, 16> left;
    std::array<float, 16> right;
    Block()
    {
        left.fill(1.0f);
        right.fill(-2.0f);
    }
};

// Runs single frames until the stage changes; returns how many frames that took.
int FramesUntilStageChange(CADSR& env)
{
    const CADSR::EStage from = env.Stage();
    int frames = 0;
    while (env.Stage() == from && frames < 100000)
    {
        Block b;
        env.GetSamples(b.left.data(), b.right.data(), 1, 44100.0);
        ++frames;
    }
    return frames;
}
} // namespace

TEST(CADSR, AttackRampsUpAndMultiplies)
{
    CADSR env;
    env.SetStage(CADSR::kAttack);
    Block b;
    EXPECT_FALSE(env.GetSamples(b.left.data(), b.right.data(), 2, 44100.0));
    // The level is raised before each frame is multiplied: frame 0 carries one increment.
    EXPECT_FLOAT_EQ(b.left[0], static_cast<float>(kInc));
    EXPECT_FLOAT_EQ(b.right[0], static_cast<float>(-2.0 * kInc));
    EXPECT_FLOAT_EQ(b.left[1], static_cast<float>(2.0 * kInc));
    EXPECT_EQ(b.left[2], 1.0f); // past the frame count: untouched
}

TEST(CADSR, FullRampsTakeAboutAttackTimesRate)
{
    {
        SCOPED_TRACE("attack from zero");
        CADSR env;
        env.SetStage(CADSR::kAttack);
        // 0.03 s at 44100 Hz is 1323 frames: 1323 * kInc = 1.00000002 in exact arithmetic,
        // but the level is a float and its 1323 rounded sums end just short, at 0.9999896,
        // so full level is reached on frame 1324.
        Block b;
        for (int i = 0; i < 1323; ++i)
            env.GetSamples(b.left.data(), b.right.data(), 1, 44100.0);
        EXPECT_EQ(env.Stage(), CADSR::kAttack);
        EXPECT_NEAR(env.Level(), 1.0f, 2e-5f);
        env.GetSamples(b.left.data(), b.right.data(), 1, 44100.0);
        EXPECT_EQ(env.Stage(), CADSR::kSustain);
        EXPECT_EQ(env.Level(), 1.0f);
    }
    {
        SCOPED_TRACE("release from full level lasts as long and reports in its last call");
        CADSR env;
        env.SetLevel(1.0f);
        env.SetStage(CADSR::kRelease);
        // In 16-frame calls, frame 1324 falls in call 82 (frames 1313 ... 1328).
        for (int call = 0; call < 82; ++call)
        {
            Block b;
            ASSERT_FALSE(env.GetSamples(b.left.data(), b.right.data(), 16, 44100.0)) << call;
        }
        Block b;
        EXPECT_TRUE(env.GetSamples(b.left.data(), b.right.data(), 16, 44100.0));
        EXPECT_EQ(env.Stage(), CADSR::kIdle);
        EXPECT_EQ(env.Level(), 0.0f);
        // Frame 1324 - 1313 = 11 of this call is the first silent one.
        EXPECT_GT(b.left[10], 0.0f);
        EXPECT_EQ(b.left[11], 0.0f);
        EXPECT_EQ(b.left[15], 0.0f);
        Block after;
        EXPECT_FALSE(env.GetSamples(after.left.data(), after.right.data(), 16, 44100.0));
        EXPECT_EQ(after.left[0], 0.0f);
    }
    {
        SCOPED_TRACE("the release slope comes from the attack time");
        CADSR env;
        env.SetAttack(0.01f);
        env.SetLevel(1.0f);
        env.SetStage(CADSR::kRelease);
        // 0.01 s at 44100 Hz: about 441 frames (a float sum again may take one more).
        const int frames = FramesUntilStageChange(env);
        EXPECT_GE(frames, 441);
        EXPECT_LE(frames, 442);
    }
}

TEST(CADSR, AttackStartsFromTheCurrentLevel)
{
    CADSR env;
    env.SetLevel(0.5f);
    env.SetStage(CADSR::kAttack);
    Block b;
    env.GetSamples(b.left.data(), b.right.data(), 1, 44100.0);
    EXPECT_FLOAT_EQ(env.Level(), static_cast<float>(0.5 + kInc));
    {
        SCOPED_TRACE("sustain holds the sustain level");
        env.SetSustain(0.25f);
        env.SetStage(CADSR::kSustain);
        Block held;
        env.GetSamples(held.left.data(), held.right.data(), 1, 44100.0);
        EXPECT_EQ(env.Level(), 0.25f);
        EXPECT_EQ(held.left[0], 0.25f);
    }
    {
        SCOPED_TRACE("an attack above the sustain level settles at once");
        env.SetLevel(0.5f);
        env.SetStage(CADSR::kAttack);
        env.GetSamples(b.left.data(), b.right.data(), 1, 44100.0);
        EXPECT_EQ(env.Level(), 0.25f);
        EXPECT_EQ(env.Stage(), CADSR::kSustain);
    }
    {
        SCOPED_TRACE("null buffers change nothing");
        env.SetLevel(0.0f);
        env.SetStage(CADSR::kAttack);
        EXPECT_FALSE(env.GetSamples(nullptr, b.right.data(), 16, 44100.0));
        EXPECT_EQ(env.Level(), 0.0f);
        EXPECT_EQ(env.Stage(), CADSR::kAttack);
    }
}
