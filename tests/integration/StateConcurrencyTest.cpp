// Saves, restores and imports from a control thread while the render thread records and plays:
// every save must be consistent (no torn or half-moved frames, slots that tile the saved
// frames), a restore must never tear, and an import must not cost the recording a frame.
// ThreadSanitizer checks the hand-offs.

#include "editor/audiofile/AudioFileTestUtil.h"
#include "integration/CTovaProbe.h"
#include "integration/RenderThread.h"
#include "integration/TovaHost.h"
#include "params/StateTestUtil.h"

#include "editor/audiofile/CAAudioFileImport.h"
#include "samples/CSample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>

namespace
{
constexpr double kRate = 48000;
constexpr UInt32 kBlock = 256;
constexpr int kFade = 50; // frames faded at each end of a finished recording

// Big-endian float i of a "samples" byte string.
float Frame(const CFDataStorage& bytes, std::size_t i)
{
    const std::uint32_t bits = (std::uint32_t{bytes[4 * i]} << 24) |
                               (std::uint32_t{bytes[4 * i + 1]} << 16) |
                               (std::uint32_t{bytes[4 * i + 2]} << 8) | bytes[4 * i + 3];
    return std::bit_cast<float>(bits);
}

// Every slot in use lies inside the saved frames, the slots tile them without gap or overlap,
// and every frame of a slot away from its faded ends is the recorded input, `level`.
void ExpectConsistent(const CFType& state, float level)
{
    const CFDictionaryStorage& samples = state.AsDictionary().at("tova-samples").AsDictionary();
    const auto length = static_cast<std::size_t>(samples.at("length").AsSInt64());
    if (length == 0) return;
    const CFDataStorage& bytes = samples.at("samples").AsData();
    ASSERT_EQ(bytes.size(), 8 * length);
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (const CFType& slot : samples.at("data").AsArray())
    {
        const std::int64_t size = slot.AsDictionary().at("size").AsSInt64();
        if (size == 0) continue;
        runs.emplace_back(slot.AsDictionary().at("start").AsSInt64(), size);
    }
    std::sort(runs.begin(), runs.end());
    std::size_t next = 0;
    for (const auto& [start, size] : runs)
    {
        ASSERT_EQ(start, next) << "slots tile the saved frames";
        next = start + size;
        for (std::size_t i = start + kFade; i + kFade < start + size; ++i)
        {
            ASSERT_EQ(Frame(bytes, i), level) << "left frame " << i;
            ASSERT_EQ(Frame(bytes, length + i), level) << "right frame " << i;
        }
    }
    EXPECT_EQ(next, length);
}
} // namespace

TEST(StateConcurrency, SavesWhileRecordingPlayingAndErasingAreConsistent)
{
    TovaHost host(kRate, kBlock);
    host.SetInput(TovaHost::Constant(static_cast<std::size_t>(kRate) * 120, 0.5f));
    host.collect = false;
    host.Set(kTovaParam_Threshold, -20);
    host.Set(kTovaParam_RecordSync, 0);
    // Every 64 cycles: record a key for 30 cycles, then play it.
    RenderThread render(host, kBlock,
                        [&host](long cycle)
                        {
                            const auto key = static_cast<UInt8>(36 + (cycle / 64) % 48);
                            switch (cycle % 64)
                            {
                            case 0:
                                host.Set(kTovaParam_Recording, 1);
                                host.NoteOn(key);
                                break;
                            case 30:
                                host.NoteOff(key);
                                break;
                            case 32:
                                host.Set(kTovaParam_Recording, 0);
                                host.NoteOn(key);
                                break;
                            case 60:
                                host.NoteOff(key);
                                break;
                            default:
                                break;
                            }
                        });
    TovaHost fresh;
    const UInt32 ignored = 0;
    for (int save = 0; save < 40; ++save)
    {
        render.WaitUntil(save * 23);
        if (save % 7 == 6)
            AudioUnitSetProperty(host.Unit(), kTovaProperty_EraseAll, kAudioUnitScope_Global, 0,
                                 &ignored, sizeof ignored);
        const CFType state = SaveState(host);
        ASSERT_EQ(state.GetKind(), CFType::Kind::Dictionary);
        ExpectConsistent(state, 0.5f);
        EXPECT_EQ(RestoreState(fresh, state), noErr);
    }
}

