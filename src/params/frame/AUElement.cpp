#include "params/frame/AUElement.h"

#include <algorithm>

AUElement::AUElement() = default;

AUElement::~AUElement() = default;

template <class Visit> void AUElement::ForEachParameter(Visit&& visit) const
{
    for (const Block* block = &mFirst; block != nullptr;
         block = block->next.load(std::memory_order_acquire))
    {
        const std::size_t filled = block->filled.load(std::memory_order_acquire);
        for (std::size_t i = 0; i < filled; ++i)
            if (visit(block->slots[i])) return;
    }
}

const AUElement::Parameter* AUElement::Find(AudioUnitParameterID id) const
{
    // Plug-ins add their parameters by ascending id from 0, so an id usually sits in the slot
    // of its own number: the render thread, which reads parameters many times a call, then
    // finds it without a search. Ids are unique, so the slot is the one the search would find.
    std::size_t slot = id;
    const Block* block = &mFirst;
    while (block != nullptr && slot >= kBlockSize)
    {
        block = block->next.load(std::memory_order_acquire);
        slot -= kBlockSize;
    }
    if (block != nullptr && slot < block->filled.load(std::memory_order_acquire) &&
        block->slots[slot].id == id)
        return &block->slots[slot];

    const Parameter* found = nullptr;
    ForEachParameter(
        [&](const Parameter& p)
        {
            if (p.id != id) return false;
            found = &p;
            return true;
        });
    return found;
}

AudioUnitParameterValue AUElement::GetParameter(AudioUnitParameterID id) const
{
    AudioUnitParameterValue value = 0;
    if (!TryGetParameter(id, value)) throw kAudioUnitErr_InvalidParameter;
    return value;
}

bool AUElement::TryGetParameter(AudioUnitParameterID id, AudioUnitParameterValue& outValue) const
{
    const Parameter* p = Find(id);
    if (p == nullptr) return false;
    outValue = p->value.load(std::memory_order_relaxed);
    return true;
}

bool AUElement::TrySetParameter(AudioUnitParameterID id, AudioUnitParameterValue value)
{
    const Parameter* p = Find(id);
    if (p == nullptr) return false;
    p->value.store(value, std::memory_order_relaxed);
    return true;
}

void AUElement::SetParameter(AudioUnitParameterID id, AudioUnitParameterValue value)
{
    if (TrySetParameter(id, value)) return;
    const std::lock_guard<std::mutex> lock(mAddMutex);
    if (TrySetParameter(id, value)) // added meanwhile by another thread
        return;
    Block* last = mMoreBlocks.empty() ? &mFirst : mMoreBlocks.back().get();
    std::size_t filled = last->filled.load(std::memory_order_relaxed);
    if (filled == kBlockSize)
    {
        mMoreBlocks.push_back(std::make_unique<Block>());
        Block* fresh = mMoreBlocks.back().get();
        last->next.store(fresh, std::memory_order_release);
        last = fresh;
        filled = 0;
    }
    last->slots[filled].id = id;
    last->slots[filled].value.store(value, std::memory_order_relaxed);
    last->filled.store(filled + 1, std::memory_order_release);
}

UInt32 AUElement::GetNumberOfParameters() const
{
    UInt32 count = 0;
    ForEachParameter(
        [&](const Parameter&)
        {
            ++count;
            return false;
        });
    return count;
}

std::vector<AudioUnitParameterID> AUElement::GetParameterIDs() const
{
    std::vector<AudioUnitParameterID> ids;
    ForEachParameter(
        [&](const Parameter& p)
        {
            ids.push_back(p.id);
            return false;
        });
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool AUElement::HasName() const
{
    const std::lock_guard<std::mutex> lock(mNameMutex);
    return !mName.empty();
}

std::string AUElement::GetName() const
{
    const std::lock_guard<std::mutex> lock(mNameMutex);
    return mName;
}

void AUElement::SetName(std::string name)
{
    const std::lock_guard<std::mutex> lock(mNameMutex);
    mName = std::move(name);
}
