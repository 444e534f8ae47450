// Control threads against the render thread, under ThreadSanitizer: parameters and erasing,
// consistent saves, restores that do not tear, and an import that costs a recording no frame.

#include "editor/audiofile/AudioFileTestUtil.h"
#include "integration/CTovaProbe.h"
#include "integration/TovaHost.h"
#include "params/StateTestUtil.h"

#include "editor/audiofile/CAAudioFileImport.h"
#include "platform/AudioUnitUtilities.h"
#include "samples/CSample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>

namespace
{
constexpr double kRate = 48000;
constexpr UInt32 kBlock = 256;
constexpr int kFade = 50; // frames faded at each end of a finished recording

// Renders buses 0 and 1 on a thread of its own until destroyed, running script(cycle) first.
struct RenderThread
{
    explicit RenderThread(TovaHost& host, std::function<void(long)> script = {})
        : thread(
              [this, &host, script](const std::stop_token& stop)
              {
                  for (long cycle = 0; !stop.stop_requested(); ++cycle)
                  {
                      if (script) script(cycle);
                      host.Render(kBlock, {0, 1});
                      cycles = cycle + 1;
                  }
              })
    {
    }
    void WaitUntil(long n) const
    {
        while (cycles.load() < n)
            std::this_thread::yield();
    }
    std::atomic<long> cycles{0};
    std::jthread thread; // declared last: stopped and joined first
};

// The slots in use tile the saved frames, and every frame of a slot away from its faded ends is
// level: nothing torn or half moved.
void ExpectConsistent(const CFType& state, float level)
{
    const CFDictionaryStorage& samples = state.AsDictionary().at("tova-samples").AsDictionary();
    const auto length = static_cast<std::size_t>(samples.at("length").AsSInt64());
    if (length == 0) return;
    const CFDataStorage& bytes = samples.at("samples").AsData(); // big-endian floats
    ASSERT_EQ(bytes.size(), 8 * length);
    std::vector<std::pair<std::size_t, std::size_t>> runs; // start, end
    for (const CFType& slot : samples.at("data").AsArray())
        if (const std::int64_t size = slot.AsDictionary().at("size").AsSInt64())
            runs.emplace_back(slot.AsDictionary().at("start").AsSInt64(),
                              slot.AsDictionary().at("start").AsSInt64() + size);
    std::sort(runs.begin(), runs.end());
    std::size_t next = 0;
    for (const auto& [start, end] : runs)
    {
        ASSERT_EQ(start, next);
        next = end;
        for (std::size_t i = start + kFade; i + kFade < end; ++i)
            for (const std::size_t at : {4 * i, 4 * (length + i)})
                ASSERT_EQ(level,
                          std::bit_cast<float>(std::uint32_t{bytes[at]} << 24 |
                                               std::uint32_t{bytes[at + 1]} << 16 |
                                               std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3]));
    }
    EXPECT_EQ(next, length);
}
} // namespace

TEST(TovaConcurrency, ParametersAndErasingWhileRendering)
{
    TovaHost host(kRate);
    host.SetInput(TovaHost::Constant(48000 * 60, 0.25f));
    host.collect = false;
    host.SetPlaying(true);
    CTovaProbe probe(host.Tova());
    for (int k = 0; k < 8; ++k)
        probe.GiveSample(40 + k, 5000, 0.1f);
    {
        const RenderThread render(host);
        for (int round = 0; round < 40; ++round)
        {
            for (AudioUnitParameterID id = 0; id < kTovaParam_Count; ++id)
            {
                if (id == kTovaParam_MemoryLock || id == kTovaParam_StopPrior) continue;
                const AudioUnitParameterInfo& info = CTova::s_asParInfo[id];
                const float t = static_cast<float>((round * 7 + static_cast<int>(id)) % 10) / 9;
                host.Set(id, info.minValue + t * (info.maxValue - info.minValue));
            }
            host.NoteOn(static_cast<UInt8>(40 + round % 8));
            host.Tova().EraseAllSamples();
            AUListenerDispatchPending();
            render.WaitUntil(render.cycles + 2);
        }
        host.Set(kTovaParam_Autolooper, 0);
        render.WaitUntil(render.cycles + 4);
    }
    const CTova::Exclusive access(host.Tova());
    EXPECT_EQ(0, probe.Voicer(1).Top());
}

