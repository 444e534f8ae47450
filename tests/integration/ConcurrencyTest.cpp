// Rendering on one thread while another sets every parameter, toggles "All Sounds Off", the
// reverb and "Autolooper", and erases all samples; and whole-engine work under the exclusive
// token while the render thread runs. ThreadSanitizer checks that no field is shared unsafely.

#include "integration/CTovaProbe.h"
#include "integration/RenderThread.h"
#include "integration/TovaHost.h"

#include "platform/AudioUnitUtilities.h"

#include <gtest/gtest.h>

TEST(TovaConcurrency, ParametersFromAnotherThreadWhileRendering)
{
    TovaHost host(48000);
    host.SetInput(TovaHost::Constant(48000 * 60, 0.25f));
    host.collect = false;
    host.SetPlaying(true);
    CTovaProbe probe(host.Tova());
    for (int k = 0; k < 8; ++k)
        probe.GiveSample(40 + k, 5000, 0.1f);
    for (int k = 0; k < 8; ++k)
        host.NoteOn(static_cast<UInt8>(40 + k));
    {
        RenderThread render(host);
        for (int round = 0; round < 40; ++round)
        {
            for (AudioUnitParameterID id = 0; id < kTovaParam_Count; ++id)
            {
                if (id == kTovaParam_MemoryLock || id == kTovaParam_StopPrior) continue;
                const AudioUnitParameterInfo& info = CTova::s_asParInfo[id];
                const float t = static_cast<float>((round * 7 + static_cast<int>(id)) % 10) / 9;
                host.Set(id, info.minValue + t * (info.maxValue - info.minValue));
            }
            host.Set(kTovaParam_AllSoundsOff, 1);
            host.Set(kTovaParam_AllSoundsOff, 0);
            host.Set(kTovaParam_PlayReverb, static_cast<float>(round % 2));
            host.Set(kTovaParam_Freeze, static_cast<float>(round % 2));
            host.Set(kTovaParam_Autolooper, static_cast<float>(round % 2));
            host.Set(kTovaParam_ToggleAutolooper, 1);
            host.Set(kTovaParam_ToggleAutolooper, 0);
            host.NoteOn(static_cast<UInt8>(40 + round % 8));
            host.Tova().EraseAllSamples();
            AUListenerDispatchPending();
            render.WaitForCycles(2);
        }
        host.Set(kTovaParam_Autolooper, 0);
        render.WaitForCycles(4);
    }
    const CTova::Exclusive access(host.Tova());
    EXPECT_EQ(0, probe.Voicer(1).Top());
}

TEST(TovaConcurrency, WholeEngineWorkUnderTheTokenWhileRendering)
{
    TovaHost host(48000);
    host.SetInput(TovaHost::Constant(48000 * 60, 0.25f));
    host.collect = false;
    CTovaProbe probe(host.Tova());
    RenderThread render(host);
    for (int i = 0; i < 200; ++i)
    {
        {
            // What a state restore does: replace keys' samples with the render thread held off.
            const CTova::Exclusive access(host.Tova());
            probe.GiveSample(50, 100 + i);
            probe.Key(50).SetSample(nullptr);
            probe.GiveSample(51, 200);
        }
        AudioUnitReset(host.Unit(), kAudioUnitScope_Global, 0); // takes the token itself
        host.Set(kTovaParam_TapeSpeed, static_cast<float>(i % 3));
    }
    render.WaitForCycles(2);
    EXPECT_GT(render.Cycles(), 0);
}
