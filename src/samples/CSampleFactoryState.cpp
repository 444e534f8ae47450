// CSampleFactory: the pool in a preset state. "length" is the fill, "samples" the frames in use
// as big-endian floats (all left frames, then all right frames), "data" one dictionary per slot.

#include "samples/CSampleFactory.h"

#include "platform/cf/CACFArray.h"
#include "platform/cf/CACFDictionary.h"
#include "samples/StateNumbers.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <utility>

namespace
{
constexpr int32_t kStateVersion = 1;
constexpr size_t kFloatBytes = 4;

void PutBigEndian(float value, std::uint8_t* out)
{
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    out[0] = static_cast<std::uint8_t>(bits >> 24);
    out[1] = static_cast<std::uint8_t>(bits >> 16);
    out[2] = static_cast<std::uint8_t>(bits >> 8);
    out[3] = static_cast<std::uint8_t>(bits);
}

float GetBigEndian(const std::uint8_t* in)
{
    return std::bit_cast<float>((std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) |
                                (std::uint32_t{in[2]} << 8) | std::uint32_t{in[3]});
}

// A slot's entry in a state, read with the defaults for what a state may leave out.
struct SlotEntry
{
    int32_t size = 0;
    int32_t start = 0;
    int32_t last = 0;
    int32_t sync = 0;
    double tempo = -1.0;
    double sampleRate = 0.0;
    int32_t neverLoop = 0;
    int32_t playAll = 0;
};

// Reads the entry of slot i of "data" in a pool of `length` frames. Returns false when the
// entry cannot be used; a slot without an entry, without "size" or with size 0 reads free.
bool ReadSlot(const CACFArray& data, size_t i, int32_t length, SlotEntry& slot)
{
    slot = SlotEntry{};
    CACFDictionary entry;
    if (!data.GetDictionary(i, entry)) return true;
    const EStateNumber size = ReadStateInteger(entry, "size", 0, length, slot.size);
    if (size == EStateNumber::Invalid) return false;
    if (slot.size == 0) return true;
    // Where the frames are cannot be guessed; the rest has defaults.
    if (ReadStateInteger(entry, "start", 0, length - slot.size, slot.start) != EStateNumber::Valid)
        return false;
    const int32_t last = slot.start + slot.size - 1;
    slot.last = last;
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    return ReadStateInteger(entry, "last", last, last, slot.last) != EStateNumber::Invalid &&
           ReadStateInteger(entry, "sync", kMin, kMax, slot.sync) != EStateNumber::Invalid &&
           ReadStateReal(entry, "tempo", slot.tempo) != EStateNumber::Invalid &&
           ReadStateReal(entry, "sr", slot.sampleRate) != EStateNumber::Invalid &&
           ReadStateInteger(entry, "neverLoop", kMin, kMax, slot.neverLoop) !=
               EStateNumber::Invalid &&
           ReadStateInteger(entry, "playAll", kMin, kMax, slot.playAll) != EStateNumber::Invalid;
}
} // namespace

int32_t CSampleFactory::TakeSnapshot(SlotState* slots, const CSample* growing) const
{
    int32_t fill = Fill();
    for (int32_t i = 0; i < mNumSamples; ++i)
    {
        const CSample& sample = mSamples[i];
        SlotState& slot = slots[i];
        slot.used = sample.IsUsed() && &sample != growing;
        slot.start = sample.mStart;
        slot.last = sample.mLast;
        slot.size = sample.mSize;
        slot.tempo = sample.mTempo;
        slot.sampleRate = sample.mSampleRate;
        slot.sync = sample.mSync;
        slot.neverLoop = sample.mNeverLoop != 0;
        slot.playAll = sample.mPlayAll != 0;
    }
    // A recording is not yet any key's sample: its frames, the last run, stay out.
    if (Owns(growing) && growing->mSize > 0 && EndsAt(*growing, fill)) fill = growing->mStart;
    return fill;
}

