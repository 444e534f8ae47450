// The pool in a preset state: the exact bytes a save writes, the round trip, the states a
// restore refuses, and the freeze that keeps frames in place while a save copies them.
#include "platform/cf/CACFDictionary.h"
#include "samples/CSampleFactory.h"

#include "SampleTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace
{
CACFDictionary Save(const CSampleFactory& pool, const CSample* growing = nullptr)
{
    std::vector<CSampleFactory::SlotState> slots(static_cast<std::size_t>(pool.NumSamples()));
    CACFDictionary d;
    pool.SaveState(d, pool.TakeSnapshot(slots.data(), growing), slots.data());
    return d;
}
} // namespace

TEST(CSampleFactoryState, SaveWritesBigEndianFramesAndSlotsAndRestoresThem)
{
    auto pool = std::make_unique<CSampleFactory>(1000, 4);
    const float left[3] = {1.0f, -2.0f, 0.5f};
    const float right[3] = {0.25f, -0.125f, 3.0f};
    CSample* first = pool->NewSample();
    first->Record(left, right, 3);
    first->SetTempo(120.0);
    first->SetSampleRate(48000.0);
    first->SetSync(2);
    first->SetPlayAll(true);
    CSample* gone = StoreRamp(*pool, 5, 50.0f);
    CSample* third = StoreRamp(*pool, 4, 300.0f);
    gone->Release();                                // third moves down to 3 ... 6
    CSample* recording = StoreRamp(*pool, 2, 9.0f); // slot 1, in progress: left out

    const CACFDictionary d = Save(*pool, recording);
    const CFDictionaryStorage& top = d.GetCFType().AsDictionary();
    // Left frames then right, IEEE-754 single precision big-endian: 1 = 3F800000,
    // -2 = C0000000, 0.5 = 3F000000, 300 = 43960000, 301 = 43968000 ...
    CFDataStorage expected;
    for (const std::uint32_t word : {0x3F800000u, 0xC0000000u, 0x3F000000u, 0x43960000u,
                                     0x43968000u, 0x43970000u, 0x43978000u})
        for (int shift = 24; shift >= 0; shift -= 8)
            expected.push_back(static_cast<std::uint8_t>(word >> shift));
    const CFDataStorage& bytes = top.at("samples").AsData();
    ASSERT_EQ(bytes.size(), 2 * 7 * 4u);
    EXPECT_EQ(CFDataStorage(bytes.begin(), bytes.begin() + 28), expected);
    EXPECT_EQ(top.at("length"), CFType::SInt32(7));
    const CFArrayStorage& slots = top.at("data").AsArray();
    ASSERT_EQ(slots.size(), 4u);
    EXPECT_EQ(slots[0], CFType::Dictionary({{"start", CFType::SInt32(0)},
                                            {"last", CFType::SInt32(2)},
                                            {"size", CFType::SInt32(3)},
                                            {"tempo", CFType::Float64(120.0)},
                                            {"sr", CFType::Float64(48000.0)},
                                            {"sync", CFType::SInt32(2)},
                                            {"neverLoop", CFType::SInt32(0)},
                                            {"playAll", CFType::SInt32(1)}}));
    EXPECT_EQ(slots[1], CFType::Dictionary({{"size", CFType::SInt32(0)}}));
    EXPECT_EQ(slots[3], slots[1]);

    auto restored = std::make_unique<CSampleFactory>(1000, 4);
    StoreRamp(*restored, 50, -7.0f); // replaced wholesale
    std::vector<bool> used;
    ASSERT_TRUE(restored->CanRestore(d, used));
    EXPECT_EQ(used, (std::vector<bool>{true, false, true, false}));
    restored->RestoreState(d);
    EXPECT_EQ(restored->Fill(), 7);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(restored->GetSample(i)->IsUsed()) << "slot " << i << " waits for a key";
    EXPECT_EQ(restored->GetSample(2)->Start(), third->Start());
    EXPECT_EQ(restored->GetSample(2)->Last(), third->Last());
    EXPECT_EQ(restored->GetSample(0)->Tempo(), 120.0);
    EXPECT_TRUE(restored->GetSample(0)->PlayAll());
    EXPECT_EQ(std::vector<float>(restored->Right(), restored->Right() + 7),
              std::vector<float>(pool->Right(), pool->Right() + 7));
}

TEST(CSampleFactoryState, StatesThatWouldReadOrWriteOutsideThePoolAreRefused)
{
    auto pool = std::make_unique<CSampleFactory>(1000, 4);
    StoreRamp(*pool, 10, 1.0f);
    StoreRamp(*pool, 15, 300.0f); // slot 1 at 10 ... 24
    const CACFDictionary good = Save(*pool);
    std::vector<bool> used;
    ASSERT_TRUE(pool->CanRestore(good, used));
    EXPECT_FALSE(std::make_unique<CSampleFactory>(24, 4)->CanRestore(good, used)) << "capacity";
    const CFDataStorage& bytes = good.GetCFType().AsDictionary().at("samples").AsData();
    const CFType shortBytes = CFType::Data(CFDataStorage(bytes.begin(), bytes.end() - 1));
    // {slot (-1: the top level), key, value (none: removed)}
    const std::tuple<int, const char*, std::optional<CFType>> cases[] = {
        {-1, "length", {}},
        {-1, "length", CFType::SInt32(-1)},
        {-1, "length", CFType::String("25")},
        {-1, "samples", {}},
        {-1, "samples", shortBytes},
        {-1, "data", {}},
        {1, "size", CFType::SInt32(16)}, // past the length
        {0, "size", CFType::SInt32(-10)},
        {0, "start", CFType::SInt32(-1)},
        {0, "last", CFType::SInt32(10)}, // not at the end
        {1, "start", CFType::SInt32(9)}, // overlapping
        {0, "tempo", CFType::Float64(std::nan(""))},
        {0, "size", CFType::Boolean(true)},
    };
    for (const auto& [slot, key, value] : cases)
    {
        CACFDictionary d = good;
        CFDictionaryStorage& top = d.GetCFType().AsDictionary();
        CFDictionaryStorage& entry =
            slot < 0 ? top
                     : top.at("data").AsArray()[static_cast<std::size_t>(slot)].AsDictionary();
        if (value)
            entry[key] = *value;
        else
            entry.erase(key);
        EXPECT_FALSE(pool->CanRestore(d, used)) << slot << " " << key;
    }
}

TEST(CSampleFactoryHandOff, AFrozenPoolKeepsReleasedFramesInPlaceUntilThawed)
{
    auto pool = std::make_unique<CSampleFactory>(1000, 4);
    CSample* first = StoreRamp(*pool, 10, 1.0f);
    CSample* second = StoreRamp(*pool, 10, 100.0f);
    pool->Freeze();
    first->Release();
    EXPECT_EQ(pool->Fill(), 20);
    EXPECT_TRUE(first->IsUsed()) << "the slot is not handed out again";
    EXPECT_EQ(second->Start(), 10);
    pool->Thaw();
    EXPECT_FALSE(first->IsUsed());
    EXPECT_EQ(second->Start(), 0);
    // Room for imported frames before a growing recording, which moves up intact.
    ASSERT_TRUE(pool->Reserve(pool->NewSample(), 8, second));
    EXPECT_EQ(second->Start(), 8);
    EXPECT_EQ(pool->Left()[8], 100.0f);
    EXPECT_FALSE(pool->Reserve(pool->NewSample(), 1000 - 17, nullptr)) << "does not fit";
}
