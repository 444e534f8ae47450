// LiveHost around the render host's test component: what reaches the unit, cycle by cycle, and
// what a reconfiguration keeps. (That Tova's recording survives a new buffer size is checked
// end to end against a JACK server.)

#include "hosts/jack/LiveHost.h"
#include "RenderTestComponent.h"
#include "hosts/jack/JackTransportClock.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace
{
// One cycle's buffers: a stereo input and the outputs of four buses.
struct Buffers
{
    explicit Buffers(UInt32 frames)
        : inL(frames), inR(frames), out(8, std::vector<float>(frames, -9.0f))
    {
        for (UInt32 b = 0; b < 8; ++b)
            pointers[b] = out[b].data();
    }
    std::vector<float> inL, inR;
    std::vector<std::vector<float>> out;
    std::array<float*, 8> pointers{};
};

class LiveHostTest : public ::testing::Test
{
protected:
    void Open(const AudioComponentRegistration& component, UInt32 buses)
    {
        ASSERT_EQ(noErr, AudioComponentInstanceNew(&component, &mUnit));
        mHost = std::make_unique<LiveHost>(mUnit, buses, mClock.Callbacks());
    }
    void TearDown() override
    {
        mHost.reset();
        if (mUnit != nullptr) AudioComponentInstanceDispose(mUnit);
    }
    void Configure(double rate, UInt32 frames)
    {
        std::string error;
        ASSERT_TRUE(mHost->Configure(rate, frames, error)) << error;
    }
    // One cycle as the JACK client runs it; false when it was refused (silence).
    struct Event
    {
        UInt8 status, data1, data2;
        UInt32 offset;
    };
    bool Cycle(Buffers& b, UInt32 frames, const std::vector<Event>& midi = {})
    {
        const LiveHost::Cycle cycle(*mHost, frames);
        if (!cycle)
        {
            LiveHost::Silence(frames, b.pointers.data(), 2 * mHost->Buses());
            return false;
        }
        for (const Event& m : midi)
            mHost->Midi(m.status, m.data1, m.data2, m.offset);
        mHost->Render(frames, b.inL.data(), b.inR.data(), b.pointers.data());
        return true;
    }

    AudioUnit mUnit = nullptr;
    JackTransportClock mClock;
    std::unique_ptr<LiveHost> mHost;
};
} // namespace

TEST_F(LiveHostTest, EveryBusOfACycleWithOneTimeStampAndTheInput)
{
    Open(kRenderTestComponent, 4);
    Configure(48000, 256);
    Buffers b(256);
    for (UInt32 i = 0; i < 256; ++i)
    {
        b.inL[i] = 0.001f * static_cast<float>(i);
        b.inR[i] = -b.inL[i];
    }
    ASSERT_TRUE(Cycle(b, 256));
    ASSERT_TRUE(Cycle(b, 200, {{0x90, 60, 100, 17}, {0x80, 60, 0, 199}}));

    const auto& component = RenderTestComponent::Of(mUnit);
    ASSERT_EQ(8u, component.mRenderCalls.size());
    for (UInt32 call = 0; call < 8; ++call)
    {
        SCOPED_TRACE(call);
        EXPECT_EQ(call % 4, component.mRenderCalls[call].bus) << "bus 0 first";
        EXPECT_EQ(call < 4 ? 0.0 : 256.0, component.mRenderCalls[call].sampleTime);
        EXPECT_EQ(call < 4 ? 256u : 200u, component.mRenderCalls[call].frames);
    }
    // Bus b: input + b on the left, input + b + 0.5 on the right (the gain is 1).
    for (UInt32 bus = 0; bus < 4; ++bus)
    {
        EXPECT_FLOAT_EQ(0.001f * 150 + static_cast<float>(bus), b.out[2 * bus][150]);
        EXPECT_FLOAT_EQ(-0.001f * 150 + static_cast<float>(bus) + 0.5f, b.out[2 * bus + 1][150]);
    }
    // MIDI reaches the unit before the render calls of its cycle, at its offset.
    ASSERT_EQ(2u, component.mMidi.size());
    EXPECT_EQ(0x90, component.mMidi[0].status);
    EXPECT_EQ(17u, component.mMidi[0].offset);
    EXPECT_EQ(1u, component.mMidi[0].cycle);
    EXPECT_EQ(199u, component.mMidi[1].offset);
}

TEST_F(LiveHostTest, OneBusAsksTheTransportClockAndFollowsTheServersChanges)
{
    Open(kRenderTestComponent, 1);
    Configure(48000, 256);
    jack_position_t position{};
    position.frame_rate = 48000;
    position.frame = 96000;
    position.valid = JackPositionBBT;
    position.bar = 2;
    position.beat = 1;
    position.ticks_per_beat = 1920;
    position.beats_per_bar = 4;
    position.beat_type = 4;
    position.beats_per_minute = 120;
    mClock.Update(JackTransportRolling, position);
    ASSERT_EQ(noErr, AudioUnitSetParameter(mUnit, 0, kAudioUnitScope_Global, 0, 0.5f, 0));
    Buffers b(512);
    ASSERT_TRUE(Cycle(b, 256));
    const auto& component = RenderTestComponent::Of(mUnit);
    ASSERT_EQ(1u, component.mRenderCalls.size()) << "bus 0 only";
    EXPECT_EQ(-9.0f, b.out[2][0]) << "bus 1 is left alone";
    ASSERT_EQ(1u, component.mClocks.size());
    const RenderTestComponent::Clock& clock = component.mClocks[0];
    EXPECT_EQ(noErr, clock.beatStatus);
    EXPECT_EQ(4.0, clock.beat); // the first beat of bar 2 in 4/4
    EXPECT_EQ(120.0, clock.tempo);
    EXPECT_TRUE(clock.playing);
    EXPECT_TRUE(clock.changed);
    EXPECT_EQ(96000.0, clock.sampleInTimeLine);

    // Longer cycles than the unit was prepared for are refused, and silent.
    EXPECT_FALSE(Cycle(b, 512));
    EXPECT_EQ(0.0f, b.out[0][300]);
    Configure(44100, 512);
    AudioStreamBasicDescription format{};
    UInt32 size = sizeof format;
    ASSERT_EQ(noErr, AudioUnitGetProperty(mUnit, kAudioUnitProperty_StreamFormat,
                                          kAudioUnitScope_Output, 0, &format, &size));
    EXPECT_EQ(44100.0, format.mSampleRate);
    EXPECT_TRUE(Cycle(b, 512));
    ASSERT_EQ(2u, component.mRenderCalls.size());
    EXPECT_EQ(256.0, component.mRenderCalls[1].sampleTime) << "time goes on";
    EXPECT_EQ(0.5f, component.mRenderCalls[1].gain) << "the unit keeps its settings";
}
