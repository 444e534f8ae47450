// MIDI from one thread and learn arming, parameters and erase-all from another while a third
// renders, with a second instance sharing the learn tables. ThreadSanitizer checks that the
// tables, the armed parameter and the key state are never shared unsafely.

#include "integration/CTovaProbe.h"
#include "integration/RenderThread.h"
#include "integration/TovaHost.h"

#include "platform/AudioUnitUtilities.h"

#include <gtest/gtest.h>

#include <thread>

TEST(TovaMidiConcurrency, LearningAndLearnedControlsWhileRendering)
{
    CTova::SetLearnDefaults();
    TovaHost host(48000);
    TovaHost other(48000);
    host.SetInput(TovaHost::Constant(48000 * 60, 0.25f));
    host.collect = false;
    host.SetPlaying(true);
    CTovaProbe probe(host.Tova());
    CTovaProbe otherProbe(other.Tova());
    for (int k = 0; k < 4; ++k)
        probe.GiveSample(60 + k, 20000, 0.1f);
    // Harmless targets for whatever the race binds: nothing that erases, records or locks.
    constexpr AudioUnitParameterID kTargets[] = {kTovaParam_TapeSpeed, kTovaParam_Pitch,
                                                 kTovaParam_Time, kTovaParam_Bo};
    {
        RenderThread render(host);
        std::thread midi(
            [&]
            {
                for (int i = 0; i < 3000; ++i)
                {
                    const auto note = static_cast<UInt8>(60 + i % 4);
                    host.Midi(0xB0, static_cast<UInt8>(i % 8), static_cast<UInt8>(i % 128));
                    host.Midi(0xE0, static_cast<UInt8>(i % 128), static_cast<UInt8>(i / 7 % 128));
                    host.NoteOn(note, 100);
                    host.NoteOff(note);
                    other.Midi(0xB0, static_cast<UInt8>(i % 8), static_cast<UInt8>(127 - i % 128));
                }
            });
        for (int i = 0; i < 300; ++i)
        {
            probe.LearnParam() = static_cast<SInt16>(kTargets[i % 4]);
            otherProbe.LearnParam() = static_cast<SInt16>(kTargets[(i + 1) % 4]);
            host.Set(kTovaParam_Legato, static_cast<float>(i % 2));
            if (i % 100 == 99) host.Tova().EraseAllSamples();
            AUListenerDispatchPending();
            std::this_thread::yield();
        }
        midi.join();
        render.WaitForCycles(2);
    }
    for (int slot = 0; slot < CTova::kLearnSlots; ++slot)
    {
        SCOPED_TRACE(slot);
        const int cc = CTovaProbe::LearnedCC(slot).load();
        const int note = CTovaProbe::LearnedNote(slot).load();
        EXPECT_TRUE(cc == -1 || (cc >= 0 && cc < static_cast<int>(kTovaParam_Count)));
        EXPECT_TRUE(note == -1 || (note >= 0 && note < static_cast<int>(kTovaParam_Count)));
    }
    CTova::SetLearnDefaults();
}
