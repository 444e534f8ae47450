#include "samples/CSampleFactory.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int32_t kRing = CSampleFactory::kLiveFrames;

void ExpectRun(const CSample* s, int32_t start, int32_t size)
{
    EXPECT_EQ(s->Start(), start);
    EXPECT_EQ(s->Size(), size);
    EXPECT_EQ(s->Last(), start + size - 1);
}

// Writes `frames` frames into the live ring, frame k of the stream carrying `first` + k.
void FeedLive(CSampleFactory& f, int frames, int first)
{
    std::vector<float> left(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        left[i] = static_cast<float>(first + i);
    f.RecordLive(left.data(), left.data(), frames);
}
} // namespace

TEST(CSampleFactory, RecordingPastCapacity)
{
    auto f = std::make_unique<CSampleFactory>(10, 4);
    CSample* s = StoreRamp(*f, 6);
    ExpectRun(s, 0, 6);
    const std::vector<float> more = {6, 7, 8, 9, 10, 11};
    // 6 + 6 > 10: exactly 10 - 6 = 4 frames fit.
    EXPECT_FALSE(s->Record(more.data(), more.data(), 6));
    ExpectRun(s, 0, 10);
    EXPECT_EQ(f->Fill(), 10);
    EXPECT_EQ(f->Left()[9], 9.0f);
    EXPECT_EQ(f->SetSamples(s, more.data(), more.data(), 1), 0);
    {
        SCOPED_TRACE("a new sample in a full pool stays empty");
        CSample* t = f->NewSample();
        EXPECT_FALSE(t->Record(more.data(), more.data(), 1));
        EXPECT_EQ(t->Size(), 0);
        EXPECT_TRUE(t->Record(more.data(), more.data(), 0));
    }
}

TEST(CSampleFactory, SlotReuseKeepsIndex)
{
    auto f = std::make_unique<CSampleFactory>(100, 64);
    std::vector<CSample*> held;
    for (int i = 0; i < 64; ++i)
    {
        held.push_back(f->NewSample());
        ASSERT_NE(held.back(), nullptr);
        EXPECT_EQ(held.back()->Index(), i);
        EXPECT_EQ(held.back()->RefCount(), 1);
    }
    EXPECT_EQ(f->NewSample(), nullptr);
    held[17]->Retain();
    held[17]->Release();
    EXPECT_EQ(f->NewSample(), nullptr); // one holder is still left
    held[17]->Release();
    EXPECT_FALSE(held[17]->IsUsed());
    CSample* again = f->NewSample();
    EXPECT_EQ(again, held[17]);
    EXPECT_EQ(again->Index(), 17);
    EXPECT_EQ(f->GetSample(17), again);
}

TEST(CSampleFactory, NewSampleClearsTheSlot)
{
    auto f = std::make_unique<CSampleFactory>(100, 1);
    CSample* s = StoreRamp(*f, 10);
    s->SetSync(2);
    s->SetNeverLoop(true);
    s->SetPlayAll(true);
    s->SetTempo(97.0);
    s->Release();
    s = f->NewSample();
    EXPECT_EQ(s->Sync(), 0);
    EXPECT_FALSE(s->NeverLoop());
    EXPECT_FALSE(s->PlayAll());
    EXPECT_EQ(s->Size(), 0);
    EXPECT_EQ(s->Start(), 0);
    EXPECT_EQ(s->Last(), 0);
    EXPECT_EQ(s->Tempo(), 97.0); // left for the caller to set
}

TEST(CSampleFactory, FreeingTheFirstOfThreeCompacts)
{
    auto f = std::make_unique<CSampleFactory>(100, 8);
    CSample* a = StoreRamp(*f, 3, 100.0f);
    CSample* b = StoreRamp(*f, 4, 200.0f);
    CSample* c = StoreRamp(*f, 5, 300.0f);
    ASSERT_EQ(f->Fill(), 12);
    a->Release();
    // b was 3 ... 6 and c 7 ... 11; both move down by a's 3 frames.
    ExpectRun(b, 0, 4);
    ExpectRun(c, 4, 5);
    EXPECT_EQ(f->Fill(), 9);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(f->Left()[i], 200.0f + i);
        EXPECT_EQ(f->Right()[i], -(200.0f + i));
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(f->Left()[4 + i], 300.0f + i);
    EXPECT_EQ(a->Start(), 0);
    EXPECT_EQ(a->Last(), 0);
    EXPECT_EQ(a->Size(), 0);
    EXPECT_EQ(a->RefCount(), 0);
    {
        SCOPED_TRACE("freeing the last sample only lowers the fill");
        c->Release();
        ExpectRun(b, 0, 4);
        EXPECT_EQ(f->Fill(), 4);
    }
    {
        SCOPED_TRACE("a stray release of a free slot changes nothing");
        c->Release();
        a->Release();
        EXPECT_EQ(f->Fill(), 4);
        ExpectRun(b, 0, 4);
    }
}