TEST(StateConcurrency, RestoresWhileRenderingLeaveExactlyTheLastState)
{
    TovaHost a(kRate, kBlock);
    TovaHost b(kRate, kBlock);
    // A voice gives its key the "Looping" switch: off, as the keys were saved.
    a.Set(kTovaParam_Looping, 0);
    b.Set(kTovaParam_Looping, 0);
    CTovaProbe(a.Tova()).GiveSample(60, 20000, 0.25f);
    CTovaProbe(b.Tova()).GiveSample(60, 30000, 0.75f);
    CTovaProbe(b.Tova()).GiveSample(62, 1000, 0.125f);
    const CFType stateA = SaveState(a);
    const CFType stateB = SaveState(b);

    TovaHost host(kRate, kBlock);
    host.collect = false;
    {
        RenderThread render(host, kBlock,
                            [&host](long cycle)
                            {
                                if (cycle % 16 == 0) host.NoteOn(60);
                                if (cycle % 16 == 8) host.NoteOff(60);
                            });
        for (int i = 0; i < 30; ++i)
        {
            ASSERT_EQ(RestoreState(host, i % 2 == 0 ? stateA : stateB), noErr);
            render.WaitUntil(i * 4);
        }
    }
    const CFType last = SaveState(host);
    EXPECT_EQ(last.AsDictionary().at("tova-samples"), stateB.AsDictionary().at("tova-samples"));
    EXPECT_EQ(last.AsDictionary().at("tova-keysinfo"), stateB.AsDictionary().at("tova-keysinfo"));
}

TEST(StateConcurrency, ImportsWhileRecordingCostTheRecordingNoFrame)
{
    InstallAudioFileImport();
    // A ramp as input: frame i is i / n, so a lost or repeated frame shows in the take.
    constexpr std::size_t kInput = 480000;
    TovaHost host(kRate, kBlock);
    host.SetInput(TovaHost::Ramp(kInput));
    host.collect = false;
    host.Set(kTovaParam_Threshold, -30);
    host.Set(kTovaParam_RecordSync, 0);
    const std::string small = TempAudioPath("small.wav");
    const std::string large = TempAudioPath("large.wav");
    const auto value = [](std::int64_t i, int) { return static_cast<float>(i % 1000) / 1000; };
    ASSERT_TRUE(WriteAudioFile(small, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 20000, value));
    ASSERT_TRUE(WriteAudioFile(large, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 150000, value));

    // Record key 60 from cycle 10 to cycle 1200 (about 300000 frames), playing key 40 meanwhile.
    CTovaProbe(host.Tova()).GiveSample(40, 5000, 0.1f);
    RenderThread render(host, kBlock,
                        [&host](long cycle)
                        {
                            if (cycle == 1) host.NoteOn(40);
                            if (cycle == 10)
                            {
                                host.Set(kTovaParam_Recording, 1);
                                host.NoteOn(60);
                            }
                            if (cycle == 1200) host.NoteOff(60);
                        });
    // Early: the take is still short and moves up to make room. Later: the import waits for
    // the take to end.
    render.WaitUntil(40);
    EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kTovaProperty_Import, kAudioUnitScope_Global, 0,
                                   small.data(), static_cast<UInt32>(small.size())),
              noErr);
    render.WaitUntil(600);
    EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kTovaProperty_ImportWithTempo,
                                   kAudioUnitScope_Global, 0, large.data(),
                                   static_cast<UInt32>(large.size())),
              noErr);
    render.WaitUntil(1210);
    render.Stop();

    CTovaProbe probe(host.Tova());
    const CSample* take = probe.Key(60).Sample();
    ASSERT_NE(take, nullptr);
    EXPECT_GT(take->Size(), 1100 * static_cast<int>(kBlock));
    const float* left = probe.Factory().Left() + take->Start();
    const auto first = static_cast<long>(std::lround(left[kFade] * kInput)) - kFade;
    bool intact = true;
    for (int i = kFade; i + kFade < take->Size() && intact; ++i)
        intact = left[i] == static_cast<float>(first + i) / static_cast<float>(kInput);
    EXPECT_TRUE(intact) << "every recorded frame, in order";

    const CSample* import = probe.ImportSample();
    ASSERT_NE(import, nullptr);
    EXPECT_EQ(import->Size(), 150000);
    // 48000 × 240 / 150000 = 76.8 in single precision, doubled.
    EXPECT_EQ(import->Tempo(), static_cast<double>(76.8f + 76.8f));
    bool same = true;
    for (int i = 0; i < import->Size() && same; ++i)
        same = probe.Factory().Right()[import->Start() + i] == value(i, 1);
    EXPECT_TRUE(same);
    std::filesystem::remove(small);
    std::filesystem::remove(large);
}