TEST(TovaConcurrency, SavesWhileRecordingPlayingAndErasingAreConsistent)
{
    TovaHost host(kRate, kBlock);
    host.SetInput(TovaHost::Constant(static_cast<std::size_t>(kRate) * 120, 0.5f));
    host.collect = false;
    host.Set(kTovaParam_Threshold, -20);
    host.Set(kTovaParam_RecordSync, 0);
    // Every 64 cycles: record a key for 30 cycles, then play it.
    const RenderThread render(host,
                              [&host](long cycle)
                              {
                                  const auto key = static_cast<UInt8>(36 + (cycle / 64) % 48);
                                  const long phase = cycle % 64;
                                  if (phase == 0 || phase == 32)
                                  {
                                      host.Set(kTovaParam_Recording, phase == 0 ? 1 : 0);
                                      host.NoteOn(key);
                                  }
                                  if (phase == 30 || phase == 60) host.NoteOff(key);
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

TEST(TovaConcurrency, RestoresWhileRenderingLeaveExactlyTheLastState)
{
    TovaHost saved(kRate, kBlock);
    saved.Set(kTovaParam_Looping, 0); // a voice sets its key's "Looping" as the keys were saved
    CTovaProbe(saved.Tova()).GiveSample(60, 20000, 0.25f);
    const CFType stateA = SaveState(saved);
    CTovaProbe(saved.Tova()).GiveSample(62, 1000, 0.125f);
    const CFType stateB = SaveState(saved);

    TovaHost host(kRate, kBlock);
    host.collect = false;
    {
        const RenderThread render(host,
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

TEST(TovaConcurrency, AnImportWhileRecordingCostsTheRecordingNoFrame)
{
    InstallAudioFileImport();
    constexpr std::size_t kInput = 480000; // a ramp: a lost or repeated frame shows in the take
    TovaHost host(kRate, kBlock);
    TovaHost::Stereo ramp{std::vector<float>(kInput), {}};
    for (std::size_t i = 0; i < kInput; ++i)
        ramp.left[i] = static_cast<float>(i) / static_cast<float>(kInput);
    ramp.right = ramp.left;
    host.SetInput(std::move(ramp));
    host.collect = false;
    host.Set(kTovaParam_Threshold, -30);
    host.Set(kTovaParam_RecordSync, 0);
    const std::string path = TempAudioPath("concurrent.wav");
    ASSERT_TRUE(WriteAudioFile(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 150000,
                               [](std::int64_t, int) { return 0.5f; }));
    {
        // Key 60 records from cycle 10 to 1200; the import early on moves the take up.
        const RenderThread render(host,
                                  [&host](long cycle)
                                  {
                                      if (cycle == 10) host.Set(kTovaParam_Recording, 1);
                                      if (cycle == 10) host.NoteOn(60);
                                      if (cycle == 1200) host.NoteOff(60);
                                  });
        render.WaitUntil(40);
        EXPECT_EQ(AudioUnitSetProperty(host.Unit(), kTovaProperty_ImportWithTempo,
                                       kAudioUnitScope_Global, 0, path.data(),
                                       static_cast<UInt32>(path.size())),
                  noErr);
        render.WaitUntil(1210);
    }
    std::filesystem::remove(path);
    CTovaProbe probe(host.Tova());
    const CSample* take = probe.Key(60).Sample();
    ASSERT_NE(take, nullptr);
    EXPECT_GT(take->Size(), 1100 * static_cast<int>(kBlock));
    const float* left = probe.Factory().Left() + take->Start();
    const auto first = static_cast<long>(std::lround(left[kFade] * kInput)) - kFade;
    int differing = 0;
    for (int i = kFade; i + kFade < take->Size(); ++i)
        differing += left[i] != static_cast<float>(first + i) / static_cast<float>(kInput);
    EXPECT_EQ(0, differing);
    ASSERT_NE(probe.ImportSample(), nullptr);
    EXPECT_EQ(probe.ImportSample()->Size(), 150000);
    // 48000 × 240 / 150000 = 76.8 in single precision, doubled.
    EXPECT_EQ(probe.ImportSample()->Tempo(), static_cast<double>(76.8f + 76.8f));
}