void CSampleFactory::SaveState(CACFDictionary& d, int32_t fill, const SlotState* slots) const
{
    d.AddSInt32("version", kStateVersion);
    d.AddSInt32("length", fill);
    if (fill <= 0) return;

    const size_t n = static_cast<size_t>(fill);
    CFDataStorage bytes(2 * kFloatBytes * n);
    std::uint8_t* left = bytes.data();
    std::uint8_t* right = left + kFloatBytes * n;
    for (size_t i = 0; i < n; ++i)
    {
        PutBigEndian(mLeft[i], left + kFloatBytes * i);
        PutBigEndian(mRight[i], right + kFloatBytes * i);
    }
    d.AddData("samples", std::move(bytes));

    CACFArray data;
    for (int32_t i = 0; i < mNumSamples; ++i)
    {
        const SlotState& slot = slots[i];
        CACFDictionary entry;
        if (slot.used)
        {
            entry.AddSInt32("start", slot.start);
            entry.AddSInt32("last", slot.last);
            entry.AddSInt32("size", slot.size);
            entry.AddFloat64("tempo", slot.tempo);
            entry.AddFloat64("sr", slot.sampleRate);
            entry.AddSInt32("sync", slot.sync);
            entry.AddSInt32("neverLoop", slot.neverLoop ? 1 : 0);
            entry.AddSInt32("playAll", slot.playAll ? 1 : 0);
        }
        else
            entry.AddSInt32("size", 0);
        data.AppendDictionary(entry);
    }
    d.AddArray("data", data);
}

bool CSampleFactory::CanRestore(const CACFDictionary& d, std::vector<bool>& usedSlots) const
{
    usedSlots.assign(static_cast<size_t>(mNumSamples), false);
    int32_t length = 0;
    if (ReadStateInteger(d, "length", 0, mCapacity, length) != EStateNumber::Valid) return false;
    if (length == 0) return true;

    const CFDataStorage* samples = nullptr;
    if (!d.GetData("samples", samples) || samples->size() / (2 * kFloatBytes) < size_t(length))
        return false;
    CACFArray data;
    if (!d.GetArray("data", data)) return false;

    std::vector<std::pair<int32_t, int32_t>> runs; // start, size of every slot in use
    for (int32_t i = 0; i < mNumSamples; ++i)
    {
        SlotEntry slot;
        if (!ReadSlot(data, static_cast<size_t>(i), length, slot)) return false;
        if (slot.size == 0) continue;
        usedSlots[static_cast<size_t>(i)] = true;
        runs.emplace_back(slot.start, slot.size);
    }
    // Two samples must not share frames: releasing one would move the other's away.
    std::sort(runs.begin(), runs.end());
    for (size_t i = 1; i < runs.size(); ++i)
        if (runs[i - 1].first + runs[i - 1].second > runs[i].first) return false;
    return true;
}

void CSampleFactory::RestoreState(const CACFDictionary& d)
{
    int32_t length = 0;
    if (ReadStateInteger(d, "length", 0, mCapacity, length) != EStateNumber::Valid) return;
    mFill.store(length, std::memory_order_relaxed);
    for (CSample& sample : mSamples)
    {
        sample.mRefCount = 0;
        sample.mKeptWhileFrozen = 0;
        sample.mNeverLoop = 0;
        sample.mPlayAll = 0;
    }
    if (length == 0) return;

    const CFDataStorage* samples = nullptr;
    CACFArray data;
    if (!d.GetData("samples", samples) || !d.GetArray("data", data)) return;
    const size_t n = static_cast<size_t>(length);
    const std::uint8_t* left = samples->data();
    const std::uint8_t* right = left + kFloatBytes * n;
    for (size_t i = 0; i < n; ++i)
    {
        mLeft[i] = GetBigEndian(left + kFloatBytes * i);
        mRight[i] = GetBigEndian(right + kFloatBytes * i);
    }

    for (int32_t i = 0; i < mNumSamples; ++i)
    {
        SlotEntry slot;
        // A free slot keeps its old frame fields: nothing reads them until it is taken again.
        if (!ReadSlot(data, static_cast<size_t>(i), length, slot) || slot.size == 0) continue;
        CSample& sample = mSamples[i];
        sample.mSize = slot.size;
        sample.mStart = slot.start;
        sample.mLast = slot.last;
        sample.mSync = slot.sync;
        sample.mTempo = slot.tempo;
        sample.mSampleRate = slot.sampleRate;
        sample.mNeverLoop = slot.neverLoop != 0 ? 1 : 0;
        sample.mPlayAll = slot.playAll != 0 ? 1 : 0;
        sample.mIndex = i;
    }
}