TEST(CSampleFactory, TruncateTakesFramesBackFromTheEnd)
{
    auto f = std::make_unique<CSampleFactory>(100, 4);
    CSample* a = StoreRamp(*f, 10);
    CSample* b = StoreRamp(*f, 20);
    f->TruncateSample(b, 25); // not shorter: ignored
    ExpectRun(b, 10, 20);
    f->TruncateSample(b, 12);
    ExpectRun(b, 10, 12);
    EXPECT_EQ(f->Fill(), 22);
    {
        SCOPED_TRACE("only the last run or an empty sample may grow");
        const std::vector<float> x = {1, 2};
        EXPECT_EQ(f->SetSamples(a, x.data(), x.data(), 2), 0);
        ExpectRun(a, 0, 10);
        EXPECT_EQ(f->SetSamples(b, x.data(), x.data(), 2), 2);
        ExpectRun(b, 10, 14);
        EXPECT_EQ(f->SetSamples(b, x.data(), x.data(), -5), 0);
        EXPECT_EQ(f->SetSamples(b, nullptr, x.data(), 2), 0);
        EXPECT_EQ(f->Fill(), 24);
    }
    {
        SCOPED_TRACE("only the last run may shrink, and never below empty");
        f->TruncateSample(a, 5);
        ExpectRun(a, 0, 10);
        f->TruncateSample(b, -3);
        EXPECT_EQ(b->Size(), 0);
        EXPECT_EQ(f->Fill(), 10);
    }
}

TEST(CSampleFactory, SmoothSampleFadesBothEnds)
{
    auto f = std::make_unique<CSampleFactory>(1000, 4);
    CSample* short99 = StoreFrames(*f, std::vector<float>(99, 1.0f));
    CSample* full100 = StoreFrames(*f, std::vector<float>(100, 1.0f));
    f->SmoothSample(short99);
    for (int i = 0; i < 99; ++i)
        ASSERT_EQ(f->Left()[i], 1.0f) << i;
    f->SmoothSample(full100);
    const float* l = f->Left() + full100->Start();
    const float* r = f->Right() + full100->Start();
    for (int k = 0; k < 50; ++k)
    {
        SCOPED_TRACE(k);
        // Gain k * 0.02: 0 on the outermost frames, 0.98 on frames 49 and 50.
        const float gain = static_cast<float>(k * 0.02);
        EXPECT_EQ(l[k], gain);
        EXPECT_EQ(l[99 - k], gain);
        EXPECT_EQ(r[k], -gain);
        EXPECT_EQ(r[99 - k], -gain);
    }
    EXPECT_EQ(l[0], 0.0f);
    EXPECT_FLOAT_EQ(l[50], 0.98f);
}

TEST(CSampleFactory, LiveRingWrapsAndCopiesAcrossTheWrap)
{
    auto f = std::make_unique<CSampleFactory>(500000, 4);
    // 384010 frames: stream frame k lands at ring index k mod 384000, so indices 0 ... 9 hold
    // 384000 ... 384009 and index 10 onward still holds 10 onward.
    FeedLive(*f, kRing - 10, 0);
    FeedLive(*f, 20, kRing - 10);
    EXPECT_EQ(f->LivePos(), 10);
    EXPECT_EQ(f->LiveLeft()[kRing - 1], static_cast<float>(kRing - 1));
    EXPECT_EQ(f->LiveLeft()[0], static_cast<float>(kRing));
    EXPECT_EQ(f->LiveLeft()[9], static_cast<float>(kRing + 9));
    EXPECT_EQ(f->LiveLeft()[10], 10.0f);

    // The bar start one frame ahead of the write position: everything but one frame.
    f->SetBarStart(kRing - 1);
    EXPECT_EQ(f->BarStart(), 11);
    StoreRamp(*f, 7); // the copy lands after what the pool already holds
    CSample* s = f->NewSample();
    f->CopyLiveBuffer(s);
    ExpectRun(s, 7, kRing - 1);
    EXPECT_EQ(f->Fill(), 7 + kRing - 1);
    // Ring 11 ... 383999 then 0 ... 9: the stream frames 11 ... 384009 in order.
    const float* l = f->Left() + s->Start();
    EXPECT_EQ(l[0], 11.0f);
    EXPECT_EQ(l[kRing - 12], static_cast<float>(kRing - 1));
    EXPECT_EQ(l[kRing - 11], static_cast<float>(kRing));
    EXPECT_EQ(l[kRing - 2], static_cast<float>(kRing + 9));
    EXPECT_EQ(f->BarStart(), 11);
    {
        SCOPED_TRACE("a sample that has frames is not overwritten");
        f->CopyLiveBuffer(s);
        ExpectRun(s, 7, kRing - 1);
    }
}

