// The pool in a preset state: the exact dictionary and bytes a save writes, the round trip, the
// states a restore refuses, and the two ways the pool is shared with other threads (a freeze
// that keeps frames in place while a save copies them, and room made for imported frames).

#include "platform/cf/CACFArray.h"
#include "platform/cf/CACFDictionary.h"
#include "samples/CSampleFactory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace
{
constexpr int kCapacity = 1000;
constexpr int kSlots = 4;

// A sample of `frames` frames holding left = base + i, right = -(base + i).
CSample* Store(CSampleFactory& pool, int frames, float base)
{
    CSample* sample = pool.NewSample();
    std::vector<float> left(static_cast<std::size_t>(frames));
    std::vector<float> right(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
    {
        left[i] = base + static_cast<float>(i);
        right[i] = -left[i];
    }
    EXPECT_TRUE(sample->Record(left.data(), right.data(), frames));
    return sample;
}

CACFDictionary Save(const CSampleFactory& pool, const CSample* growing = nullptr)
{
    std::vector<CSampleFactory::SlotState> slots(static_cast<std::size_t>(pool.NumSamples()));
    const int32_t fill = pool.TakeSnapshot(slots.data(), growing);
    CACFDictionary d;
    pool.SaveState(d, fill, slots.data());
    return d;
}

bool CanRestore(const CSampleFactory& pool, const CACFDictionary& d)
{
    std::vector<bool> used;
    return pool.CanRestore(d, used);
}

// A valid two-slot state of 30 frames: slot 0 at 0 ... 9, slot 2 at 10 ... 29.
CACFDictionary TwoSlots()
{
    CSampleFactory pool(kCapacity, kSlots);
    Store(pool, 10, 1.0f);
    Store(pool, 5, 100.0f)->Release(); // slot 1 freed again: slot 2 comes next
    Store(pool, 5, 200.0f);            // takes slot 1 again
    CSample* third = Store(pool, 15, 300.0f);
    EXPECT_EQ(third->Index(), 2);
    pool.GetSample(1)->Release();
    return Save(pool);
}

// d with slot i's dictionary changed by edit.
CACFDictionary WithSlot(CACFDictionary d, std::size_t i,
                        const std::function<void(CACFDictionary&)>& edit)
{
    CACFArray data;
    d.GetArray("data", data);
    CFArrayStorage items = data.GetCFType().AsArray();
    CACFDictionary slot(items[i]);
    edit(slot);
    items[i] = slot.GetCFType();
    d.AddCFType("data", CFType::Array(items));
    return d;
}
} // namespace

TEST(CSampleFactoryState, ThreeFramesSaveAs24BigEndianBytesLeftThenRight)
{
    CSampleFactory pool(kCapacity, kSlots);
    CSample* sample = pool.NewSample();
    const float left[3] = {1.0f, -2.0f, 0.5f};
    const float right[3] = {0.25f, -0.125f, 3.0f};
    ASSERT_TRUE(sample->Record(left, right, 3));
    sample->SetTempo(120.0);
    sample->SetSampleRate(48000.0);
    sample->SetSync(2);
    sample->SetPlayAll(true);

    const CACFDictionary d = Save(pool);
    const CFDataStorage* bytes = nullptr;
    ASSERT_TRUE(d.GetData("samples", bytes));
    // IEEE-754 single precision: 1 = 3F800000, -2 = C0000000, 0.5 = 3F000000,
    // 0.25 = 3E800000, -0.125 = BE000000, 3 = 40400000.
    const CFDataStorage expected = {0x3F, 0x80, 0, 0, 0xC0, 0, 0, 0, 0x3F, 0,    0, 0,
                                    0x3E, 0x80, 0, 0, 0xBE, 0, 0, 0, 0x40, 0x40, 0, 0};
    EXPECT_EQ(*bytes, expected);

    std::int32_t length = 0;
    EXPECT_TRUE(d.GetSInt32("length", length));
    EXPECT_EQ(length, 3);
    CACFArray data;
    ASSERT_TRUE(d.GetArray("data", data));
    ASSERT_EQ(data.GetNumberItems(), static_cast<std::size_t>(kSlots));
    CACFDictionary slot;
    ASSERT_TRUE(data.GetDictionary(0, slot));
    EXPECT_EQ(slot.GetCFType(), CFType::Dictionary({{"start", CFType::SInt32(0)},
                                                    {"last", CFType::SInt32(2)},
                                                    {"size", CFType::SInt32(3)},
                                                    {"tempo", CFType::Float64(120.0)},
                                                    {"sr", CFType::Float64(48000.0)},
                                                    {"sync", CFType::SInt32(2)},
                                                    {"neverLoop", CFType::SInt32(0)},
                                                    {"playAll", CFType::SInt32(1)}}));
    for (std::size_t i = 1; i < kSlots; ++i)
    {
        ASSERT_TRUE(data.GetDictionary(i, slot));
        EXPECT_EQ(slot.GetCFType(), CFType::Dictionary({{"size", CFType::SInt32(0)}}));
    }
}

TEST(CSampleFactoryState, ASnapshotLeavesTheGrowingRecordingOut)
{
    CSampleFactory pool(kCapacity, kSlots);
    Store(pool, 10, 1.0f);
    CSample* recording = Store(pool, 5, 50.0f);
    std::vector<CSampleFactory::SlotState> slots(kSlots);
    EXPECT_EQ(pool.TakeSnapshot(slots.data(), recording), 10);
    EXPECT_TRUE(slots[0].used);
    EXPECT_FALSE(slots[1].used);
    EXPECT_EQ(pool.TakeSnapshot(slots.data(), nullptr), 15);
    EXPECT_TRUE(slots[1].used);
}

TEST(CSampleFactoryState, ARestoreReproducesFramesAndSlotFieldsWithDefaultsAndFreesEverySlot)
{
    const CACFDictionary d = TwoSlots();
    CSampleFactory pool(kCapacity, kSlots);
    Store(pool, 50, -7.0f); // replaced wholesale
    std::vector<bool> used;
    ASSERT_TRUE(pool.CanRestore(d, used));
    EXPECT_EQ(used, (std::vector<bool>{true, false, true, false}));
    pool.RestoreState(d);
    EXPECT_EQ(pool.Fill(), 25);
    for (int i = 0; i < kSlots; ++i)
        EXPECT_FALSE(pool.GetSample(i)->IsUsed()) << "slot " << i << " waits for a key";
    const CSample& first = *pool.GetSample(0);
    const CSample& third = *pool.GetSample(2);
    EXPECT_EQ(first.Start(), 0);
    EXPECT_EQ(first.Size(), 10);
    EXPECT_EQ(first.Last(), 9);
    EXPECT_EQ(third.Start(), 10);
    EXPECT_EQ(third.Size(), 15);
    EXPECT_EQ(third.Last(), 24);
    EXPECT_EQ(third.Index(), 2);
    for (int i = 0; i < 15; ++i)
    {
        EXPECT_EQ(pool.Left()[10 + i], 300.0f + i);
        EXPECT_EQ(pool.Right()[10 + i], -300.0f - i);
    }
    EXPECT_EQ(Save(pool).GetCFType().AsDictionary().at("length"), CFType::SInt32(25));

    // Slot fields a state leaves out get their defaults.
    CACFDictionary bare;
    bare.AddSInt32("size", 10);
    bare.AddSInt32("start", 0);
    bare = WithSlot(TwoSlots(), 0, [&](CACFDictionary& slot) { slot = CACFDictionary(bare); });
    ASSERT_TRUE(CanRestore(pool, bare));
    pool.RestoreState(bare);
    const CSample& slot = *pool.GetSample(0);
    EXPECT_EQ(slot.Last(), 9);
    EXPECT_EQ(slot.Sync(), 0);
    EXPECT_EQ(slot.Tempo(), -1.0);
    EXPECT_EQ(slot.SampleRate(), 0.0);
    EXPECT_FALSE(slot.NeverLoop());
    EXPECT_FALSE(slot.PlayAll());
}

TEST(CSampleFactoryState, StatesThatWouldReadOrWriteOutsideThePoolAreRefused)
{
    CSampleFactory pool(kCapacity, kSlots);
    const CACFDictionary good = TwoSlots();
    ASSERT_TRUE(CanRestore(pool, good));
    const CFDataStorage* bytes = nullptr;
    good.GetData("samples", bytes);
    struct Case
    {
        const char* name;
        std::function<void(CACFDictionary&)> edit;
    };
    const Case cases[] = {
        {"no length", [](CACFDictionary& d) { d.GetCFType().AsDictionary().erase("length"); }},
        {"length above the capacity",
         [](CACFDictionary& d) { d.AddSInt32("length", kCapacity + 1); }},
        {"negative length", [](CACFDictionary& d) { d.AddSInt32("length", -1); }},
        {"length as text", [](CACFDictionary& d) { d.AddString("length", "25"); }},
        {"no samples", [](CACFDictionary& d) { d.GetCFType().AsDictionary().erase("samples"); }},
        {"samples one byte short", [&](CACFDictionary& d)
         { d.AddData("samples", CFDataStorage(bytes->begin(), bytes->end() - 1)); }},
        {"no data", [](CACFDictionary& d) { d.GetCFType().AsDictionary().erase("data"); }},
        {"size past the length", [](CACFDictionary& d)
         { d = WithSlot(d, 2, [](CACFDictionary& s) { s.AddSInt32("size", 26); }); }},
        {"start and size past the length", [](CACFDictionary& d)
         { d = WithSlot(d, 2, [](CACFDictionary& s) { s.AddSInt32("start", 11); }); }},
        {"negative size", [](CACFDictionary& d)
         { d = WithSlot(d, 0, [](CACFDictionary& s) { s.AddSInt32("size", -10); }); }},
        {"negative start", [](CACFDictionary& d)
         { d = WithSlot(d, 0, [](CACFDictionary& s) { s.AddSInt32("start", -1); }); }},
        {"last not at the end", [](CACFDictionary& d)
         { d = WithSlot(d, 0, [](CACFDictionary& s) { s.AddSInt32("last", 10); }); }},
        {"overlapping slots", [](CACFDictionary& d)
         { d = WithSlot(d, 2, [](CACFDictionary& s) { s.AddSInt32("start", 9); }); }},
        {"tempo not a number",
         [](CACFDictionary& d)
         {
             d = WithSlot(d, 0,
                          [](CACFDictionary& s)
                          { s.AddFloat64("tempo", std::numeric_limits<double>::quiet_NaN()); });
         }},
        {"size as a boolean", [](CACFDictionary& d)
         { d = WithSlot(d, 0, [](CACFDictionary& s) { s.AddBool("size", true); }); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CACFDictionary d = good;
        c.edit(d);
        EXPECT_FALSE(CanRestore(pool, d));
    }
}

TEST(CSampleFactoryState, StatesAWriterMayProduceAreAccepted)
{
    CSampleFactory pool(kCapacity, kSlots);
    const CACFDictionary good = TwoSlots();
    const CFDataStorage* bytes = nullptr;
    good.GetData("samples", bytes);
    struct Case
    {
        const char* name;
        std::function<void(CACFDictionary&)> edit;
    };
    const Case cases[] = {
        {"samples longer than needed",
         [&](CACFDictionary& d)
         {
             CFDataStorage more = *bytes;
             more.resize(more.size() + 8);
             d.AddData("samples", more);
         }},
        {"fewer slot entries than slots",
         [](CACFDictionary& d)
         {
             CACFArray data;
             d.GetArray("data", data);
             CFArrayStorage items = data.GetCFType().AsArray();
             items.resize(3);
             d.AddCFType("data", CFType::Array(items));
         }},
        {"a slot entry that is no dictionary",
         [](CACFDictionary& d)
         {
             CACFArray data;
             d.GetArray("data", data);
             CFArrayStorage items = data.GetCFType().AsArray();
             items[1] = CFType::String("free");
             d.AddCFType("data", CFType::Array(items));
         }},
        {"length and start as reals",
         [](CACFDictionary& d)
         {
             d.AddFloat64("length", 25.0);
             d = WithSlot(d, 2, [](CACFDictionary& s) { s.AddFloat64("start", 10.0); });
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CACFDictionary d = good;
        c.edit(d);
        EXPECT_TRUE(CanRestore(pool, d));
    }
}

TEST(CSampleFactoryHandOff, AFrozenPoolKeepsAReleasedSampleInPlaceUntilThawed)
{
    CSampleFactory pool(kCapacity, kSlots);
    CSample* first = Store(pool, 10, 1.0f);
    CSample* second = Store(pool, 10, 100.0f);
    pool.Freeze();
    first->Release();
    EXPECT_EQ(pool.Fill(), 20) << "no frame moves while frozen";
    EXPECT_TRUE(first->IsUsed()) << "the slot is not handed out again";
    EXPECT_EQ(second->Start(), 10);
    CSample* third = pool.NewSample();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->Index(), 2);
    third->Release();
    EXPECT_TRUE(third->IsUsed()) << "an empty sample is kept too";

    pool.Thaw();
    EXPECT_FALSE(first->IsUsed());
    EXPECT_FALSE(third->IsUsed());
    EXPECT_EQ(pool.Fill(), 10);
    EXPECT_EQ(second->Start(), 0);
    EXPECT_EQ(pool.Left()[0], 100.0f);
}

TEST(CSampleFactoryHandOff, ReservedFramesGoBeforeAGrowingRecordingWhichMovesUpIntact)
{
    CSampleFactory pool(kCapacity, kSlots);
    Store(pool, 10, 1.0f);
    CSample* recording = Store(pool, 5, 50.0f);
    CSample* import = pool.NewSample();
    ASSERT_TRUE(pool.Reserve(import, 8, recording));
    EXPECT_EQ(import->Start(), 10);
    EXPECT_EQ(import->Last(), 17);
    EXPECT_EQ(recording->Start(), 18);
    EXPECT_EQ(recording->Last(), 22);
    EXPECT_EQ(pool.Fill(), 23);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pool.Left()[18 + i], 50.0f + i);

    const std::vector<float> left = {7, 7, 7, 7, 7, 7, 7, 7};
    const std::vector<float> right = {8, 8, 8, 8, 8, 8, 8, 8};
    pool.WriteFrames(import, 2, left.data(), right.data(), 6);
    EXPECT_EQ(pool.Left()[12], 7.0f);
    EXPECT_EQ(pool.Right()[17], 8.0f);
    pool.WriteFrames(import, 3, left.data(), right.data(), 6); // past its end: ignored
    EXPECT_EQ(pool.Left()[18], 50.0f);

    const float more[2] = {55.0f, 56.0f};
    EXPECT_TRUE(recording->Record(more, more, 2)) << "the recording still grows at the end";
    EXPECT_EQ(pool.Left()[23], 55.0f);
}

TEST(CSampleFactoryHandOff, AReservationMustFitAndTakesOnlyAnEmptySample)
{
    CSampleFactory pool(kCapacity, kSlots);
    CSample* stored = Store(pool, 10, 1.0f);
    CSample* empty = pool.NewSample();
    EXPECT_FALSE(pool.Reserve(empty, kCapacity - 9, nullptr));
    EXPECT_FALSE(pool.Reserve(stored, 5, nullptr));
    EXPECT_FALSE(pool.Reserve(empty, 0, nullptr));
    EXPECT_TRUE(pool.Reserve(empty, kCapacity - 10, nullptr));
    EXPECT_EQ(pool.Fill(), kCapacity);
}
