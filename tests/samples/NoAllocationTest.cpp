// Everything the render thread does with samples, keys and voices runs without the heap: the
// counter replaces the global allocation functions of this whole program.
#include "samples/CKeyInfo.h"
#include "samples/CVoicer.h"

#include "SampleTestUtil.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

TEST(SamplesRealTime, RenderWorkDoesNotAllocate)
{
    auto factory = std::make_unique<CSampleFactory>(200000, 64);
    std::array<CKeyInfo, 20> keys;
    auto voicer = std::make_unique<CVoicer>(16);
    const std::vector<float> input(2048, 0.25f);
    std::array<float, 2048> left{}, right{};
    AllocationCounter counter;
    factory->RecordLive(input.data(), input.data(), 2048);
    factory->SetBarStart(1000);
    for (int k = 0; k < 20; ++k)
    {
        CSample* s = factory->NewSample();
        if (k % 2 == 0) factory->CopyLiveBuffer(s);
        s->Record(input.data(), input.data(), 2048);
        factory->TruncateSample(s, 1500);
        factory->SmoothSample(s);
        s->SetTempo(100.0 + k);
        keys[k].SetSample(s);
        keys[k].SetPitchShift(1.0 + 0.05 * k);
        keys[k].SetLooping(true);
        s->Release();
    }
    for (int k = 0; k < 20; ++k)
        voicer->StartNote(&keys[k], k % 3, 0.5f);
    for (int block = 0; block < 50; ++block)
    {
        voicer->Sync(block % 4);
        voicer->Play(left.data(), right.data(), 2048, true, 1.1);
        if (block == 20) voicer->StopNote(&keys[19], 0);
        if (block == 30) keys[5].SetErasePending(true);
    }
    keys[7].SetSample(nullptr); // compaction of a sample in the middle of the pool
    voicer->AllNotesOff();
    factory->ResetLiveBuffer();
    EXPECT_EQ(counter.Count(), 0);
}
