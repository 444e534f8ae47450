// What the plug-in frame costs on the render thread: one cycle of four output buses around a
// plug-in that only clears its buffers, reading a parameter among 35, and setting a parameter
// with a listener notification.
#include "params/frame/AUMIDIEffectBase.h"
#include "params/frame/ComponentEntryPoint.h"
#include "platform/AudioUnitUtilities.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace
{

constexpr UInt32 kBuses = 4;
constexpr UInt32 kParameters = 35;

class ClearingPlugin : public AUMIDIEffectBase
{
public:
    explicit ClearingPlugin(AudioComponentInstance instance) : AUMIDIEffectBase(instance)
    {
        SetMaxFramesPerSlice(2048);
        for (AudioUnitParameterID id = 0; id < kParameters; ++id)
            Globals()->SetParameter(id, 0);
    }
    void PostConstructor() override
    {
        AUMIDIEffectBase::PostConstructor();
        SetBusCount(kAudioUnitScope_Output, kBuses);
    }
    OSStatus RenderBus(AudioUnitRenderActionFlags&, const AudioTimeStamp& timeStamp, UInt32 bus,
                       UInt32 frames) override
    {
        benchmark::DoNotOptimize(NeedsToRender(timeStamp));
        for (UInt32 c = 0; c < 2; ++c)
            std::fill_n(GetOutput(bus)->GetChannelData(c), frames, 0.0f);
        return noErr;
    }
};

ComponentResult ClearingEntry(ComponentParameters* params, void* storage)
{
    return ComponentEntryPoint<ClearingPlugin>::Dispatch(params, storage);
}

const AudioComponentRegistration kClearing{
    {kAudioUnitType_MusicEffect, FourCharCode("Clr "), FourCharCode("Qzpt")},
    "Clearing",
    1,
    ClearingEntry};

struct Open
{
    Open()
    {
        AudioComponentInstanceNew(&kClearing, &unit);
        AudioUnitInitialize(unit);
    }
    ~Open() { AudioComponentInstanceDispose(unit); }
    AudioUnit unit = nullptr;
};

void BM_FrameRenderCycle(benchmark::State& state)
{
    const auto frames = static_cast<UInt32>(state.range(0));
    Open open;
    std::vector<Float32> memory(2 * frames * kBuses);
    Float64 sampleTime = 0;
    for (auto _ : state)
    {
        AudioTimeStamp ts;
        ts.mSampleTime = sampleTime;
        for (UInt32 bus = 0; bus < kBuses; ++bus)
        {
            AudioBufferList list;
            list.mNumberBuffers = 2;
            for (UInt32 c = 0; c < 2; ++c)
                list.mBuffers[c] = {1, frames * UInt32(sizeof(Float32)),
                                    memory.data() + (2 * bus + c) * frames};
            AudioUnitRenderActionFlags flags = 0;
            AudioUnitRender(open.unit, &flags, &ts, bus, frames, &list);
        }
        sampleTime += frames;
    }
    state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_FrameRenderCycle)->Arg(64)->Arg(512);

void BM_FrameGetLastParameter(benchmark::State& state)
{
    Open open;
    AudioUnitParameterValue value = 0;
    for (auto _ : state)
    {
        AudioUnitGetParameter(open.unit, kParameters - 1, kAudioUnitScope_Global, 0, &value);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_FrameGetLastParameter);

void BM_FrameParameterSetWithNotification(benchmark::State& state)
{
    Open open;
    const AudioUnitParameter parameter{open.unit, 20, kAudioUnitScope_Global, 0};
    UInt32 posted = 0;
    for (auto _ : state)
    {
        AUParameterSet(nullptr, nullptr, &parameter, 0.5f, 0);
        if (++posted == 1024) // keep the queue from filling; nobody listens
        {
            AUListenerDispatchPending();
            posted = 0;
        }
    }
    AUListenerDispatchPending();
}
BENCHMARK(BM_FrameParameterSetWithNotification);

} // namespace
