#include "hosts/render/OfflineHost.h"
#include "RenderTestComponent.h"
#include "RenderTestUtil.h"

#include <gtest/gtest.h>

namespace
{
class Rig
{
public:
    explicit Rig(OfflineHost::Settings settings, const TempoMap& map = TempoMap(120.0)) : mMap(map)
    {
        EXPECT_EQ(noErr, AudioComponentInstanceNew(&kRenderTestComponent, &mUnit));
        mHost = std::make_unique<OfflineHost>(mUnit, settings, mMap);
        std::string error;
        EXPECT_TRUE(mHost->Prepare(error)) << error;
    }
    ~Rig()
    {
        mHost.reset();
        AudioComponentInstanceDispose(mUnit);
    }

    bool Render(std::uint64_t frames, const std::vector<OfflineHost::MidiMessage>& midi = {},
                const std::vector<OfflineHost::ParameterChange>& changes = {})
    {
        std::string error;
        const bool ok = mHost->Render(
            frames, midi, changes, nullptr, [](const float*, const float*, UInt32) { return true; },
            [this](std::uint64_t done, std::uint64_t) { mProgress.push_back(done); }, error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    RenderTestComponent& Component() { return RenderTestComponent::Of(mUnit); }

    std::vector<std::uint64_t> mProgress;

private:
    TempoMap mMap;
    AudioUnit mUnit = nullptr;
    std::unique_ptr<OfflineHost> mHost;
};

OfflineHost::Settings At48k(UInt32 block)
{
    OfflineHost::Settings settings;
    settings.sampleRate = 48000.0;
    settings.blockFrames = block;
    return settings;
}
} // namespace

TEST(OfflineHost, MidiArrivesBeforeItsBlockAtItsOffset)
{
    Rig rig(At48k(256));
    // A note on at 0.5 s: frame 24000 = 93 × 256 + 192, so block 93 at offset 192. The note
    // off at frame 24320 = 95 × 256 lands at the start of block 95.
    ASSERT_TRUE(rig.Render(30000, {{24000, 0x90, 60, 100}, {24320, 0x80, 60, 0}}));
    const auto& midi = rig.Component().mMidi;
    ASSERT_EQ(2u, midi.size());
    EXPECT_EQ(0x90, midi[0].status);
    EXPECT_EQ(60, midi[0].data1);
    EXPECT_EQ(100, midi[0].data2);
    EXPECT_EQ(93u, midi[0].cycle);
    EXPECT_EQ(192u, midi[0].offset);
    EXPECT_EQ(0x80, midi[1].status);
    EXPECT_EQ(95u, midi[1].cycle);
    EXPECT_EQ(0u, midi[1].offset);
}

TEST(OfflineHost, EveryBusEachCycleInOrderWithOneTimeStamp)
{
    Rig rig(At48k(100));
    ASSERT_TRUE(rig.Render(250)); // blocks of 100, 100, 50
    const auto& calls = rig.Component().mRenderCalls;
    ASSERT_EQ(12u, calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(i % 4, calls[i].bus);
        EXPECT_EQ(100.0 * static_cast<double>(i / 4), calls[i].sampleTime);
        EXPECT_EQ(i < 8 ? 100u : 50u, calls[i].frames);
    }
    // Bus 0 only, once per cycle, asks the clock.
    ASSERT_EQ(3u, rig.Component().mClocks.size());
    EXPECT_EQ((std::vector<std::uint64_t>{100, 200, 250}), rig.mProgress);
}

TEST(OfflineHost, ParameterChangeSplitsItsBlock)
{
    Rig rig(At48k(256));
    // Gain 0.5 at frame 1000, inside the block 768 … 1024: it becomes 768 … 1000 and
    // 1000 … 1024, and the blocks after it keep their places.
    ASSERT_TRUE(rig.Render(1536, {}, {{1000, 0, 0.5f}}));
    std::vector<std::pair<double, UInt32>> cycles;
    for (const auto& call : rig.Component().mRenderCalls)
    {
        if (call.bus == 0)
        {
            cycles.emplace_back(call.sampleTime, call.frames);
            EXPECT_EQ(call.sampleTime < 1000 ? 1.0f : 0.5f, call.gain) << call.sampleTime;
        }
    }
    const std::vector<std::pair<double, UInt32>> expected = {
        {0, 256}, {256, 256}, {512, 256}, {768, 232}, {1000, 24}, {1024, 256}, {1280, 256}};
    EXPECT_EQ(expected, cycles);
}

TEST(OfflineHost, ClockFollowsTheTempoMap)
{
    StandardMidiFile file;
    std::string error;
    const Bytes bytes = TwoTrackFile();
    ASSERT_TRUE(StandardMidiFile::Parse(bytes.data(), bytes.size(), file, error));
    const TempoMap map(file, 120.0);
    Rig rig(At48k(256), map);
    ASSERT_TRUE(rig.Render(48000 * 3));
    const auto& clocks = rig.Component().mClocks;
    ASSERT_EQ(563u, clocks.size()); // ceil(144000 / 256)
    for (const auto& clock : clocks)
    {
        ASSERT_EQ(noErr, clock.beatStatus);
        ASSERT_DOUBLE_EQ(map.BeatAtSeconds(clock.sampleTime / 48000.0), clock.beat);
        ASSERT_EQ(clock.sampleTime, clock.sampleInTimeLine);
        ASSERT_TRUE(clock.playing);
    }
    EXPECT_TRUE(clocks[0].changed);
    EXPECT_FALSE(clocks[1].changed);

    // Frame 24064 = block 94: 0.501333 s, beat 1.002667 at 120 bpm; the next beat (2) falls
    // at 1.0 s = frame 48000, 23936 frames ahead; the bar (3/4) began at beat 0.
    const auto& early = clocks[94];
    EXPECT_EQ(24064.0, early.sampleTime);
    EXPECT_DOUBLE_EQ(24064.0 / 24000.0, early.beat);
    EXPECT_EQ(120.0, early.tempo);
    EXPECT_EQ(23936u, early.toNextBeat);
    EXPECT_EQ(3.0f, early.numerator);
    EXPECT_EQ(4u, early.denominator);
    EXPECT_EQ(0.0, early.downBeat);

    // Frame 96000 = block 375: 2.0 s, beat 2 + 1 s × 1 beat/s = 3 at 60 bpm, on a beat and
    // on the second bar line.
    const auto& late = clocks[375];
    EXPECT_EQ(96000.0, late.sampleTime);
    EXPECT_DOUBLE_EQ(3.0, late.beat);
    EXPECT_EQ(60.0, late.tempo);
    EXPECT_EQ(0u, late.toNextBeat);
    EXPECT_DOUBLE_EQ(3.0, late.downBeat);
}

TEST(OfflineHost, AStoppedTransportHoldsTheClockAndNoHostClockLeavesOnlyTheTransport)
{
    OfflineHost::Settings stopped = At48k(512);
    stopped.playing = false;
    Rig still(stopped, TempoMap(90.0));
    ASSERT_TRUE(still.Render(2048));
    for (const auto& clock : still.Component().mClocks)
    {
        EXPECT_FALSE(clock.playing);
        EXPECT_EQ(0.0, clock.beat);
        EXPECT_EQ(90.0, clock.tempo);
        EXPECT_EQ(0.0, clock.sampleInTimeLine);
    }

    OfflineHost::Settings clockless = At48k(256);
    clockless.hostClock = false;
    Rig rig(clockless);
    ASSERT_TRUE(rig.Render(256));
    const auto& clock = rig.Component().mClocks.at(0);
    EXPECT_NE(noErr, clock.beatStatus);
    EXPECT_NE(noErr, clock.locationStatus);
    EXPECT_EQ(noErr, clock.transportStatus);
    EXPECT_TRUE(clock.playing);
}

TEST(OfflineHost, AFailedOutputStopsTheRenderAndAMissingBusIsReported)
{
    AudioUnit unit = nullptr;
    ASSERT_EQ(noErr, AudioComponentInstanceNew(&kRenderTestComponent, &unit));
    const TempoMap map(120.0);
    OfflineHost host(unit, At48k(256), map);
    std::string error;
    ASSERT_TRUE(host.Prepare(error)) << error;
    int written = 0;
    EXPECT_FALSE(host.Render(
        1024, {}, {}, nullptr,
        [&written](const float*, const float*, UInt32)
        {
            ++written;
            return false;
        },
        nullptr, error));
    EXPECT_EQ(1, written);
    EXPECT_EQ("writing the output failed", error);
    // Bus 0 is the written one: nothing is rendered after it failed to go out.
    EXPECT_EQ(1u, RenderTestComponent::Of(unit).mRenderCalls.size());

    OfflineHost::Settings settings = At48k(256);
    settings.outputBus = 4;
    OfflineHost lacking(unit, settings, map);
    EXPECT_FALSE(lacking.Prepare(error));
    EXPECT_EQ("the unit has no output bus 4", error);
    AudioComponentInstanceDispose(unit);
}
