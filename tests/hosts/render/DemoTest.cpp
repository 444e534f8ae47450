// The example that scripts/demo.sh renders, rendered the same way and checked by ear's
// stand-in: the loops are one bar long and start on the bar, the keys sound where the song
// plays them, the scratch changes the bar it is in and nothing before it, and the frozen
// reverb holds on after the last note until it is let go.

#include "RenderTestUtil.h"
#include "TovaTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

namespace
{
constexpr std::size_t kBar = 96000; // 4 beats at 120 bpm, 0.5 s each, at 48 kHz

// The options of demo.args as demo.sh reads them: an option and its value per line, '#'
// comment lines; `keep` decides which lines stay.
std::vector<std::string> DemoOptions(bool (*keep)(const std::string& value))
{
    std::ifstream in(std::string(TOVA_EXAMPLES) + "/demo.args");
    EXPECT_TRUE(in.good());
    std::vector<std::string> options;
    for (std::string line; std::getline(in, line);)
    {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t space = line.find(' ');
        const std::string value = line.substr(space + 1);
        if (!keep(value)) continue;
        options.push_back(line.substr(0, space));
        options.push_back(value);
    }
    return options;
}

// Renders the demo with the options `keep` leaves; returns the left channel.
std::vector<float> RenderDemo(const std::string& name, bool (*keep)(const std::string& value),
                              const std::string& state = "")
{
    std::vector<std::string> args = {"--in",   std::string(TOVA_EXAMPLES) + "/demo-phrase.wav",
                                     "--midi", std::string(TOVA_EXAMPLES) + "/demo.mid",
                                     "--out",  ScratchPath(name)};
    if (!state.empty())
    {
        args.push_back("--state-out");
        args.push_back(state);
    }
    for (const std::string& option : DemoOptions(keep))
        args.push_back(option);
    const Outcome outcome = RunProgram(TOVA_RENDER, args);
    EXPECT_EQ(0, outcome.status) << outcome.err;
    std::uint64_t frames = 0;
    return ReadLeft(ScratchPath(name), frames);
}

bool Everything(const std::string&)
{
    return true;
}

// Without the scratch and the freeze (and the reverb brought up for the freeze).
bool Plain(const std::string& value)
{
    for (const char* left : {"Rarorovaz=", "Freeze=", "Wet=1.5"})
        if (value.find(left) != std::string::npos) return false;
    return true;
}

double BarRms(const std::vector<float>& s, double fromBar, double toBar)
{
    return Rms(s, static_cast<std::size_t>(fromBar * kBar), static_cast<std::size_t>(toBar * kBar));
}
} // namespace

TEST(Demo, RecordsTwoOneBarLoopsOnTheBar)
{
    const std::string state = ScratchPath("demo.plist");
    RenderDemo("demo.wav", Everything, state);
    const SavedTova saved = SavedTova::Read(state);
    // Key 36 by hand (bar 0), key 60 by the autolooper (bar 1).
    ASSERT_EQ((std::vector<int>{36, 60}), saved.OwnKeys());
    std::uint64_t frames = 0;
    const std::vector<float> phrase =
        ReadLeft(std::string(TOVA_EXAMPLES) + "/demo-phrase.wav", frames);
    ASSERT_EQ(2 * kBar, frames);
    for (int key : {36, 60})
    {
        SCOPED_TRACE(key);
        const SavedTova::Slot& slot = saved.slots.at(saved.keys[key].slot);
        EXPECT_EQ(2, slot.sync); // made "To Bar"
        const std::vector<float> sample = saved.LeftOf(key);
        ASSERT_EQ(kBar, sample.size());
        // Inside its 50-frame fades the loop is its bar of the phrase, frame for frame: the
        // autolooper, switched on a sixteenth late, took the head from the live input.
        const std::size_t bar = key == 36 ? 0 : kBar;
        std::size_t differing = 0;
        for (std::size_t i = 50; i < kBar - 50; ++i)
            differing += sample[i] != phrase[bar + i] ? 1 : 0;
        EXPECT_EQ(0u, differing);
    }
    // The keys the song plays hold the riff transposed: IV, V and the octave.
    for (const auto& [key, shift] : {std::pair{65, 5}, std::pair{67, 7}, std::pair{72, 12}})
    {
        SCOPED_TRACE(key);
        EXPECT_EQ(saved.keys[60].slot, saved.keys[key].slot);
        EXPECT_TRUE(saved.keys[key].automatic);
        EXPECT_NEAR(std::pow(2.0, shift / 12.0), saved.keys[key].pitchShift, 1e-12);
    }
}

TEST(Demo, SoundsWhereTheLoopsPlayAndOnlyTheScratchAndTheFreezeChangeTheirBars)
{
    const std::vector<float> demo = RenderDemo("demo.wav", Everything);
    const std::vector<float> plain = RenderDemo("plain.wav", Plain);
    ASSERT_EQ(10 * kBar, demo.size()); // 9 bars and 2 s of tail
    ASSERT_EQ(demo.size(), plain.size());
    // Every half bar from the phrase's start to the last chord's end sounds: the phrase, the
    // groove with the recorded riff, the transposed keys, the scratch.
    for (double bar = 0; bar < 8; bar += 0.5)
    {
        SCOPED_TRACE(bar);
        EXPECT_GT(BarRms(demo, bar, bar + 0.5), 0.05);
    }
    // Up to the scratch the two renders are the same, sample for sample.
    EXPECT_TRUE(std::equal(demo.begin(), demo.begin() + 6 * kBar, plain.begin()));
    // In bar 6 the platter moves the music about: what differs is as loud as the music.
    std::vector<float> difference(kBar);
    for (std::size_t i = 0; i < kBar; ++i)
        difference[i] = demo[6 * kBar + i] - plain[6 * kBar + i];
    EXPECT_GT(Rms(difference, 0, kBar), 0.5 * BarRms(plain, 6, 7));
    // Frozen from the last beat of bar 7: after the notes end at bar 8 the reverb alone holds
    // on at one level through bar 8, then dies away once let go at bar 9; without the freeze
    // it has died away half a bar after the last note.
    const double held = BarRms(demo, 8.25, 8.5);
    EXPECT_GT(held, 0.03);
    EXPECT_NEAR(held, BarRms(demo, 8.75, 9.0), 0.1 * held);
    EXPECT_LT(BarRms(demo, 9.5, 10.0), 0.001);
    EXPECT_LT(BarRms(plain, 8.5, 9.0), 0.003);
}
