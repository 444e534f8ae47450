#include "dsp/revmodel.h"

#include "Stereo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{
Stereo Process(revmodel& reverb, const Stereo& in)
{
    Stereo out(in.Frames());
    reverb.processreplace(in.left.data(), in.right.data(), out.left.data(), out.right.data(),
                          static_cast<long>(in.Frames()));
    return out;
}

void Advance(revmodel& reverb, const Stereo& in)
{
    reverb.processreplace(in.left.data(), in.right.data(), nullptr, nullptr,
                          static_cast<long>(in.Frames()));
}

double Rms(const std::vector<float>& signal, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(signal[i]) * signal[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// 100 kB of delay lines each: keep them off the stack.
std::unique_ptr<revmodel> Make()
{
    return std::make_unique<revmodel>();
}
} // namespace

TEST(revmodel, ConstructorSettingsSetterScalingAndSilence)
{
    auto reverb = Make();
    EXPECT_EQ(reverb->getwet(), 1.0f);
    EXPECT_EQ(reverb->getroomsize(), 0.5f);
    EXPECT_EQ(reverb->getdry(), 0.0f);
    EXPECT_EQ(reverb->getdamp(), 0.004f);  // setdamp(1.0) * 0.004
    EXPECT_EQ(reverb->getwidth(), 0.005f); // setwidth(0.5) * 0.01
    reverb->setdamp(100.0f);
    EXPECT_EQ(reverb->getdamp(), 0.4f);
    // 15 * 0.01 in double is 0.15, which rounds to 0.15f; a float factor would give the
    // float below it (15 * 0.01f = 0.14999999).
    reverb->setwidth(15.0f);
    EXPECT_EQ(reverb->getwidth(), 0.15f);
    reverb->setmode(0.99f);
    EXPECT_EQ(reverb->getmode(), 0.0f);
    reverb->setmode(7.0f);
    EXPECT_EQ(reverb->getmode(), 1.0f);

    const Stereo out = Process(*Make(), Stereo(20000));
    EXPECT_EQ(out.left, std::vector<float>(20000, 0.0f));
    EXPECT_EQ(out.right, std::vector<float>(20000, 0.0f));
}

TEST(revmodel, FirstReflectionsOfAnImpulseDifferLeftAndRight)
{
    // Width 50 gives wetDirect = 1 * (0.5 * 0.5 + 0.5) = 0.75 and wetCross = 0.25; wet 1,
    // dry 0.  The impulse enters every comb as (1 + 0) * 0.0165.  A comb hands it on after
    // its own length; until the shortest allpass (225) gives something back, each comb's
    // pulse crosses the four allpasses on their direct path (b - v with b = 0), its sign
    // flipped four times: revLeft = +0.0165 at 1116, 1188, 1277 and revRight at 1139, 1211,
    // 1300 (23 frames later), nothing anywhere else.
    auto reverb = Make();
    reverb->setwidth(50.0f);
    Stereo in(1600);
    in.left[0] = 1.0f;
    const Stereo out = Process(*reverb, in);
    // Both banks hear (left + right) * gain: the same impulse on the right gives the same.
    auto other = Make();
    other->setwidth(50.0f);
    Stereo onRight(1600);
    onRight.right[0] = 1.0f;
    EXPECT_EQ(Process(*other, onRight).left, out.left);

    const float pulse = 1.0f * 0.0165f;
    for (std::size_t i = 0; i < 1341; ++i)
    {
        SCOPED_TRACE(i);
        const bool left = i == 1116 || i == 1188 || i == 1277;
        const bool right = i == 1139 || i == 1211 || i == 1300;
        EXPECT_EQ(out.left[i], left ? pulse * 0.75f : right ? pulse * 0.25f : 0.0f);
        EXPECT_EQ(out.right[i], right ? pulse * 0.75f : left ? pulse * 0.25f : 0.0f);
    }

    // Frame 1341 = 1116 + 225: the last left allpass gives back what it stored at 1116.  Its
    // input then was -0.0165 (three flips) and it stored v + 0 * 0.5; with no input now its
    // output is b - 0 = -0.0165, and it stores 0 + b * 0.5.  That half comes out 225 frames
    // later, at 1566, when nothing else reaches the left output.
    EXPECT_EQ(out.left[1341], -pulse * 0.75f);
    EXPECT_EQ(out.right[1341], -pulse * 0.25f);
    EXPECT_EQ(out.left[1566], -pulse * 0.5f * 0.75f);
    EXPECT_EQ(out.right[1566], -pulse * 0.5f * 0.25f);
}

TEST(revmodel, CombFeedbackAndDampingOnTheSecondLap)
{
    // The first frame at which a comb reads back its own feedback is 2232, the second lap of
    // the 1116-frame comb; every frame before it is identical whatever the room size and
    // damping.  At 1116 that comb stored s = 0.0165 * (1 - damp) (y * damp2 + 0 * damp1) and
    // wrote s * feedback; at 1117 its store became s * damp and it wrote s * damp * feedback.
    // So at 2232 the left output moves by 0.75 * 0.0165 * (1 - damp) * feedback and at 2233
    // by 0.75 * 0.0165 * (1 - damp) * damp * feedback between two settings (width 50; the
    // four allpasses pass the new value with sign +1).
    const auto run = [](float roomsize, float dampParameter)
    {
        auto reverb = Make();
        reverb->setwidth(50.0f);
        reverb->setroomsize(roomsize);
        reverb->setdamp(dampParameter);
        Stereo in(2240);
        in.left[0] = 1.0f;
        return Process(*reverb, in);
    };
    const auto moved = [](float room, float damp) { return 0.0165 * (1.0 - damp) * room; };

    {
        SCOPED_TRACE("room size 0.5 -> 0.9");
        const Stereo a = run(0.5f, 1.0f);
        const Stereo b = run(0.9f, 1.0f);
        for (std::size_t i = 0; i < 2232; ++i)
            ASSERT_EQ(a.left[i], b.left[i]) << i;
        const double step = moved(0.9f, 0.004f) - moved(0.5f, 0.004f); // 0.0165*0.996*0.4
        EXPECT_NEAR(b.left[2232] - a.left[2232], 0.75 * step, 1e-8);
        EXPECT_NEAR(b.right[2232] - a.right[2232], 0.25 * step, 1e-8);
        EXPECT_NEAR(b.left[2233] - a.left[2233], 0.75 * step * 0.004, 1e-8);
    }
    {
        SCOPED_TRACE("damp 1 -> 50 (0.004 -> 0.2)");
        const Stereo a = run(0.5f, 1.0f);
        const Stereo b = run(0.5f, 50.0f);
        for (std::size_t i = 0; i < 2232; ++i)
            ASSERT_EQ(a.left[i], b.left[i]) << i;
        EXPECT_NEAR(b.left[2232] - a.left[2232], 0.75 * (moved(0.5f, 0.2f) - moved(0.5f, 0.004f)),
                    1e-8);
        EXPECT_NEAR(b.left[2233] - a.left[2233],
                    0.75 * (moved(0.5f, 0.2f) * 0.2 - moved(0.5f, 0.004f) * 0.004), 1e-8);
    }
}

TEST(revmodel, WidthSetsTheCrossMix)
{
    const Stereo in = Stereo::Noise(8000, 5);
    const auto run = [&](float width)
    {
        auto reverb = Make();
        reverb->setwidth(width);
        return Process(*reverb, in);
    };
    // Width 100: wetDirect 1, wetCross 0 -- each output is its own bank alone.
    const Stereo own = run(100.0f);
    EXPECT_NE(own.left, own.right);

    {
        SCOPED_TRACE("width 0: both outputs the same mix, each bank at half of wet");
        const Stereo mono = run(0.0f);
        EXPECT_EQ(mono.left, mono.right);
        for (std::size_t i = 0; i < in.Frames(); ++i)
            ASSERT_EQ(mono.left[i], own.left[i] * 0.5f + own.right[i] * 0.5f) << i;
    }
    {
        SCOPED_TRACE("width 50: 0.75 own bank, 0.25 the other");
        const Stereo half = run(50.0f);
        for (std::size_t i = 0; i < in.Frames(); ++i)
        {
            ASSERT_EQ(half.left[i], own.left[i] * 0.75f + own.right[i] * 0.25f) << i;
            ASSERT_EQ(half.right[i], own.right[i] * 0.75f + own.left[i] * 0.25f) << i;
        }
    }
}

TEST(revmodel, FreezeSustainsWithoutDecayAndSurvivesMute)
{
    constexpr std::size_t kSecond = 48000;
    auto frozen = Make();
    auto muted = Make();
    for (revmodel* reverb : {frozen.get(), muted.get()})
    {
        reverb->setroomsize(0.8f);
        reverb->setdamp(50.0f);
        Advance(*reverb, Stereo::Noise(20000, 3));
        reverb->setmode(1.0f);
    }
    muted->mute();

    // Frozen: the combs take no input, so feeding noise or silence makes no difference.
    const Stereo held = Process(*frozen, Stereo::Noise(12 * kSecond, 4));
    const Stereo heldMuted = Process(*muted, Stereo(12 * kSecond));
    EXPECT_EQ(held.left, heldMuted.left);
    EXPECT_EQ(held.right, heldMuted.right);

    // Lossless comb loops: a second's level after 11 seconds matches the first second's.
    const double early = Rms(held.left, 0, kSecond);
    const double late = Rms(held.left, 11 * kSecond, 12 * kSecond);
    EXPECT_GT(early, 0.01);
    EXPECT_NEAR(late / early, 1.0, 0.1);

    // Released, the same tail decays: room size 0.8 loses 1.9 dB per comb lap of about 1400
    // frames, over 60 dB within a second.
    frozen->setmode(0.0f);
    const Stereo released = Process(*frozen, Stereo(2 * kSecond));
    EXPECT_LT(Rms(released.left, kSecond, 2 * kSecond), early * 1e-3);

    // Once released, mute works again: every delay line is silent, so nothing comes out
    // before the shortest comb's lap (the combs' low-pass states are left as they were, and
    // what they feed back reappears one lap later).
    muted->setmode(0.0f);
    muted->mute();
    const Stereo silent = Process(*muted, Stereo(1116));
    for (std::size_t i = 0; i < silent.Frames(); ++i)
    {
        ASSERT_EQ(silent.left[i], 0.0f) << i;
        ASSERT_EQ(silent.right[i], 0.0f) << i;
    }
}

TEST(revmodel, NullOutputsKeepTheTailCurrent)
{
    const Stereo first = Stereo::Noise(9000, 21);
    const Stereo second = Stereo::Noise(9000, 22);

    auto heard = Make();
    auto unheard = Make();
    Process(*heard, first);
    Advance(*unheard, first);
    EXPECT_EQ(Process(*heard, second).left, Process(*unheard, second).left);

    // One null output is as good as two: nothing is written.
    auto half = Make();
    Stereo out(first.Frames());
    out.right.assign(out.Frames(), 7.0f);
    half->processreplace(first.left.data(), first.right.data(), nullptr, out.right.data(),
                         static_cast<long>(first.Frames()));
    for (std::size_t i = 0; i < out.Frames(); ++i)
        ASSERT_EQ(out.right[i], 7.0f) << i;
}