TEST(CSampleFactory, CopyLiveBufferEdges)
{
    auto f = std::make_unique<CSampleFactory>(30, 4);
    FeedLive(*f, 20, 1000);
    {
        SCOPED_TRACE("SetBarStart(0) is the write position: an empty copy");
        f->SetBarStart(0);
        EXPECT_EQ(f->BarStart(), 20);
        StoreRamp(*f, 5);
        CSample* s = f->NewSample();
        f->CopyLiveBuffer(s);
        EXPECT_EQ(s->Size(), 0);
        EXPECT_EQ(s->Start(), 5);
        EXPECT_EQ(s->Last(), 4);
        s->Release();
    }
    {
        SCOPED_TRACE("whole ring lengths fold away; large and negative offsets stay in range");
        f->SetBarStart(kRing + 5);
        EXPECT_EQ(f->BarStart(), 15);
        f->SetBarStart(-3);
        EXPECT_EQ(f->BarStart(), 23);
        f->SetBarStart(std::numeric_limits<int>::min());
        EXPECT_GE(f->BarStart(), 0);
        EXPECT_LT(f->BarStart(), kRing);
    }
    {
        SCOPED_TRACE("the copy stops at the capacity");
        f->SetBarStart(kRing - 1); // ring index 21: 383999 frames wanted, 25 fit
        CSample* s = f->NewSample();
        f->CopyLiveBuffer(s);
        ExpectRun(s, 5, 25);
        EXPECT_EQ(f->Fill(), 30);
        // Ring index 21 onward was never written: silence until the wrap.
        EXPECT_EQ(f->Left()[5], 0.0f);
    }
    {
        SCOPED_TRACE("a full pool gives an empty copy");
        CSample* s = f->NewSample();
        f->CopyLiveBuffer(s);
        EXPECT_EQ(s->Size(), 0);
        EXPECT_EQ(s->Last(), 29);
    }
    {
        SCOPED_TRACE("reset silences the ring and rewinds it, keeping the bar start");
        f->ResetLiveBuffer();
        EXPECT_EQ(f->LivePos(), 0);
        EXPECT_EQ(f->LiveLeft()[3], 0.0f);
        EXPECT_EQ(f->BarStart(), 21);
    }
}

TEST(CSampleFactory, OutOfRangeArguments)
{
    auto f = std::make_unique<CSampleFactory>(100, 4);
    EXPECT_EQ(f->GetSample(-1), nullptr);
    EXPECT_EQ(f->GetSample(4), nullptr);
    EXPECT_NE(f->GetSample(3), nullptr);
    f->RecordLive(nullptr, nullptr, 10);
    f->RecordLive(f->Left(), f->Left(), -10);
    EXPECT_EQ(f->LivePos(), 0);
    f->SmoothSample(nullptr);
    f->TruncateSample(nullptr, 0);
    f->CopyLiveBuffer(nullptr);
    f->FreeSample(nullptr);
    EXPECT_EQ(f->SetSamples(nullptr, f->Left(), f->Left(), 5), 0);
    {
        SCOPED_TRACE("a free slot is not filled");
        const std::vector<float> x = {1, 2};
        EXPECT_EQ(f->SetSamples(f->GetSample(0), x.data(), x.data(), 2), 0);
        EXPECT_EQ(f->Fill(), 0);
    }
    {
        SCOPED_TRACE("degenerate pools");
        auto none = std::make_unique<CSampleFactory>(-5, -1);
        EXPECT_EQ(none->Capacity(), 0);
        EXPECT_EQ(none->NumSamples(), 0);
        EXPECT_EQ(none->NewSample(), nullptr);
        EXPECT_EQ(none->GetSample(0), nullptr);
    }
}
